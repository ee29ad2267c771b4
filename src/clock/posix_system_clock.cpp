#include <langinfo.h>
#include <time.h>

#include "clock/system_clock.h"

namespace tamberline {

TLocalDateTime TLocalSystemClock::Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t{};
    localtime_r(&ts.tv_sec, &t);
    return {t.tm_year + 1900,          t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
            int(ts.tv_nsec / 1000000), t.tm_wday};
}

bool TLocalSystemClock::SetLocal(const TLocalDateTime& v) {
    // mktime would turn 25:75 into 02:15 of the next day; such a value is a fault, not a moment.
    if (!IsCalendarMoment(v)) return false;
    tm t{};
    t.tm_year = v.Year - 1900;
    t.tm_mon = v.Month - 1;
    t.tm_mday = v.Day;
    t.tm_hour = v.Hour;
    t.tm_min = v.Minute;
    t.tm_sec = v.Second;
    t.tm_isdst = -1;  // the daylight-saving state of the new moment, not of the present one
    const time_t secs = mktime(&t);
    if (secs == static_cast<time_t>(-1)) return false;
    const timespec ts{secs, static_cast<long>(v.Millisecond) * 1000000L};
    // EPERM (no right to change the clock) and every other refusal pass silently.
    return clock_settime(CLOCK_REALTIME, &ts) == 0;
}

std::string TLocalSystemClock::WeekdayAbbrev(int dayOfWeek) {
    if (dayOfWeek < 0 || dayOfWeek > 6) return {};
    return nl_langinfo(static_cast<nl_item>(ABDAY_1 + dayOfWeek));
}

std::string TLocalSystemClock::TimeSeparator() {
    return TimeSeparatorOf(nl_langinfo(T_FMT));
}

}  // namespace tamberline
