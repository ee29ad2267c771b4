// Setting the PC clock from the device: the date chosen around midnight, what is recorded and
// shown, and what a refusal or a failed record leaves behind.
#include <gtest/gtest.h>

#include "clock/clock_texts.h"
#include "device/core_fakes.h"

namespace tamberline {
namespace {

struct NearestCase {
    const char* name;
    TLocalDateTime now;
    int hh, mm, ss;
    TLocalDateTime want;
};

TEST(NearestWithTimeOfDay, MovesTheDateOnlyForClocksCloseAcrossMidnight) {
    const NearestCase cases[] = {
        {"same day", {2024, 3, 15, 10, 20, 30, 400, 5}, 10, 20, 31, {2024, 3, 15, 10, 20, 31, 0, 5}},
        {"device before 0:00, PC after", {2024, 3, 16, 0, 0, 0, 400, 6}, 23, 59, 59, {2024, 3, 15, 23, 59, 59, 0, 5}},
        {"device after 0:00, PC before", {2024, 3, 15, 23, 59, 59, 900, 5}, 0, 0, 1, {2024, 3, 16, 0, 0, 1, 0, 6}},
        {"back over a month and leap day", {2024, 3, 1, 0, 0, 2, 0, 5}, 23, 59, 58, {2024, 2, 29, 23, 59, 58, 0, 4}},
        {"forward over the year", {2023, 12, 31, 23, 59, 59, 0, 0}, 0, 0, 1, {2024, 1, 1, 0, 0, 1, 0, 1}},
        {"one hour back across", {2024, 3, 16, 0, 30, 0, 0, 6}, 23, 30, 0, {2024, 3, 15, 23, 30, 0, 0, 5}},
        {"one hour forward across", {2024, 3, 15, 23, 30, 0, 0, 5}, 0, 30, 0, {2024, 3, 16, 0, 30, 0, 0, 6}},
        {"just over an hour back", {2024, 3, 16, 0, 30, 0, 1, 6}, 23, 30, 0, {2024, 3, 16, 23, 30, 0, 0, 6}},
        {"just over an hour forward", {2024, 3, 15, 23, 29, 59, 0, 5}, 0, 30, 0, {2024, 3, 15, 0, 30, 0, 0, 5}},
        {"PC 13 hours slow", {2024, 3, 15, 1, 0, 0, 0, 5}, 14, 0, 0, {2024, 3, 15, 14, 0, 0, 0, 5}},
        {"PC 13 hours fast", {2024, 3, 15, 14, 0, 0, 0, 5}, 1, 0, 0, {2024, 3, 15, 1, 0, 0, 0, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NearestWithTimeOfDay(c.now, c.hh, c.mm, c.ss), c.want);
    }
}

TEST(TimeSeparatorOf, CharacterAfterTheHours) {
    struct Case {
        const char* pattern;
        const char* want;
    } cases[] = {{"%H.%M.%S", "."}, {"%T", ":"}, {"%I:%M:%S %p", ":"}, {"%H時%M分", "時"}, {"", ":"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(TimeSeparatorOf(c.pattern), c.want);
    }
}

// Reading only: nothing in the tests may change the computer's clock.
TEST(PosixSystemClock, ReadsDateAndLocaleTexts) {
    TLocalSystemClock c;  // the tests run in the "C" locale
    const TLocalDateTime now = c.Now();
    EXPECT_GE(now.Year, 2024);
    // The weekday worked out from the date agrees with the system's own.
    EXPECT_EQ(NearestWithTimeOfDay(now, now.Hour, now.Minute, now.Second)->DayOfWeek, now.DayOfWeek);
    EXPECT_EQ(c.WeekdayAbbrev(0), "Sun");
    EXPECT_EQ(c.WeekdayAbbrev(6), "Sat");
    EXPECT_EQ(c.WeekdayAbbrev(7), "");
    EXPECT_EQ(c.TimeSeparator(), ":");
}

// What the platform clock refuses to set rather than carry into the next field.
TEST(IsCalendarMoment, EveryFieldInItsRange) {
    struct Case {
        const char* name;
        TLocalDateTime t;
        bool want;
    } cases[] = {
        {"leap day, last millisecond", {2024, 2, 29, 23, 59, 59, 999, 0}, true},
        {"no leap day", {2023, 2, 29, 12, 0, 0, 0, 0}, false},
        {"31 April", {2024, 4, 31, 12, 0, 0, 0, 0}, false},
        {"month 13", {2024, 13, 1, 12, 0, 0, 0, 0}, false},
        {"month 0", {2024, 0, 1, 12, 0, 0, 0, 0}, false},
        {"hour 24", {2024, 3, 15, 24, 0, 0, 0, 0}, false},
        {"minute 60", {2024, 3, 15, 10, 60, 0, 0, 0}, false},
        {"second 60", {2024, 3, 15, 10, 20, 60, 0, 0}, false},
        {"millisecond 1000", {2024, 3, 15, 10, 20, 30, 1000, 0}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsCalendarMoment(c.t), c.want);
    }
}

class SyncTest : public test::CoreTest {
  protected:
    void SetUp() override {
        CoreTest::SetUp();
        view.Status[1] = "old";
    }
};

TEST_F(SyncTest, SetsDeviceTimeOnThePcDateAndRecordsIt) {
    clock.Current = {2024, 3, 15, 10, 20, 35, 700, 5};
    clock.Separator = ".";
    core.mnCtrlSyncroClick();
    core.Timer1Timer();
    ASSERT_EQ(clock.Sets.size(), 1u);
    EXPECT_EQ(clock.Sets[0], (TLocalDateTime{2024, 3, 15, 10, 20, 31, 0, 5}));
    EXPECT_EQ(recorded, std::vector<std::string>{"15.03.2024 10.20"});
    EXPECT_EQ(view.Status[1], " Последняя синхронизация времени на ПК: 15.03.2024 10.20");
    EXPECT_EQ(state.PendingAction, paNone);
}

// The device's digits are not range-checked on arrival: a time of day that cannot be must set
// nothing rather than be carried by the platform into a moment hours away.
TEST_F(SyncTest, ImpossibleDeviceTimeSetsNothing) {
    struct Case {
        const char* name;
        int hh, mm, ss;  // as the step finds them
        bool sets;
    };
    const Case cases[] = {
        {"hours 24", 24, 0, 1, false},
        {"minutes byte 0x5A reads 60", 10, 60, 1, false},
        {"seconds 60", 10, 20, 60, false},
        {"last second of the day", 23, 59, 59, true},
    };
    TPcSync sync{state, view, clock, [this](const std::string& s) { recorded.push_back(s); }};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clock.Sets.clear(), recorded.clear(), view.Status[1] = "old";
        SetClock(c.hh, c.mm, c.ss);
        sync.Step();
        EXPECT_EQ(clock.Sets.size(), c.sets ? 1u : 0u);
        EXPECT_EQ(recorded.size(), c.sets ? 1u : 0u);
        EXPECT_EQ(view.Status[1] == "old", !c.sets);
    }
}

// A refused change and an impossible time go alike, asked for or scheduled: silent, nothing
// recorded, the request dropped, and the display keeps what came.
TEST_F(SyncTest, RefusedOrImpossibleTimeDropsTheRequestSilently) {
    const struct {
        const char* name;
        uint8_t request;
        TClockSetResult answer;
        int hh, mm;
        const char* shown;
    } cases[] = {
        {"refused change", paSyncNow, TClockSetResult::Failed, 10, 20, "102001"},
        {"impossible time asked for", paSyncNow, TClockSetResult::Set, 25, 75, "257501"},
        {"impossible time scheduled", paScheduledSync, TClockSetResult::Set, 25, 75, "257501"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clock.Answer = c.answer;
        SetClock(c.hh, c.mm, 0);
        state.PendingAction = c.request;
        core.Timer1Timer();
        EXPECT_EQ(view.HH + view.MM + view.SS, c.shown);
        EXPECT_TRUE(clock.Sets.empty());
        EXPECT_TRUE(recorded.empty());
        EXPECT_EQ(view.Status[1], "old");
        EXPECT_EQ(state.PendingAction, paNone);
    }
}

// Only a missing right is the user's to mend: panel 1 says so once, until a change succeeds, and
// nothing is recorded.
TEST_F(SyncTest, MissingRightShownOnceUntilTheNextSuccess) {
    const std::string stamped = LastSyncroText("15.03.2024 10:20");
    const struct {
        const char* name;
        TClockSetResult answer;
        std::string shown;  // panel 1 after the step, "old" when it was left alone
    } steps[] = {
        {"no right", TClockSetResult::NoRight, kNoClockRightText},
        {"no right again", TClockSetResult::NoRight, "old"},
        {"other refusal", TClockSetResult::Failed, "old"},
        {"set", TClockSetResult::Set, stamped},
        {"no right after a success", TClockSetResult::NoRight, kNoClockRightText},
    };
    TPcSync sync{state, view, clock, [this](const std::string& s) { recorded.push_back(s); }};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        view.Status[1] = "old", recorded.clear();
        clock.Answer = s.answer;
        sync.Step();
        EXPECT_EQ(view.Status[1], s.shown);
        EXPECT_EQ(recorded.size(), s.answer == TClockSetResult::Set ? 1u : 0u);
    }
}

TEST_F(SyncTest, FailedRecordEndsTheTickAndKeepsTheRequest) {
    failRecord = true;
    state.ClockMM = 59, state.ClockSS = 59;  // this tick shows 11:00:00
    core.mnCtrlSyncroClick();
    EXPECT_THROW(core.Timer1Timer(), std::runtime_error);
    EXPECT_EQ(clock.Sets.size(), 1u);
    EXPECT_EQ(view.Status[1], "old");
    EXPECT_EQ(state.PendingAction, paSyncNow);  // schedule rule did not run either
    failRecord = false;
    core.Timer1Timer();
    EXPECT_EQ(clock.Sets.size(), 2u);
    EXPECT_EQ(recorded.size(), 1u);
}

}  // namespace
}  // namespace tamberline
