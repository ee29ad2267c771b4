// The Windows local clock under wine: reading it and its locale texts, and setting it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "clock/system_clock.h"

namespace tamberline {
namespace {

// wine 8 refuses every change but a tiny one (error 1314) and takes that without touching the
// machine's clock; the runner adds a shim that would record, not make, any setting that got
// through. So the impossible time that must be refused here is one the system alone would take:
// one that normalises to "now".
TEST(Win32LocalClock, TakesAValidTimeAndRefusesAnImpossibleOne) {
    if (!std::getenv("TAMBERLINE_CLOCK_LOG")) GTEST_SKIP() << "not under the wine runner with its clock shim";
    TLocalSystemClock clock;
    if (clock.Now().Second == 0) Sleep(1000);  // keep the cases inside one minute
    EXPECT_EQ(clock.SetLocal(clock.Now()), TClockSetResult::Set) << "system error " << GetLastError();
    TLocalDateTime overflow = clock.Now();  // one second ago plus 1000 ms more: "now" once normalised
    overflow.Second -= 1;
    overflow.Millisecond += 1000;
    EXPECT_EQ(clock.SetLocal(overflow), TClockSetResult::Failed);
    // What wine refuses is refused as a missing right (error 1314), as under UAC.
    TLocalDateTime hourAway = clock.Now();
    hourAway.Hour = (hourAway.Hour + 1) % 24;
    EXPECT_EQ(clock.SetLocal(hourAway), TClockSetResult::NoRight);
    // The calendar check itself is tested with the shared clock code; here only that it is used, and
    // the years a SYSTEMTIME cannot hold.
    struct Case {
        const char* name;
        TLocalDateTime t;
    };
    const Case impossible[] = {
        {"31 June", {2024, 6, 31, 10, 20, 30, 0, 0}},
        {"year before 1601", {1600, 12, 31, 10, 20, 30, 0, 0}},
    };
    for (const auto& c : impossible)
        EXPECT_EQ(clock.SetLocal(c.t), TClockSetResult::Failed) << c.name;
}

TEST(Win32LocalClock, ReadsTheClockAndTheLocaleTexts) {
    TLocalSystemClock clock;
    const TLocalDateTime t = clock.Now();
    EXPECT_GE(t.Year, 2020);
    EXPECT_GE(t.DayOfWeek, 0);
    EXPECT_LE(t.DayOfWeek, 6);
    for (int d = 0; d < 7; ++d)
        EXPECT_FALSE(clock.WeekdayAbbrev(d).empty()) << d;
    EXPECT_NE(clock.WeekdayAbbrev(0), clock.WeekdayAbbrev(1));
    EXPECT_EQ(clock.WeekdayAbbrev(7), "");
    EXPECT_FALSE(clock.TimeSeparator().empty());
}

}  // namespace
}  // namespace tamberline
