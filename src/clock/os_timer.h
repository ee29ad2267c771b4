// The OS side of the precise timer: one wake-up at an absolute monotonic instant, reported on a
// thread of the timer's own. Internal to the clock unit; one implementation per OS.
#pragma once

#include <functional>
#include <memory>

#include "serial/comport.h"  // TMonoTime

namespace tamberline {

class TOsTimer {
  public:
    // Stops the thread: no expiry is reported once it has returned.
    virtual ~TOsTimer() = default;
    // Replaces any earlier wake-up; an instant already past wakes at once.
    virtual void WakeAt(TMonoTime instant) = 0;
    virtual void Cancel() = 0;
};

// onExpiry runs on the timer's thread. Throws std::system_error when the OS has no timer to give.
std::unique_ptr<TOsTimer> CreateOsTimer(std::function<void()> onExpiry);

}  // namespace tamberline
