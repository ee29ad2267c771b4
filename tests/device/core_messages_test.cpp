// Device messages into program state: time frames arm the tick and set the mode, zone frames set
// the zone editor's values and texts.
#include <gtest/gtest.h>

#include "device/core_fakes.h"
#include "device/messages.h"

namespace tamberline {
namespace {

using test::TFakeTimer;

TMessageFrame TimeFrame(uint8_t h100, uint8_t ss, uint8_t mm, uint8_t hh) {
    return {{0, 0, 0x09, 0, h100, ss, mm, hh, 0}, 9};
}
TMessageFrame ZoneFrame(uint8_t h, uint8_t m, uint8_t s) {
    return {{0, 0, 0x0C, 0, h, m, s, 0, 0}, 8};
}

class MessagesTest : public test::CoreTest {
  protected:
    TMessageHandler handler{state, view, timer};
    const TMonoTime rx = std::chrono::steady_clock::now();
};

struct TimeCase {
    const char* name;
    uint8_t h100, ss, mm, hh;
    int wantHH, wantMM, wantSS;
    uint32_t wantMs;
    bool synced;
};

TEST_F(MessagesTest, TimeFrameSetsClockArmsTickAndMode) {
    const TimeCase cases[] = {
        {"synchronised 12:34:56.78", 0x78, 0x56, 0x34, 0x12, 12, 34, 56, 220, true},
        {"no-sync flag", 0x78, 0x56, 0x34, 0x92, 12, 34, 56, 220, false},
        {"start of second", 0x00, 0x00, 0x00, 0x00, 0, 0, 0, 1000, true},
        {"last hundredth", 0x99, 0x59, 0x59, 0x23, 23, 59, 59, 10, true},
        {"digits above 9 count with weight", 0x05, 0x1A, 0x00, 0x00, 0, 0, 20, 950, true},
        {"bad hundredths mean the second is over", 0xA0, 0x10, 0x00, 0x00, 0, 0, 10, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        timer = TFakeTimer{};
        view.ModeCalls.clear();
        handler.ApplyFrame(TimeFrame(c.h100, c.ss, c.mm, c.hh), rx);
        EXPECT_EQ(state.ClockHH, c.wantHH);
        EXPECT_EQ(state.ClockMM, c.wantMM);
        EXPECT_EQ(state.ClockSS, c.wantSS);
        EXPECT_EQ(timer.Ms, c.wantMs);
        EXPECT_TRUE(timer.On);
        EXPECT_EQ(timer.ArmedFrom, rx);
        EXPECT_EQ(view.ModeCalls, std::vector<bool>{c.synced});
        EXPECT_EQ(state.SputSync, c.synced ? 1 : 0);
        EXPECT_TRUE(view.HH.empty());  // the tick shows the clock, not the frame
    }
}

TEST_F(MessagesTest, OnlyTheNewestTimeFrameOfABacklogIsApplied) {
    const test::Bytes frame{0x00, 0x00, 0x09, 0x00, 0x78, 0x56, 0x34, 0x12, 0x62};  // 12:34:56.78
    SendQueued(frame);
    SendQueued(frame);
    handler.ComPort1RxChar(port, 18);
    EXPECT_EQ(state.ClockHH, 10) << "a frame with a newer one behind it is a second old";
    EXPECT_FALSE(timer.On);
    handler.ComPort1RxChar(port, 9);
    EXPECT_EQ(state.ClockHH, 12);
    EXPECT_TRUE(timer.On);
}

TEST_F(MessagesTest, ATimeFrameCountsFromWhenTheDeviceBeganToSendIt) {
    // Its first byte is seen one character (260 µs at 38400 8N1) after the device began it, and the
    // frame delay goes on top.
    handler.FrameDelay = std::chrono::milliseconds(2);
    SendQueued({0x00, 0x00, 0x09, 0x00, 0x78, 0x56, 0x34, 0x12, 0x62});
    handler.ComPort1RxChar(port, 9);
    EXPECT_EQ(timer.ArmedFrom, port.RxEventTime() - std::chrono::nanoseconds(260416) - std::chrono::milliseconds(2));
}

struct ZoneCase {
    const char* name;
    int sumWnt;
    uint8_t h, m, s;
    int wantHours, wantMinutes, wantSeconds, wantPlus;
    const char* hoursText;  // "keep" when the field keeps its old text
    const char* minutesText;
};

TEST_F(MessagesTest, ZoneFrameSetsZoneValuesAndTexts) {
    // +3:00:45, rounded up to +3:01 less 15 s, is the core integration test's zone.
    const ZoneCase cases[] = {
        {"plus 3:00:30 stays", 0, 0x03, 0x00, 0x1E, 3, 0, 30, 1, "+3", "00"},
        {"minus 3:00:30 carries", 0, 0x83, 0x00, 0x1E, -3, 1, 30, 0, "-3", "01"},
        {"minus 3:00:29 stays", 0, 0x83, 0x00, 0x1D, -3, 0, -29, 0, "-3", "00"},
        {"plus 3:59:45 carries hour", 0, 0x03, 0x3B, 0x2D, 4, 0, -15, 1, "+4", "00"},
        {"minus 3:59:45 carries hour", 0, 0x83, 0x3B, 0x2D, -4, 0, 15, 0, "-4", "00"},
        {"minus 0:00:10", 0, 0x80, 0x00, 0x0A, 0, 0, -10, 0, "-0", "00"},
        {"summer plus 4", 1, 0x04, 0x00, 0x00, 3, 0, 0, 1, "+3", "00"},
        {"summer minus 5:30", 1, 0x85, 0x1E, 0x00, -6, 30, 0, 0, "-6", "30"},
        {"summer plus 0:30", 1, 0x00, 0x1E, 0x00, 0, 30, 0, 0, "-0", "30"},
        {"summer plus 0 gives 60 minutes", 1, 0x00, 0x00, 0x00, 0, 60, 0, 0, "-0", "60"},
        {"summer minus 12 out of range", 1, 0x8C, 0x00, 0x00, -13, 0, 0, 0, "keep", "00"},
        {"winter plus 14 out of range", 0, 0x0E, 0x00, 0x00, 14, 0, 0, 1, "keep", "00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.SumWnt = c.sumWnt;
        view.ZoneHours = "keep";
        state.PendingAction = paSendTime;
        handler.ApplyFrame(ZoneFrame(c.h, c.m, c.s), rx);
        EXPECT_EQ(state.ZoneHours, c.wantHours);
        EXPECT_EQ(state.ZoneMinutes, c.wantMinutes);
        EXPECT_EQ(state.ZoneSeconds, c.wantSeconds);
        EXPECT_EQ(state.ZonePlus, c.wantPlus);
        EXPECT_EQ(view.ZoneHours, c.hoursText);
        EXPECT_EQ(view.ZoneMinutes, c.minutesText);
        EXPECT_EQ(state.PendingAction, paSendTime);  // a zone frame sends and requests nothing
        EXPECT_FALSE(timer.On);
    }
}

}  // namespace
}  // namespace tamberline
