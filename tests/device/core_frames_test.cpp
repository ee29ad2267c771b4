// Frame codec on a real port over a pseudo-terminal: what goes on the wire, what comes off it.
#include <gtest/gtest.h>

#include <chrono>

#include "device/core_fakes.h"
#include "device/crc8.h"
#include "device/frames.h"

namespace tamberline {
namespace {

using test::Bytes;
using FramesTest = test::CoreTest;

TEST_F(FramesTest, FailedWriteLeavesNoRequestInTheSlot) {
    pty.CloseMaster();  // hang-up: every further write to the line fails
    const Bytes query{0xE2, 0xE4, 0x0C, 0x03};
    state.PendingAction = paZoneQuery;
    EXPECT_THROW(WriteCommandFrame(port, state, query.data(), query.size()), EComPort);
    EXPECT_EQ(state.PendingAction, paNone);
}

struct ReadCase {
    const char* name;
    Bytes wire;     // as sent
    bool closeCrc;  // replace the last byte by the right CRC
    bool good;
};

TEST_F(FramesTest, MessageFramesAreCheckedAndTyped) {
    const ReadCase cases[] = {
        {"good time frame", {0x00, 0x00, 0x09, 0x00, 0x78, 0x56, 0x34, 0x12, 0x62}, false, true},
        {"bytes 0, 1, 3 not examined", {0xAA, 0x55, 0x09, 0x77, 0x78, 0x56, 0x34, 0x12, 0}, true, true},
        {"time frame bad crc", {0x00, 0x00, 0x09, 0x00, 0x78, 0x56, 0x34, 0x12, 0x63}, false, false},
        {"zone frame one bit off", {0x00, 0x00, 0x0C, 0x00, 0x03, 0x01, 0x00, 0xC3}, false, false},
        {"unknown type, good crc", {0x00, 0x00, 0x0A, 0x00, 0x03, 0x00, 0x00, 0}, true, false},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        if (c.closeCrc) c.wire.back() = Crc8(c.wire.data(), c.wire.size() - 1);
        // A good zone frame behind shows how many bytes the case took off the line.
        Bytes marker{0x00, 0x00, 0x0C, 0x00, 0x03, 0x00, 0x00, 0xC3};
        Bytes wire = c.wire;
        wire.insert(wire.end(), marker.begin(), marker.end());
        Send(wire);
        const auto f = ReadMessageFrame(port);
        ASSERT_EQ(f.has_value(), c.good);
        if (c.good) {
            EXPECT_EQ(Bytes(f->bytes, f->bytes + f->size), c.wire);
        }
        const auto next = ReadMessageFrame(port);
        ASSERT_TRUE(next.has_value());
        EXPECT_EQ(Bytes(next->bytes, next->bytes + next->size), marker);
    }
}

TEST_F(FramesTest, CutShortFrameIsDroppedAfterTheByteWait) {
    Send({0x00, 0x00, 0x09, 0x00, 0x78});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadMessageFrame(port).has_value());
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(190));
    EXPECT_LT(waited, std::chrono::milliseconds(400));
    Send({0x00, 0x00, 0x09, 0x00, 0x78, 0x56, 0x34, 0x12, 0x62});
    const auto f = ReadMessageFrame(port);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->bytes[7], 0x12);
}

}  // namespace
}  // namespace tamberline
