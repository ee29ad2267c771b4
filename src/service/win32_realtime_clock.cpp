#include <windows.h>

#include <chrono>

#include "service/realtime_clock.h"

namespace tamberline {

namespace {

// FILETIME counts 100 ns since 1601-01-01 UTC.
constexpr int64_t kFileTimeTo1970 = 116'444'736'000'000'000;

}  // namespace

TRealtimeMoment TSystemRealtimeClock::At(TMonoTime instant) {
    // Both clocks read back to back; steady_clock is the performance counter.
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const auto mono = std::chrono::steady_clock::now();
    const int64_t ago = std::chrono::duration_cast<std::chrono::microseconds>(mono - instant).count();
    const int64_t ticks = (int64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime) - ago * 10;
    TRealtimeMoment m;
    m.UtcUs = (ticks - kFileTimeTo1970) / 10;
    const int64_t secondTicks = ticks - ticks % 10'000'000;
    m.MicrosIntoSecond = static_cast<int32_t>((ticks - secondTicks) / 10);
    const FILETIME second{static_cast<DWORD>(secondTicks), static_cast<DWORD>(secondTicks >> 32)};
    SYSTEMTIME utc{}, local{};
    FileTimeToSystemTime(&second, &utc);
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    m.Local = {
        local.wYear,     local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond, m.MicrosIntoSecond / 1000,
        local.wDayOfWeek};
    return m;
}

}  // namespace tamberline
