// Setting the computer's clock to the device's time of day at the start of a device second, and
// recording when that last succeeded.
#pragma once

#include <functional>
#include <string>

#include "clock/system_clock.h"
#include "device/state.h"
#include "device/view.h"

namespace tamberline {

class TPcSync {
  public:
    // writeLastSyncro stores the stamp in the settings file; its error goes on to the tick.
    TPcSync(TSharedState& s, TMainView& v, TSystemClock& clock, std::function<void(const std::string&)> writeLastSyncro)
        : s_(s), v_(v), clock_(clock), writeLastSyncro_(std::move(writeLastSyncro)) {}

    // Sets the PC clock to ClockHH:ClockMM:ClockSS.000 on the nearest date; on success records and
    // shows the stamp. A change refused for want of the right shows kNoClockRightText instead, once
    // until the next success; any other refusal, or a device time that is no time of day, passes
    // silently.
    void Step();

  private:
    TSharedState& s_;
    TMainView& v_;
    TSystemClock& clock_;
    std::function<void(const std::string&)> writeLastSyncro_;
    bool noRightShown_ = false;
};

}  // namespace tamberline
