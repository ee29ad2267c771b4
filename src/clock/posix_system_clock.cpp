#include <errno.h>
#include <langinfo.h>
#include <time.h>

#include "clock/system_clock.h"

namespace tamberline {

int LocalOffsetAt(int64_t utcSeconds) {
    const time_t secs = static_cast<time_t>(utcSeconds);
    tm t{};
    localtime_r(&secs, &t);
    return static_cast<int>(t.tm_gmtoff);
}

TLocalDateTime TLocalSystemClock::Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t{};
    localtime_r(&ts.tv_sec, &t);
    return {t.tm_year + 1900,          t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
            int(ts.tv_nsec / 1000000), t.tm_wday};
}

TClockSetResult TLocalSystemClock::SetLocal(const TLocalDateTime& v) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // mktime would turn 25:75 into 02:15 of the next day, and pick one of the two moments of an hour
    // that happens twice by its own state; the choice is made here, by the present.
    const auto utc = UtcOfLocal(v, now.tv_sec, LocalOffsetAt);
    if (!utc) return TClockSetResult::Failed;
    const timespec ts{static_cast<time_t>(*utc), static_cast<long>(v.Millisecond) * 1000000L};
    if (clock_settime(CLOCK_REALTIME, &ts) == 0) return TClockSetResult::Set;
    return errno == EPERM ? TClockSetResult::NoRight : TClockSetResult::Failed;
}

std::string TLocalSystemClock::WeekdayAbbrev(int dayOfWeek) {
    if (dayOfWeek < 0 || dayOfWeek > 6) return {};
    return nl_langinfo(static_cast<nl_item>(ABDAY_1 + dayOfWeek));
}

std::string TLocalSystemClock::TimeSeparator() {
    return TimeSeparatorOf(nl_langinfo(T_FMT));
}

}  // namespace tamberline
