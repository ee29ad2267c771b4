// Payloads of the set-zone and set-time commands, and the sign of a 0:00 zone on the wire. The
// whole frames and the slot each command leaves, with the plain +3:00 zone and a plain new time, are
// checked by the tick's slot table.
#include <gtest/gtest.h>

#include "device/commands.h"
#include "device/core_fakes.h"

namespace tamberline {
namespace {

struct ZoneCase {
    const char* name;
    int hours, minutes, seconds, plus;
    bool summer;
    TPayload want;
};

TEST(ZonePayload, SignHourMinutesSeconds) {
    const ZoneCase cases[] = {
        {"+3:00 summer", 3, 0, 0, 1, true, {0x04, 0x00, 0x00}},
        {"-5:30", -5, 30, 0, 0, false, {0x85, 0x1E, 0x00}},
        {"-5:30 summer", -5, 30, 0, 0, true, {0x84, 0x1E, 0x00}},
        {"+3:00 seconds -15 borrows a minute", 3, 0, -15, 1, false, {0x02, 0x3B, 0x2D}},
        {"-3:00 seconds +15 borrows a minute", -3, 0, 15, 0, false, {0x82, 0x3B, 0x2D}},
        {"+0:00 summer", 0, 0, 0, 1, true, {0x01, 0x00, 0x00}},
        {"-0:00 summer is 60 minutes", 0, 0, 0, 0, true, {0x00, 0x3C, 0x00}},
        {"-1:00 summer", -1, 0, 0, 0, true, {0x00, 0x00, 0x00}},
        {"-1:00 +10 s summer", -1, 0, 10, 0, true, {0x00, 0x00, 0x0A}},
        {"-1:00 -10 s summer", -1, 0, -10, 0, true, {0x80, 0x00, 0x0A}},
        {"-1:30 summer", -1, 30, 0, 0, true, {0x80, 0x1E, 0x00}},
        {"+12:00 summer", 12, 0, 0, 1, true, {0x0D, 0x00, 0x00}},
        {"-12:00 summer", -12, 0, 0, 0, true, {0x8B, 0x00, 0x00}},
        {"-13:00 summer stays in range", -13, 0, 0, 0, true, {0x8C, 0x00, 0x00}},
        {"-0:00 +10 s is ten seconds east", 0, 0, 10, 0, false, {0x00, 0x00, 0x0A}},
        {"-0:00 +10 s summer", 0, 0, 10, 0, true, {0x01, 0x00, 0x0A}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSharedState s;
        s.ZoneHours = c.hours, s.ZoneMinutes = uint8_t(c.minutes), s.ZoneSeconds = c.seconds;
        s.ZonePlus = uint8_t(c.plus);
        EXPECT_EQ(ZonePayload(s, c.summer), c.want);
    }
}

struct TimeCase {
    const char* name;
    bool timeMode;
    int newHH, newMM, newSS;
    int clockHH, clockMM, clockSS;
    TPayload want;
};

TEST(TimePayload, OneSecondBeforeTheWantedTime) {
    const TimeCase cases[] = {
        {"new time 00:00:00 wraps", true, 0, 0, 0, 5, 5, 5, {0x17, 0x3B, 0x3B}},
        {"correction +5", false, 0, 0, 5, 10, 20, 30, {0x0A, 0x14, 0x22}},
        {"correction 0", false, 0, 0, 0, 10, 20, 30, {0x0A, 0x14, 0x1D}},
        {"correction 0 at second 0", false, 0, 0, 0, 10, 20, 0, {0x0A, 0x13, 0x3B}},
        {"correction 0 at midnight", false, 0, 0, 0, 0, 0, 0, {0x17, 0x3B, 0x3B}},
        {"correction -1", false, 0, 0, 59, 10, 20, 0, {0x0A, 0x13, 0x3A}},
        {"correction +30 over midnight", false, 0, 0, 30, 23, 59, 45, {0x00, 0x00, 0x0E}},
        {"correction -29 back over midnight", false, 0, 0, 31, 0, 0, 10, {0x17, 0x3B, 0x28}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSharedState s;
        s.NewHH = uint8_t(c.newHH), s.NewMM = uint8_t(c.newMM), s.NewSS = uint8_t(c.newSS);
        s.ClockHH = c.clockHH, s.ClockMM = c.clockMM, s.ClockSS = c.clockSS;
        EXPECT_EQ(TimePayload(s, c.timeMode), c.want);
    }
}

using CommandsTest = test::CoreTest;

TEST_F(CommandsTest, ZeroHoursAndMinutesTakeTheSignOfNegativeSeconds) {
    struct Case {
        const char* name;
        int minutes;
        const char* wire;
        uint8_t plusAfter;
        const char* hoursText;
    };
    const Case cases[] = {
        {"+0:00 -5 s is 5 s west", 0, "E2 E4 0A 03 80 00 05 5E", 0, "-0"},
        // The offset is 0:29:55 east; turning the sign would send 0:30:05 west.
        {"+0:30 -5 s keeps its sign", 30, "E2 E4 0A 03 00 1D 37 5B", 1, "+0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        state.ZoneHours = 0, state.ZoneMinutes = uint8_t(c.minutes), state.ZoneSeconds = -5, state.ZonePlus = 1;
        view.ZoneHours = "+0";
        core.SendZoneCommand();
        EXPECT_EQ(test::ReadHex(pty), c.wire);
        EXPECT_EQ(state.ZonePlus, c.plusAfter);
        EXPECT_EQ(view.ZoneHours, c.hoursText);
        EXPECT_EQ(state.ZoneSeconds, -5);  // the shared values stay as they were
    }
}

// The zone query goes out by itself after every open; a device gone by then is the link watch's
// news (it asks again after the reopen), while a user's own command still reports the failure.
TEST_F(CommandsTest, QueryToAGoneDeviceIsQuietAUsersCommandIsNot) {
    pty.CloseMaster();
    state.PendingAction = paZoneQuery;
    EXPECT_NO_THROW(core.SendZoneQuery());
    EXPECT_EQ(state.PendingAction, paNone);
    EXPECT_THROW(core.SendZoneCommand(), EComPort);
}

}  // namespace
}  // namespace tamberline
