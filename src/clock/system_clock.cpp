#include "clock/system_clock.h"

#include <chrono>

namespace tamberline {

bool IsCalendarMoment(const TLocalDateTime& t) {
    using namespace std::chrono;
    const auto in = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    if (!in(t.Month, 1, 12) || !in(t.Day, 1, 31)) return false;
    const year_month_day date{year{t.Year}, month(unsigned(t.Month)), day(unsigned(t.Day))};
    return date.ok() && in(t.Hour, 0, 23) && in(t.Minute, 0, 59) && in(t.Second, 0, 59) && in(t.Millisecond, 0, 999);
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
