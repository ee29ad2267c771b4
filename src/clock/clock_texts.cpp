#include "clock/clock_texts.h"

#include <chrono>
#include <cstdio>

namespace tamberline {

namespace {

std::string DayMonthYear(const TLocalDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.Day, t.Month, t.Year);
    return buf;
}

}  // namespace

std::string SyncroStamp(const TLocalDateTime& t, const std::string& sep) {
    char hm[2][8];
    std::snprintf(hm[0], sizeof hm[0], "%02d", t.Hour);
    std::snprintf(hm[1], sizeof hm[1], "%02d", t.Minute);
    return DayMonthYear(t) + " " + hm[0] + sep + hm[1];
}

std::string DateLine(TSystemClock& clock) {
    const TLocalDateTime now = clock.Now();
    return " " + clock.WeekdayAbbrev(now.DayOfWeek) + ": " + DayMonthYear(now);
}

std::optional<TLocalDateTime> NearestWithTimeOfDay(const TLocalDateTime& now, int hh, int mm, int ss) {
    using namespace std::chrono;
    if (hh < 0 || hh > 23 || mm < 0 || mm > 59 || ss < 0 || ss > 59) return std::nullopt;
    constexpr long kDayMs = 24L * 3600 * 1000;
    constexpr long kNearMs = 3600L * 1000;  // how far apart across midnight still counts as "a little"
    const long nowMs = ((now.Hour * 60L + now.Minute) * 60 + now.Second) * 1000 + now.Millisecond;
    const long devMs = ((hh * 60L + mm) * 60 + ss) * 1000;
    // Clocks further apart than that are simply wrong by hours; the computer's date is the better
    // guess then, and moving it would make the error a day.
    int dayShift = 0;
    if (kDayMs - devMs + nowMs <= kNearMs)
        dayShift = -1;  // device still before midnight, PC after
    else if (kDayMs - nowMs + devMs <= kNearMs)
        dayShift = 1;  // device already after midnight, PC before
    const sys_days date = sys_days{year{now.Year} / month(now.Month) / day(now.Day)} + days{dayShift};
    const year_month_day ymd{date};
    TLocalDateTime t = now;
    t.Year = int(ymd.year());
    t.Month = int(unsigned(ymd.month()));
    t.Day = int(unsigned(ymd.day()));
    t.DayOfWeek = int(weekday{date}.c_encoding());
    t.Hour = hh, t.Minute = mm, t.Second = ss, t.Millisecond = 0;
    return t;
}

}  // namespace tamberline
