// The computer's local clock as the program reads and sets it, behind an interface so that tests
// and benchmarks run against a fake and never touch the real clock.
#pragma once

#include <string>

namespace tamberline {

struct TLocalDateTime {
    int Year = 0, Month = 0, Day = 0;  // Month 1..12, Day 1..31
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
    int DayOfWeek = 0;  // 0 Sunday .. 6 Saturday
    bool operator==(const TLocalDateTime&) const = default;
};

class TSystemClock {
  public:
    virtual ~TSystemClock() = default;
    virtual TLocalDateTime Now() = 0;
    // Sets the local date and time (DayOfWeek is ignored). false when the system refuses, and
    // for a value that IsCalendarMoment rejects: it is refused, never carried into the next field.
    virtual bool SetLocal(const TLocalDateTime& t) = 0;
    virtual std::string WeekdayAbbrev(int dayOfWeek) = 0;  // user's locale, UTF-8
    virtual std::string TimeSeparator() = 0;               // between hours and minutes, e.g. ":"
};

// Local clock of this machine. POSIX: CLOCK_REALTIME with the process's time zone, the locale texts
// from LC_TIME as main() set it. Windows: GetLocalTime/SetLocalTime (with the system-time privilege
// enabled when the account holds it), the texts from the user's locale.
class TLocalSystemClock : public TSystemClock {
  public:
    TLocalDateTime Now() override;
    bool SetLocal(const TLocalDateTime& t) override;
    std::string WeekdayAbbrev(int dayOfWeek) override;
    std::string TimeSeparator() override;
};

// Every field within its range (month 1..12, the day within its month, hour 0..23, minute and second
// 0..59, millisecond 0..999); DayOfWeek is not looked at.
bool IsCalendarMoment(const TLocalDateTime& t);

// Makes the rights that the system granted the program but left dormant (a file capability given
// as permitted only) count: the right to set the clock and to raise the tick's priority. Granted as
// permitted only, they never stop the program from starting where a sandbox withholds them; without
// them this changes nothing, and setting the clock then fails silently as it should. true when both
// rights are in force afterwards (on Windows: the account's privilege to set the clock, which is all
// it takes there).
bool TakeGrantedClockRights();

// The time separator in a strftime-style time pattern: the character after the hours field
// ("%H:%M:%S" -> ":"); ":" when the pattern has none.
std::string TimeSeparatorOf(const std::string& timePattern);

}  // namespace tamberline
