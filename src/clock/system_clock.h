// The computer's local clock as the program reads and sets it, behind an interface so that tests
// and benchmarks run against a fake and never touch the real clock.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tamberline {

struct TLocalDateTime {
    int Year = 0, Month = 0, Day = 0;  // Month 1..12, Day 1..31
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
    int DayOfWeek = 0;  // 0 Sunday .. 6 Saturday
    bool operator==(const TLocalDateTime&) const = default;
};

// How a change of the clock ended. The user is told of a missing right, since only they can grant it;
// every other failure passes silently.
enum class TClockSetResult { Set, NoRight, Failed };

class TSystemClock {
  public:
    virtual ~TSystemClock() = default;
    virtual TLocalDateTime Now() = 0;
    // Sets the local date and time (DayOfWeek is ignored), as the moment nearest the present that it
    // names where the zone's offset changes (UtcOfLocal). Failed for a value that IsCalendarMoment
    // rejects (it is never carried into the next field), for a time the zone skips, and when the
    // system refuses for any reason but the missing right to change the clock.
    virtual TClockSetResult SetLocal(const TLocalDateTime& t) = 0;
    virtual std::string WeekdayAbbrev(int dayOfWeek) = 0;  // user's locale, UTF-8
    virtual std::string TimeSeparator() = 0;               // between hours and minutes, e.g. ":"
};

// Local clock of this machine. POSIX: CLOCK_REALTIME with the process's time zone, the locale texts
// from LC_TIME as main() set it. Windows: GetLocalTime/SetLocalTime (with the system-time privilege
// enabled when the account holds it), the texts from the user's locale.
class TLocalSystemClock : public TSystemClock {
  public:
    TLocalDateTime Now() override;
    TClockSetResult SetLocal(const TLocalDateTime& t) override;
    std::string WeekdayAbbrev(int dayOfWeek) override;
    std::string TimeSeparator() override;
};

// Every field within its range (month 1..12, the day within its month, hour 0..23, minute and second
// 0..59, millisecond 0..999); DayOfWeek is not looked at.
bool IsCalendarMoment(const TLocalDateTime& t);

// Seconds east of UTC (3600 for UTC+1) that the computer's time zone has in force at a UTC second
// (since 1970-01-01 00:00 UTC). POSIX: the process's time zone (TZ); Windows: the system's.
int LocalOffsetAt(int64_t utcSeconds);

using TOffsetAt = std::function<int(int64_t utcSeconds)>;

// The UTC second that local time t names (Millisecond ignored) in a zone with offsets offsetAt. Where
// the offset falls back, a local time names two moments: the one nearer presentUtc is taken, as the
// date rule of NearestWithTimeOfDay picks the date nearer the computer's. nullopt for a local time
// that the zone skips where its offset springs forward, and for one that IsCalendarMoment rejects.
std::optional<int64_t> UtcOfLocal(const TLocalDateTime& t, int64_t presentUtc, const TOffsetAt& offsetAt);

// What setting the clock through Windows' SetLocalTime takes of the system. That call turns local
// time into UTC with the offset in force at the present moment, not at the new one: a change across
// the zone's offset change lands an offset away, and a second call, made from there, lands right.
class TLocalTimeSetter {
  public:
    virtual ~TLocalTimeSetter() = default;
    virtual int64_t UtcNow() = 0;  // seconds since 1970-01-01 00:00 UTC
    virtual int OffsetAt(int64_t utcSeconds) = 0;
    virtual TClockSetResult SetLocalOnce(const TLocalDateTime& t) = 0;
};

// Sets t through such a call as TSystemClock::SetLocal promises: nothing for a time the zone skips,
// a second call when the present and the moment wanted lie on either side of an offset change.
TClockSetResult SetThroughPresentOffset(TLocalTimeSetter& os, const TLocalDateTime& t);

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
