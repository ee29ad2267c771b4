// Time-zone editor of the main window: steps the offset shown as signed hours and minutes,
// stores the send request and the winter/summer choice. Plain C++, driven through TMainView.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "device/state.h"
#include "device/view.h"

namespace tamberline {

class TZoneEditor {
  public:
    TZoneEditor(TSharedState& s, TMainView& v);

    void sbHoursUpClick();
    void sbHoursDownClick();
    void sbMinutesUpClick();
    void sbMinutesDownClick();
    void btCorrectClick();
    // Runs on every selection of the winter/summer group, by the user or the program.
    void rdgSumWntClick(const std::function<void(uint8_t)>& writeSumWnt);
    // Called after each ApplyOperatingMode(true): at +-12 hours the minutes stay locked at 00.
    void AfterOperatingMode();
    // OK of the receiver correction dialog.
    void ApplyReceiverCorrection(int corrSeconds);

    static constexpr int MaxOffsetMinutes = 12 * 60;

  private:
    int OffsetMinutes() const;                     // signed, from the shared zone values
    void SetOffset(int minutes, bool zeroIsPlus);  // back into the shared values and the fields
    void ShowZone();

    TSharedState& S;
    TMainView& V;
};

}  // namespace tamberline
