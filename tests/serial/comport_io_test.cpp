// Open, close, read and write over a real pseudo-terminal: the test plays the device on the master side.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "serial/comport.h"
#include "support/pty_pair.h"

namespace tamberline {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

// A port set up as the program sets it up (no event thread: these tests read directly).
struct TPtyPort {
    TPtyPair pty;
    TComPort port;
    explicit TPtyPort(int readInterval = 2) {
        port.SetPort(pty.SlavePath());
        port.SetBaudRate(br38400);
        port.Buffer().SetInputSize(10);
        port.Buffer().SetOutputSize(10);
        port.Timeouts().SetReadInterval(readInterval);
        port.Timeouts().SetWriteTotalMultiplier(0);
        port.Timeouts().SetWriteTotalConstant(0);
        port.Events = 0;
        port.Open();
    }
};

template <class F>
double MsTaken(F&& f) {
    const auto t0 = steady_clock::now();
    f();
    return duration<double, std::milli>(steady_clock::now() - t0).count();
}

TEST(ComPortOpen, MissingDevice) {
    struct Case {
        const char* name;
        const char* port;
        int winCode;
    };
    const Case cases[] = {
        {"missing device under /dev", "ttyNoSuchDevice7", ENOENT},
        {"empty name", "", ENOENT},
        {"not a terminal", "/dev/null", ENOTTY},
    };
    for (const auto& c : cases) {
        TComPort port;
        port.SetPort(c.port);
        try {
            port.Open();
            ADD_FAILURE() << c.name;
        } catch (const EComPort& e) {
            EXPECT_EQ(e.Code, 1) << c.name;
            EXPECT_EQ(e.WinCode, c.winCode) << c.name;
        }
        EXPECT_FALSE(port.Connected()) << c.name;
    }
}

TEST(ComPortOpen, SecondOpenerIsRefusedAndFirstCloseFreesTheLine) {
    TPtyPort a;
    TComPort b;
    b.SetPort(a.pty.SlavePath());
    b.Events = 0;
    EXPECT_THROW(b.Open(), EComPort);
    EXPECT_FALSE(b.Connected());
    a.port.Close();
    EXPECT_NO_THROW(b.Open());
    EXPECT_TRUE(b.Connected());
}

TEST(ComPortOpen, ReopenAfterPortChangeAndRepeatedOpenClose) {
    TPtyPair other;
    TPtyPort p;
    p.port.SetPort(other.SlavePath());
    EXPECT_TRUE(p.port.Connected());
    other.Write("z");
    char c = 0;
    EXPECT_EQ(p.port.Read(&c, 1), 1);
    EXPECT_EQ(c, 'z');
    for (int i = 0; i < 20; ++i) {
        p.port.Close();
        p.port.Open();
    }
    EXPECT_TRUE(p.port.Connected());
}

TEST(ComPortIo, WriteReachesTheDevice) {
    TPtyPort p;
    const unsigned char frame[] = {0xE2, 0xE4, 0x0C, 0x03, 0x53};
    EXPECT_EQ(p.port.Write(frame, 5), 5);
    EXPECT_EQ(p.pty.ReadAvailable(1000), std::string(reinterpret_cast<const char*>(frame), 5));
    // Raw line: bytes a terminal would translate pass unchanged.
    const std::string special("\r\n\x03\x11\x13\x7f\x00", 7);
    EXPECT_EQ(p.port.Write(special.data(), 7), 7);
    EXPECT_EQ(p.pty.ReadAvailable(1000), special);
}

TEST(ComPortIo, ReadCompletionRules) {
    struct Case {
        const char* name;
        int interval;  // ms
        std::string waiting;
        int count;
        std::string want;
        int leftInQueue;
    };
    const Case cases[] = {
        {"one of three leaves two", 2, "abc", 1, "a", 2},
        {"exact count", 2, "abcde", 5, "abcde", 0},
        {"fewer than asked ends by the interval", 2, "ab", 5, "ab", 0},
        {"all-ones interval returns what is there", -1, "abc", 10, "abc", 0},
        {"raw bytes unchanged", 2, std::string("\r\n\x03\x00\xff", 5), 5, std::string("\r\n\x03\x00\xff", 5), 0},
    };
    for (const auto& c : cases) {
        TPtyPort p(c.interval);
        p.pty.Write(c.waiting);
        std::this_thread::sleep_for(20ms);
        std::string buf(static_cast<size_t>(c.count), '\0');
        const int n = p.port.Read(buf.data(), c.count);
        EXPECT_EQ(buf.substr(0, static_cast<size_t>(n)), c.want) << c.name;
        EXPECT_EQ(p.port.InputCount(), c.leftInQueue) << c.name;
    }
}

TEST(ComPortIo, ReadWaitsForTheFirstByteAndEndsAfterTheInterval) {
    TPtyPort p(50);  // a long interval makes the timing visible
    std::thread device([&] {
        std::this_thread::sleep_for(150ms);
        p.pty.Write("x");
        std::this_thread::sleep_for(20ms);  // within the interval: same read
        p.pty.Write("y");
        std::this_thread::sleep_for(200ms);  // beyond it: a later read
        p.pty.Write("z");
    });
    char buf[8] = {};
    int n = 0;
    const double ms = MsTaken([&] { n = p.port.Read(buf, 8); });
    device.join();
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), "xy");
    EXPECT_GE(ms, 150 + 20 + 50 - 5) << "waited for the first byte, then one interval after the last";
    EXPECT_LT(ms, 150 + 20 + 50 + 120);
    n = p.port.Read(buf, 8);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), "z");
}

