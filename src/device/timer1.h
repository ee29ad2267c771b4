// The one-shot tick timer as the device link sees it. The countdown runs from a given
// instant (the moment the frame's bytes were seen), not from the call.
#pragma once

#include <cstdint>

#include "serial/comport.h"  // TMonoTime

namespace tamberline {

class TTimer1 {
  public:
    virtual ~TTimer1() = default;
    // A different interval restarts a running countdown from `from`; an equal one leaves it alone.
    virtual void SetInterval(uint32_t ms, TMonoTime from) = 0;
    // Enabling a disabled timer starts the countdown from `from`; enabling an enabled one does nothing.
    virtual void SetEnabled(bool on, TMonoTime from) = 0;
    virtual uint32_t Interval() const = 0;
    virtual bool Enabled() const = 0;
};

}  // namespace tamberline
