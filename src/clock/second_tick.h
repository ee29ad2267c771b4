// Timer1Timer: once per device second, advance and show the clock, serve the one pending action,
// decide when the scheduled PC synchronisation falls due and refresh the date line at midnight.
#pragma once

#include <functional>

#include "clock/pc_sync.h"
#include "clock/system_clock.h"
#include "device/commands.h"
#include "device/state.h"
#include "device/timer1.h"
#include "device/view.h"

namespace tamberline {

// True at hh:00:00 when hh is a multiple of the period (and also at 12 for a 24 h period).
// A period of 0 means no schedule.
bool ScheduledSyncDue(int hh, int mm, int ss, uint8_t syncroHours);

class TSecondTick {
  public:
    TSecondTick(TSharedState& s, TMainView& v, TTimer1& timer, TDeviceCommands& commands, TPcSync& sync,
                TSystemClock& clock)
        : s_(s), v_(v), timer_(timer), commands_(commands), sync_(sync), clock_(clock) {}

    // An error (port write, settings write) ends the tick there; the timer is already disarmed.
    void Timer1Timer();

    // True while a newer time frame waits unread, so the clock this tick shows is no longer the
    // device's: a PC synchronisation then waits in the slot for the tick of that frame.
    std::function<bool()> NewerFrameWaits;

  private:
    void Advance();
    void FillTimeEditor();
    void ServePendingAction();

    TSharedState& s_;
    TMainView& v_;
    TTimer1& timer_;
    TDeviceCommands& commands_;
    TPcSync& sync_;
    TSystemClock& clock_;
};

}  // namespace tamberline