TEST(ComPortIo, TimeoutRecordVariants) {
    struct Case {
        const char* name;
        int32_t interval, mult, constant;
        double minMs, maxMs;
        int wantBytes;
    };
    const Case cases[] = {
        {"all-ones interval returns at once with nothing", -1, 0, 0, 0, 100, 0},
        {"total constant ends a silent read", 0, 0, 100, 95, 300, 0},
        {"total per byte", 0, 20, 0, 75, 280, 0},  // 4 bytes * 20 ms
        {"any byte, wait up to constant", -1, -1, 80, 75, 280, 0},
    };
    for (const auto& c : cases) {
        TPtyPort p;
        p.port.Timeouts().SetReadInterval(c.interval);
        p.port.Timeouts().SetReadTotalMultiplier(c.mult);
        p.port.Timeouts().SetReadTotalConstant(c.constant);
        char buf[4];
        int n = -1;
        const double ms = MsTaken([&] { n = p.port.Read(buf, 4); });
        EXPECT_EQ(n, c.wantBytes) << c.name;
        EXPECT_GE(ms, c.minMs) << c.name;
        EXPECT_LT(ms, c.maxMs) << c.name;
    }
}

TEST(ComPortIo, ReadWithinGivesUp) {
    struct Case {
        const char* name;
        std::string sent;
        int waitMs;
        int want;
    };
    const Case cases[] = {
        {"silent line gives up with nothing", "", 60, 0},
        {"short frame is returned after the wait", "ab", 60, 2},
        {"full count returns at once", "abcd", 1000, 4},
    };
    for (const auto& c : cases) {
        TPtyPort p(-1);  // no interval: only the wait can end a short read
        p.port.Timeouts().SetReadInterval(0);
        p.pty.Write(c.sent);
        char buf[4];
        int n = -1;
        const double ms = MsTaken([&] { n = p.port.ReadWithin(buf, 4, c.waitMs); });
        EXPECT_EQ(n, c.want) << c.name;
        EXPECT_LT(ms, c.waitMs + 150) << c.name;
        if (c.want < 4) {
            EXPECT_GE(ms, c.waitMs - 5) << c.name;
        }
    }
}

TEST(ComPortIo, ClosedPortRaises) {
    TComPort port;
    char c = 0;
    struct Case {
        const char* name;
        std::function<void()> call;
        int code;
    };
    const Case cases[] = {
        {"write", [&] { port.Write(&c, 1); }, 2},
        {"read", [&] { port.Read(&c, 1); }, 3},
        {"input count", [&] { port.InputCount(); }, 10},
        {"modem lines", [&] { port.ReadModemSignals(); }, 11},
    };
    for (const auto& k : cases) {
        try {
            k.call();
            ADD_FAILURE() << k.name;
        } catch (const EComPort& e) {
            EXPECT_EQ(e.Code, k.code) << k.name;
        }
    }
}

