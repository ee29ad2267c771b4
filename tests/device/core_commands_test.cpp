// Payloads of the set-zone and set-time commands, and the commands on the wire with the slot
// value each leaves.
#include <gtest/gtest.h>

#include "device/commands.h"
#include "device/core_fakes.h"

namespace tamberline {
namespace {

using testing::OpenOnPty;
using testing::TFakeView;
using testing::TPty;
using Bytes = std::vector<uint8_t>;

struct ZoneCase {
    const char* name;
    int hours, minutes, seconds, plus;
    bool summer;
    TPayload want;
};

TEST(ZonePayload, SignHourMinutesSeconds) {
    const ZoneCase cases[] = {
        {"+3:00", 3, 0, 0, 1, false, {0x03, 0x00, 0x00}},
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
        const TPayload p = ZonePayload(s, c.summer);
        EXPECT_EQ(p.Hours, c.want.Hours);
        EXPECT_EQ(p.Minutes, c.want.Minutes);
        EXPECT_EQ(p.Seconds, c.want.Seconds);
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
        {"new time 12:30:00", true, 12, 30, 0, 5, 5, 5, {0x0C, 0x1D, 0x3B}},
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
        const TPayload p = TimePayload(s, c.timeMode);
        EXPECT_EQ(p.Hours, c.want.Hours);
        EXPECT_EQ(p.Minutes, c.want.Minutes);
        EXPECT_EQ(p.Seconds, c.want.Seconds);
    }
}

class CommandsTest : public ::testing::Test {
  protected:
    void SetUp() override { OpenOnPty(port, pty); }
    TPty pty;
    TComPort port;
    TSharedState state;
    TFakeView view;
    TDeviceCommands commands{state, view, port};
};

TEST_F(CommandsTest, EachCommandLeavesItsSlotValue) {
    struct Case {
        const char* name;
        void (TDeviceCommands::*send)();
        uint8_t request;
        Bytes wire;
        uint8_t after;
    };
    state.ZoneHours = 3, state.ZonePlus = 1;
    state.NewHH = 12, state.NewMM = 0, state.NewSS = 1;
    const Case cases[] = {
        {"zone query", &TDeviceCommands::SendZoneQuery, paZoneQuery, {0xE2, 0xE4, 0x0C, 0x03, 0x53}, paNone},
        {"set zone asks for a PC sync",
         &TDeviceCommands::SendZoneCommand,
         paSendZone,
         {0xE2, 0xE4, 0x0A, 0x03, 0x03, 0x00, 0x00, 0xE7},
         paSyncNow},
        {"set time",
         &TDeviceCommands::SendTimeCommand,
         paSendTime,
         {0xE2, 0xE4, 0x0B, 0x03, 0x0C, 0x00, 0x00, 0x75},
         paNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        state.PendingAction = c.request;
        (commands.*c.send)();
        EXPECT_EQ(pty.Receive(), c.wire);
        EXPECT_EQ(state.PendingAction, c.after);
    }
}

TEST_F(CommandsTest, ZeroHoursAndMinutesTakeTheSignOfNegativeSeconds) {
    struct Case {
        const char* name;
        int minutes;
        Bytes payload;
        uint8_t plusAfter;
        const char* hoursText;
    };
    const Case cases[] = {
        {"+0:00 -5 s is 5 s west", 0, {0x80, 0x00, 0x05}, 0, "-0"},
        // The offset is 0:29:55 east; turning the sign would send 0:30:05 west.
        {"+0:30 -5 s keeps its sign", 30, {0x00, 0x1D, 0x37}, 1, "+0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        state.ZoneHours = 0, state.ZoneMinutes = uint8_t(c.minutes), state.ZoneSeconds = -5, state.ZonePlus = 1;
        view.ZoneHoursText = "+0";
        commands.SendZoneCommand();
        const Bytes wire = pty.Receive();
        ASSERT_EQ(wire.size(), 8u);
        EXPECT_EQ(Bytes(wire.begin() + 4, wire.begin() + 7), c.payload);
        EXPECT_EQ(state.ZonePlus, c.plusAfter);
        EXPECT_EQ(view.ZoneHoursText, c.hoursText);
        EXPECT_EQ(state.ZoneSeconds, -5);  // the shared values stay as they were
    }
}

}  // namespace
}  // namespace tamberline
