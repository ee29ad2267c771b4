// The second tick: clock advance and display, the one-request slot, the schedule rule and the
// date line, with a recording view, a fake timer and a fake PC clock.
#include <gtest/gtest.h>

#include "device/core_fakes.h"

namespace tamberline {
namespace {

using TickTest = test::CoreTest;

TEST_F(TickTest, AdvancesShowsAndDisarms) {
    struct Case {
        const char* name;
        int hh, mm, ss;
        const char *wantHH, *wantMM, *wantSS;
    };
    const Case cases[] = {
        {"plain second", 12, 34, 56, "12", "34", "57"},
        {"minute carry", 9, 5, 59, "09", "06", "00"},
        {"hour carry", 9, 59, 59, "10", "00", "00"},
        {"midnight", 23, 59, 59, "00", "00", "00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetClock(c.hh, c.mm, c.ss);
        timer.On = true;
        core.Timer1Timer();
        EXPECT_EQ(view.HH + ":" + view.MM + ":" + view.SS, std::string(c.wantHH) + ":" + c.wantMM + ":" + c.wantSS);
        EXPECT_FALSE(timer.On);
    }
}

TEST_F(TickTest, FirstTickFillsTheTimeEditorOnce) {
    struct Case {
        const char* name;
        bool timeMode;
        const char* wantSS;
        int wantNewSS;
    };
    const Case cases[] = {{"time mode fills seconds", true, "06", 6}, {"correction mode leaves seconds", false, "", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        state.FillNewTime = 1, state.NewSS = 0;
        view.NewSS.clear();
        view.TimeMode = c.timeMode;
        SetClock(7, 8, 5);
        core.Timer1Timer();
        EXPECT_EQ(view.NewHH + view.NewMM + view.NewSS, std::string("0708") + c.wantSS);
        EXPECT_EQ(state.NewHH, 7);
        EXPECT_EQ(state.NewSS, c.wantNewSS);
        view.NewHH = "x";
        core.Timer1Timer();
        EXPECT_EQ(view.NewHH, "x");
    }
}

// Each request is served once by the next tick; what it leaves in the slot is the next tick's work.
TEST_F(TickTest, SlotIsServedOnceAndLeftAsDue) {
    struct Case {
        const char* name;
        uint8_t request;
        uint8_t sputSync;
        bool onTheHour;    // the tick shows 06:00:00, when the hourly PC sync falls due
        const char* wire;  // what goes to the device
        size_t wantSets;   // PC clock settings
        uint8_t after;
    };
    const Case cases[] = {
        {"empty slot", paNone, 1, false, "", 0, paNone},
        {"zone query", paZoneQuery, 1, false, "E2 E4 0C 03 53", 0, paNone},
        {"set zone, then a PC sync", paSendZone, 1, false, "E2 E4 0A 03 03 00 00 E7", 0, paSyncNow},
        {"set time, a second before 12:00:01", paSendTime, 0, false, "E2 E4 0B 03 0C 00 00 75", 0, paNone},
        {"sync now without satellite", paSyncNow, 0, false, "", 1, paNone},
        {"scheduled sync", paScheduledSync, 1, false, "", 1, paNone},
        {"scheduled sync waits for satellite", paScheduledSync, 0, false, "", 0, paScheduledSync},
        {"unknown value is no request", 0x0C, 1, false, "", 0, 0x0C},
        {"the schedule is set last and overwrites", paSendZone, 1, true, "E2 E4 0A 03 03 00 00 E7", 0, paScheduledSync},
    };
    state.ZoneHours = 3, state.ZonePlus = 1;
    state.NewHH = 12, state.NewMM = 0, state.NewSS = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clock.Sets.clear();
        c.onTheHour ? SetClock(5, 59, 59) : SetClock(10, 20, 30);
        state.PendingAction = c.request;
        state.SputSync = c.sputSync;
        core.Timer1Timer();
        EXPECT_EQ(test::ReadHex(pty), c.wire);
        EXPECT_EQ(clock.Sets.size(), c.wantSets);
        EXPECT_EQ(state.PendingAction, c.after);
    }
}

TEST_F(TickTest, WaitingScheduledSyncTakesTheTimeOfTheTickThatServesIt) {
    state.SputSync = 0;
    SetClock(13, 59, 59);
    core.Timer1Timer();  // 14:00:00 due
    core.Timer1Timer();  // 14:00:01, no satellite: waits
    EXPECT_EQ(state.PendingAction, paScheduledSync);
    state.SputSync = 1;
    SetClock(14, 5, 9);
    core.Timer1Timer();
    ASSERT_EQ(clock.Sets.size(), 1u);
    EXPECT_EQ(clock.Sets[0].Hour * 10000 + clock.Sets[0].Minute * 100 + clock.Sets[0].Second, 140510);
    EXPECT_EQ(state.PendingAction, paNone);
}

TEST(ScheduledSyncDue, HoursPerPeriod) {
    struct Case {
        const char* name;
        uint8_t period;
        std::vector<int> hours;  // hours at which hh:00:00 is due
    };
    const Case cases[] = {
        {"1 h", 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}},
        {"3 h", 3, {0, 3, 6, 9, 12, 15, 18, 21}},
        {"12 h", 12, {0, 12}},
        {"24 h adds noon", 24, {0, 12}},
        {"30 h from the file", 30, {0}},
        {"0 h is no schedule", 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> due;
        for (int hh = 0; hh < 24; ++hh)
            if (ScheduledSyncDue(hh, 0, 0, c.period)) due.push_back(hh);
        EXPECT_EQ(due, c.hours);
        EXPECT_FALSE(ScheduledSyncDue(0, 0, 1, c.period));
        EXPECT_FALSE(ScheduledSyncDue(0, 1, 0, c.period));
    }
}

TEST_F(TickTest, PcSyncWaitsWhileANewerFrameIsUnread) {
    SendQueued({0x00, 0x00, 0x09, 0x00, 0x78, 0x56, 0x34, 0x12, 0x62});  // 12:34:56.78, not yet read
    state.PendingAction = paSyncNow;
    core.Timer1Timer();
    EXPECT_TRUE(clock.Sets.empty()) << "10:20:31 is no longer the device's second";
    EXPECT_EQ(state.PendingAction, paSyncNow);
    core.ComPort1RxChar(port, 9);
    core.Timer1Timer();
    ASSERT_EQ(clock.Sets.size(), 1u);
    EXPECT_EQ(clock.Sets[0].Hour * 10000 + clock.Sets[0].Minute * 100 + clock.Sets[0].Second, 123457);
}

TEST_F(TickTest, DateLineIsRewrittenAtOneSecondPastMidnightOnly) {
    clock.Current = {2024, 3, 16, 0, 0, 0, 500, 6};
    struct Case {
        const char* name;
        int hh, mm, ss;
        const char* want;
    };
    const Case cases[] = {
        {"shows 00:00:00", 23, 59, 59, "old"},
        {"shows 00:00:01", 0, 0, 0, " Сб: 16.03.2024"},
        {"shows 00:00:02", 0, 0, 1, "old"},
        {"shows 12:00:01", 12, 0, 0, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.Status[0] = "old";
        SetClock(c.hh, c.mm, c.ss);
        core.Timer1Timer();
        EXPECT_EQ(view.Status[0], c.want);
    }
}

}  // namespace
}  // namespace tamberline
