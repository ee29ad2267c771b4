#include <windows.h>

#include <mutex>

#include "clock/system_clock.h"
#include "serial/wide_text.h"

namespace tamberline {
namespace {

// SetLocalTime would carry 31 June over into July, or fail in ways that vary between versions: a
// field out of range is refused before the system sees it, as are years SYSTEMTIME cannot hold
// (1601..30827, less the day either side that the zone's offsets are looked up in).
bool InRange(const TLocalDateTime& v) {
    return IsCalendarMoment(v) && v.Year >= 1602 && v.Year <= 30826;
}

constexpr int64_t kUnixEpochTicks = 116444736000000000;  // 1970-01-01 in FILETIME's 100 ns since 1601
constexpr int64_t kTicksPerSecond = 10000000;

int64_t SecondsOf(const SYSTEMTIME& t) {
    FILETIME f{};
    SystemTimeToFileTime(&t, &f);
    const int64_t ticks = (int64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime;
    return (ticks - kUnixEpochTicks) / kTicksPerSecond;
}

SYSTEMTIME SystemTimeOf(int64_t utcSeconds) {
    const uint64_t ticks = static_cast<uint64_t>(utcSeconds * kTicksPerSecond + kUnixEpochTicks);
    const FILETIME f{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME t{};
    FileTimeToSystemTime(&f, &t);
    return t;
}

// The system's own calls, each made once.
class TSystemLocalTime : public TLocalTimeSetter {
  public:
    int64_t UtcNow() override {
        SYSTEMTIME t{};
        GetSystemTime(&t);
        return SecondsOf(t);
    }
    int OffsetAt(int64_t utcSeconds) override { return LocalOffsetAt(utcSeconds); }
    TClockSetResult SetLocalOnce(const TLocalDateTime& v) override {
        SYSTEMTIME t{};
        t.wYear = static_cast<WORD>(v.Year);
        t.wMonth = static_cast<WORD>(v.Month);
        t.wDay = static_cast<WORD>(v.Day);
        t.wHour = static_cast<WORD>(v.Hour);
        t.wMinute = static_cast<WORD>(v.Minute);
        t.wSecond = static_cast<WORD>(v.Second);
        t.wMilliseconds = static_cast<WORD>(v.Millisecond);
        if (SetLocalTime(&t)) return TClockSetResult::Set;
        // An account without the right (under UAC, any but an elevated administrator's) gets this.
        return GetLastError() == ERROR_PRIVILEGE_NOT_HELD ? TClockSetResult::NoRight : TClockSetResult::Failed;
    }
};

}  // namespace

int LocalOffsetAt(int64_t utcSeconds) {
    const SYSTEMTIME utc = SystemTimeOf(utcSeconds);
    SYSTEMTIME local{};
    // nullptr: the zone in force on the system, the one SetLocalTime converts with.
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return 0;
    return static_cast<int>(SecondsOf(local) - utcSeconds);
}

TLocalDateTime TLocalSystemClock::Now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek};
}

TClockSetResult TLocalSystemClock::SetLocal(const TLocalDateTime& v) {
    if (!InRange(v)) return TClockSetResult::Failed;
    // The programs take the right at start; whatever else sets the clock takes it here, once.
    static std::once_flag privilege;
    std::call_once(privilege, [] { TakeGrantedClockRights(); });
    TSystemLocalTime os;
    return SetThroughPresentOffset(os, v);
}

std::string TLocalSystemClock::WeekdayAbbrev(int dayOfWeek) {
    if (dayOfWeek < 0 || dayOfWeek > 6) return {};
    // 7 January 2024 was a Sunday; the day of that week with the wanted weekday names it.
    SYSTEMTIME t{};
    t.wYear = 2024;
    t.wMonth = 1;
    t.wDay = static_cast<WORD>(7 + dayOfWeek);
    t.wDayOfWeek = static_cast<WORD>(dayOfWeek);
    wchar_t buf[64];
    const int n = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, L"ddd", buf, 64, nullptr);
    return n > 1 ? Narrow(buf, static_cast<size_t>(n - 1)) : std::string();
}

std::string TLocalSystemClock::TimeSeparator() {
    wchar_t buf[8];
    const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIME, buf, 8);
    return n > 1 ? Narrow(buf, static_cast<size_t>(n - 1)) : std::string(":");
}

}  // namespace tamberline
