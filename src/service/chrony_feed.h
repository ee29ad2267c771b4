// Feeding chronyd: one sample per device second to its SOCK refclock while the device has satellite
// synchronisation, so chronyd disciplines the computer's clock and serves it on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "device/state.h"
#include "service/realtime_clock.h"
#include "service/service_view.h"

namespace tamberline {

// chronyd's own record on 64-bit Linux, native byte order; it drops a datagram of any other size.
struct TChronySample {
    int64_t TvSec = 0;  // system time of the sample
    int64_t TvUsec = 0;
    double Offset = 0;  // the true time minus the system time, s
    int32_t Pulse = 0;  // 0: a whole sample, not a pulse
    int32_t Leap = 0;   // 0: no leap second announced
    int32_t Padding = 0;
    int32_t Magic = 0x534f434b;  // "SOCK"
};
static_assert(sizeof(TChronySample) == 40, "chronyd takes 40-byte samples");

// The sample for the device second hh:mm:ss that began at `at`: the system time then, and how far
// the device's time lay ahead of it. The device's time of day counts on the computer's date, moved
// a day across midnight exactly as the clock step moves it. Nothing for a time that is no time of day.
std::optional<TChronySample> MakeChronySample(const TRealtimeMoment& at, int hh, int mm, int ss);

// chronyd's SOCK socket; one implementation per OS.
class TChronySocket {
  public:
    virtual ~TChronySocket() = default;
    // 0, or the system's error code (chronyd not running yet: no such file; gone: refused).
    virtual int Send(const TChronySample& sample) = 0;
};

// Throws std::invalid_argument when the system cannot name a socket by `path` (too long).
std::unique_ptr<TChronySocket> OpenChronySocket(const std::string& path);

class TChronyFeed {
  public:
    TChronyFeed(TChronySocket& socket, TRealtimeClock& clock, std::string path, TLogLine log)
        : socket_(socket), clock_(clock), path_(std::move(path)), log_(std::move(log)) {}

    // At the tick of the device second that began at `secondStart` (s holds its time). `current`:
    // the link is there and no newer frame waits, so the time is the device's own now. A refused
    // send is tried again at the next second, and said once per kind of refusal.
    void Tick(const TSharedState& s, bool current, TMonoTime secondStart);

  private:
    void Stop(const char* why);

    TChronySocket& socket_;
    TRealtimeClock& clock_;
    std::string path_;
    TLogLine log_;
    bool sending_ = false;
    int lastError_ = 0;
};

}  // namespace tamberline