TEST(ComPortIo, HungUpDeviceRaisesInsteadOfBlocking) {
    struct Case {
        const char* name;
        int code;
        milliseconds hangUpAfter;  // 0: before the call
    };
    for (const Case c : {Case{"read", 3, 0ms}, Case{"write", 2, 0ms}, Case{"read waiting for a byte", 3, 100ms}}) {
        TPtyPort p;
        std::thread device([&] {
            std::this_thread::sleep_for(c.hangUpAfter);
            p.pty.CloseMaster();
        });
        if (c.hangUpAfter == 0ms) device.join();
        char buf[4] = {};
        const double ms = MsTaken([&] {
            try {
                if (c.code == 3)
                    p.port.Read(buf, 4);
                else
                    p.port.Write("abcd", 4);
                ADD_FAILURE() << c.name << ": no error";
            } catch (const EComPort& e) {
                EXPECT_EQ(e.Code, c.code) << c.name;
                EXPECT_NE(e.WinCode, -1) << c.name;
            }
        });
        if (device.joinable()) device.join();
        EXPECT_LT(ms, 500) << c.name;
        EXPECT_TRUE(p.port.Connected()) << c.name << ": a failed transfer leaves the port open";
        EXPECT_NO_THROW(p.port.Close()) << c.name;
        EXPECT_FALSE(p.port.Connected()) << c.name;
    }
}

TEST(ComPortIo, BytesTakenBeforeAHangUpAreNotLost) {
    TPtyPort p(0);  // no interval: the read waits for all four bytes
    std::thread device([&] {
        p.pty.Write("ab");
        std::this_thread::sleep_for(100ms);
        p.pty.CloseMaster();
    });
    char buf[4] = {};
    int n = -1;
    EXPECT_NO_THROW(n = p.port.Read(buf, 4));
    device.join();
    EXPECT_EQ(std::string(buf, static_cast<size_t>(std::max(n, 0))), "ab");
    EXPECT_THROW(p.port.Read(buf, 4), EComPort) << "the next read reports the hang-up";
}

// A pseudo-terminal carries 8-bit words without parity only; settings it cannot hold must be reported
// (code 7), never silently dropped, and must not close the port.
TEST(ComPortIo, LineSettingsOnAPseudoTerminal) {
    struct Case {
        const char* name;
        std::function<void(TCustomComPort&)> change;
        bool accepted;
    };
    const Case cases[] = {
        {"256000 (non-standard)", [](auto& p) { p.SetBaudRate(br256000); }, true},
        {"custom 31250", [](auto& p) { p.SetBaudRate(brCustom), p.SetCustomBaudRate(31250); }, true},
        {"2 stop bits", [](auto& p) { p.SetStopBits(sbTwoStopBits); }, true},
        {"hardware flow", [](auto& p) { p.FlowControl().SetFlowControl(fcHardware); }, true},
        {"software flow", [](auto& p) { p.FlowControl().SetFlowControl(fcSoftware); }, true},
        {"dtr and rts on",
         [](auto& p) { p.FlowControl().SetControlDTR(dtrEnable), p.FlowControl().SetControlRTS(rtsEnable); }, true},
        {"7 data bits", [](auto& p) { p.SetDataBits(dbSeven); }, false},
        {"even parity", [](auto& p) { p.Parity().SetBits(prEven); }, false},
        {"custom rate 0 (a hang-up on a real line)", [](auto& p) { p.SetBaudRate(brCustom), p.SetCustomBaudRate(0); },
         false},
    };
    for (const auto& c : cases) {
        TPtyPort p;
        if (c.accepted) {
            EXPECT_NO_THROW(c.change(p.port)) << c.name;
        } else {
            try {
                c.change(p.port);
                ADD_FAILURE() << c.name << ": accepted";
            } catch (const EComPort& e) {
                EXPECT_EQ(e.Code, 7) << c.name;
            }
        }
        EXPECT_TRUE(p.port.Connected()) << c.name;
        EXPECT_EQ(p.port.Write("k", 1), 1) << c.name;
        EXPECT_EQ(p.pty.ReadAvailable(1000), "k") << c.name;
    }
}

}  // namespace
}  // namespace tamberline
