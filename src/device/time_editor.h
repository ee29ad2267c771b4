// Autonomous time editor of the main window: the new time of day or a seconds correction,
// stepped with spin buttons or typed, kept in the shared NewHH/NewMM/NewSS. Plain C++.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/state.h"
#include "device/view.h"

namespace tamberline {

class TTimeEditor {
  public:
    TTimeEditor(TSharedState& s, TMainView& v);

    void sbNewHHUpClick();
    void sbNewHHDownClick();
    void sbNewMMUpClick();
    void sbNewMMDownClick();
    void sbNewSSUpClick();
    void sbNewSSDownClick();
    // User edits only: text written by the program must not reach these.
    void edNewHHChange(const std::string& text);
    void edNewMMChange(const std::string& text);
    void edNewSSChange(const std::string& text);
    void edNewHHExit();
    void edNewMMExit();
    void edNewSSExit();
    void rbtTimeClick();
    void rbtSecClick();
    void btNewTimeClick();

  private:
    bool CorrectionSelected() const { return !V.TimeModeSelected(); }
    // Checks typed text; returns the value to take, or nothing after reporting the error.
    std::optional<uint8_t> CheckTyped(const std::string& text, int max, const char* notNumber, const char* outOfRange);
    void ShowSS();

    TSharedState& S;
    TMainView& V;
};

// Whole number as the editor accepts it: leading blanks, optional sign, decimal digits or
// "$" and hexadecimal digits, nothing after. Nothing when the text is not such a number.
std::optional<int32_t> ParseTypedInteger(const std::string& text);

// Copies the device clock into the editor in the clock labels' two-digit form (the first tick and
// the selection of "Изменить время").
void FillNewTimeFromClock(TSharedState& s, TMainView& v, bool withSeconds);

std::string NewHoursText(int hours);  // two spaces before a single digit: "  7", "13"
// Signed seconds correction as shown: "0", "+1".."+30", "-1".."-29".
std::string CorrectionText(int seconds);
// NewSS holds the correction as 0..30 and 31..59 for -29..-1.
int CorrectionFromNewSS(uint8_t newSS);
// One step of a correction kept as a signed count of seconds; stops at -29 and +30.
int StepCorrection(int seconds, bool up);

}  // namespace tamberline
