#include <time.h>

#include "service/realtime_clock.h"

namespace tamberline {

TRealtimeMoment TSystemRealtimeClock::At(TMonoTime instant) {
    // Both clocks read back to back (tens of ns apart); steady_clock is CLOCK_MONOTONIC.
    timespec rt{};
    clock_gettime(CLOCK_REALTIME, &rt);
    const auto mono = std::chrono::steady_clock::now();
    const int64_t ago = std::chrono::duration_cast<std::chrono::microseconds>(mono - instant).count();
    TRealtimeMoment m;
    m.UtcUs = int64_t{rt.tv_sec} * 1'000'000 + rt.tv_nsec / 1000 - ago;
    const time_t sec = static_cast<time_t>(m.UtcUs >= 0 ? m.UtcUs / 1'000'000 : (m.UtcUs - 999'999) / 1'000'000);
    m.MicrosIntoSecond = static_cast<int32_t>(m.UtcUs - int64_t{sec} * 1'000'000);
    tm t{};
    localtime_r(&sec, &t);
    m.Local = {t.tm_year + 1900,          t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
               m.MicrosIntoSecond / 1000, t.tm_wday};
    return m;
}

}  // namespace tamberline
