// The computer's clock as chronyd compares it with the device: UTC to the microsecond and the local
// time of day at a given monotonic instant. Behind an interface, one implementation per OS.
#pragma once

#include <cstdint>

#include "clock/system_clock.h"
#include "serial/comport.h"  // TMonoTime

namespace tamberline {

struct TRealtimeMoment {
    int64_t UtcUs = 0;             // µs since 1970-01-01 00:00 UTC
    TLocalDateTime Local;          // the same moment in local time (Millisecond truncated)
    int32_t MicrosIntoSecond = 0;  // 0..999999, finer than Local.Millisecond
};

class TRealtimeClock {
  public:
    virtual ~TRealtimeClock() = default;
    // The system time at `instant`, which may lie a little in the past (a tick that woke late).
    virtual TRealtimeMoment At(TMonoTime instant) = 0;
};

// The system's: CLOCK_REALTIME with the process's time zone on POSIX, the precise system time with the
// system's time zone on Windows.
class TSystemRealtimeClock : public TRealtimeClock {
  public:
    TRealtimeMoment At(TMonoTime instant) override;
};

}  // namespace tamberline
