#include "clock/system_clock.h"

#include <chrono>
#include <cstdlib>

namespace tamberline {

bool IsCalendarMoment(const TLocalDateTime& t) {
    using namespace std::chrono;
    const auto in = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    if (!in(t.Month, 1, 12) || !in(t.Day, 1, 31)) return false;
    const year_month_day date{year{t.Year}, month(unsigned(t.Month)), day(unsigned(t.Day))};
    return date.ok() && in(t.Hour, 0, 23) && in(t.Minute, 0, 59) && in(t.Second, 0, 59) && in(t.Millisecond, 0, 999);
}

std::optional<int64_t> UtcOfLocal(const TLocalDateTime& t, int64_t presentUtc, const TOffsetAt& offsetAt) {
    using namespace std::chrono;
    if (!IsCalendarMoment(t)) return std::nullopt;
    const sys_days date{year{t.Year} / month(unsigned(t.Month)) / day(unsigned(t.Day))};
    // The local time read as if it were UTC; the moment it names lies within a zone's offset of it.
    const int64_t wall = int64_t{date.time_since_epoch().count()} * 86400 + t.Hour * 3600 + t.Minute * 60 + t.Second;
    // Offsets stay within 14 h, and a zone changes its offset at most once in two days: the offsets
    // in force a day either side are all that the moment can have.
    constexpr int64_t kDay = 86400;
    std::optional<int64_t> nearest;
    for (const int64_t probe : {wall - kDay, wall, wall + kDay}) {
        const int64_t utc = wall - offsetAt(probe);
        if (offsetAt(utc) != wall - utc) continue;  // that offset is not in force at that moment
        if (!nearest || std::llabs(utc - presentUtc) < std::llabs(*nearest - presentUtc)) nearest = utc;
    }
    return nearest;
}

TClockSetResult SetThroughPresentOffset(TLocalTimeSetter& os, const TLocalDateTime& t) {
    const int64_t present = os.UtcNow();
    const auto wanted = UtcOfLocal(t, present, [&os](int64_t utc) { return os.OffsetAt(utc); });
    if (!wanted) return TClockSetResult::Failed;
    TClockSetResult r = os.SetLocalOnce(t);
    // Within the hour that happens twice the present's offset is already the nearer moment's, so
    // the second call is only ever needed, and only ever right, for a moment past the change.
    if (r == TClockSetResult::Set && os.OffsetAt(present) != os.OffsetAt(*wanted)) r = os.SetLocalOnce(t);
    return r;
}

std::string TimeSeparatorOf(const std::string& pattern) {
    for (const char* hours : {"%H", "%I", "%k", "%l"}) {
        const auto at = pattern.find(hours);
        if (at != std::string::npos && at + 2 < pattern.size() && pattern[at + 2] != '%') {
            // One character, which in a UTF-8 locale may take several bytes.
            size_t len = 1;
            while (at + 2 + len < pattern.size() && (static_cast<unsigned char>(pattern[at + 2 + len]) & 0xC0) == 0x80)
                ++len;
            return pattern.substr(at + 2, len);
        }
    }
    // Patterns like "%T" or "%r" carry the separator inside the field: the common one.
    return ":";
}

}  // namespace tamberline
