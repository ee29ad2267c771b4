// Event delivery over a pseudo-terminal: the test thread is the UI thread and runs a TPostedLoop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "serial/comport.h"
#include "serial/delivery.h"
#include "serial/posted_loop.h"
#include "support/cpu_time.h"
#include "support/pty_pair.h"

namespace tamberline {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

// Binds delivery and the error box to a loop on this thread for the time of one test.
struct TUiThread {
    TPostedLoop loop;
    std::atomic<int> posted{0};
    std::vector<std::string> errors;
    TUiThread() {
        SetUiPoster([this](std::function<void()> take) {
            ++posted;
            loop.Post(std::move(take));
        });
        SetApplicationErrorHandler([this](const std::exception& e) { errors.push_back(e.what()); });
    }
    ~TUiThread() {
        SetUiPoster(nullptr);
        SetApplicationErrorHandler(nullptr);
    }
};

struct TDeliveryFixture {
    TUiThread ui;  // outlives the port: Close may still hand over a report through it
    TPtyPair pty;
    TComPort port;
    explicit TDeliveryFixture(bool open = true) {
        port.SetPort(pty.SlavePath());
        port.Timeouts().SetReadInterval(2);
        port.Timeouts().SetWriteTotalMultiplier(0);
        port.Timeouts().SetWriteTotalConstant(0);
        port.SetSyncMethod(smWindowSync);
        port.Events = ComEventBit(evRxChar);
        if (open) port.Open();
    }
};

std::string Drain(TCustomComPort& p, int count) {
    std::string buf(static_cast<size_t>(count), '\0');
    buf.resize(static_cast<size_t>(p.Read(buf.data(), count)));
    return buf;
}

TEST(ComThreadDelivery, CountIsTakenWhenTheStepRuns) {
    TDeliveryFixture f;
    std::vector<int> counts;
    f.port.OnRxChar = [&](TCustomComPort& p, int count) {
        counts.push_back(count);
        Drain(p, count);
    };
    f.pty.Write("abc");
    std::this_thread::sleep_for(50ms);  // the UI thread is busy; more bytes come meanwhile
    f.pty.Write("defg");
    std::this_thread::sleep_for(50ms);
    f.ui.loop.RunFor(100ms);
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.front(), 7);
}

TEST(ComThreadDelivery, NoEventsNoThreadNoHandler) {
    TDeliveryFixture f(false);
    f.port.Events = 0;
    f.port.Open();
    int calls = 0;
    f.port.OnRxChar = [&](auto&, int) { ++calls; };
    f.pty.Write("xyz");
    f.ui.loop.RunFor(100ms);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(f.ui.posted, 0);
    EXPECT_EQ(f.port.InputCount(), 3) << "the bytes wait for a direct Read";
}

TEST(ComThreadDelivery, HandlerErrorGoesToTheErrorBoxOnceAndDeliveryGoesOn) {
    TDeliveryFixture f;
    int calls = 0;
    std::string got;
    f.port.OnRxChar = [&](TCustomComPort& p, int) {
        got += Drain(p, 1);
        if (++calls == 1) throw EComPort(3, 5);
    };
    f.pty.Write("a");
    EXPECT_TRUE(f.ui.loop.RunUntil([&] { return calls == 1; }, 2s));
    f.ui.loop.RunFor(50ms);
    f.pty.Write("b");
    EXPECT_TRUE(f.ui.loop.RunUntil([&] { return calls == 2; }, 2s));
    EXPECT_EQ(got, "ab");
    EXPECT_EQ(f.ui.errors, (std::vector<std::string>{"ReadFile function failed (win error code: 5)"}));
}

TEST(ComThreadDelivery, EventThreadIsReleasedWhenTheReportIsTaken) {
    TDeliveryFixture f;
    bool secondPostedDuringHandler = false;
    int calls = 0;
    f.port.OnRxChar = [&](TCustomComPort& p, int count) {
        Drain(p, count);
        if (++calls != 1) return;
        f.pty.Write("late");
        const auto until = steady_clock::now() + 1s;
        while (f.ui.posted < 2 && steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        secondPostedDuringHandler = f.ui.posted >= 2;
    };
    f.pty.Write("x");
    EXPECT_TRUE(f.ui.loop.RunUntil([&] { return calls >= 2; }, 3s));
    EXPECT_TRUE(secondPostedDuringHandler);
}

TEST(ComThreadDelivery, BytesLeftBehindAreDeliveredAgainUntilTheQueueIsEmpty) {
    // One arrival, one report: a handler that takes a few bytes per call must still get them all.
    TDeliveryFixture f;
    std::string got;
    f.port.OnRxChar = [&](TCustomComPort& p, int) { got += Drain(p, 3); };
    f.pty.Write("0123456789");
    EXPECT_TRUE(f.ui.loop.RunUntil([&] { return got.size() == 10; }, 2s)) << got;
    EXPECT_EQ(got, "0123456789");
}

TEST(ComThreadClose, AReportTakenDuringCloseIsHandledWithItsBytes) {
    TDeliveryFixture f;
    std::vector<int> counts;
    f.port.OnRxChar = [&](TCustomComPort&, int count) { counts.push_back(count); };
    f.pty.Write("abc");
    std::this_thread::sleep_for(50ms);  // reported, but the UI thread is busy and takes it only in Close
    f.port.Close();
    EXPECT_EQ(counts, std::vector<int>{3});
}

TEST(ComThreadDelivery, RxEventTimeIsWhenTheBytesWereSeen) {
    TDeliveryFixture f;
    TMonoTime seen{};
    TMonoTime handled{};
    f.port.OnRxChar = [&](TCustomComPort& p, int count) {
        handled = steady_clock::now();
        seen = p.RxEventTime();
        Drain(p, count);
    };
    const auto written = steady_clock::now();
    f.pty.Write("t");
    std::this_thread::sleep_for(100ms);  // the UI thread handles the report late
    EXPECT_TRUE(f.ui.loop.RunUntil([&] { return handled != TMonoTime{}; }, 2s));
    EXPECT_GE(seen, written);
    EXPECT_LT(seen - written, 50ms) << "stamped by the event thread, not by the late UI thread";
    EXPECT_GE(handled - seen, 90ms);
}

TEST(ComThreadClose, ReturnsPromptlyWhileBytesKeepComingAndNothingRunsAfter) {
    for (int round = 0; round < 50; ++round) {
        TDeliveryFixture f;
        std::atomic<bool> stop{false};
        int callsAfterClose = 0;
        bool closed = false;
        f.port.OnRxChar = [&](TCustomComPort& p, int count) {
            if (closed) ++callsAfterClose;
            Drain(p, count);
        };
        std::thread device([&] {
            while (!stop) {
                try {
                    f.pty.Write("0123456789");
                } catch (const std::exception&) {
                    return;  // the queue is full once the port stops reading: fine for this test
                }
                std::this_thread::sleep_for(200us);
            }
        });
        f.ui.loop.RunFor(milliseconds(5 + round % 7));
        const auto t0 = steady_clock::now();
        f.port.Close();
        const auto took = steady_clock::now() - t0;
        closed = true;
        f.ui.loop.RunFor(20ms);  // reports posted before Close must not run now
        stop = true;
        device.join();
        EXPECT_LT(took, 500ms) << "round " << round;
        EXPECT_EQ(callsAfterClose, 0) << "round " << round;
        EXPECT_FALSE(f.port.Connected());
    }
}

TEST(ComThreadClose, CloseFromInsideTheHandler) {
    TDeliveryFixture f;
    int calls = 0;
    f.port.OnRxChar = [&](TCustomComPort& p, int) {
        ++calls;
        p.Close();
    };
    f.pty.Write("a");
    EXPECT_TRUE(f.ui.loop.RunUntil([&] { return calls == 1; }, 2s));
    f.pty.Write("b");
    f.ui.loop.RunFor(50ms);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(f.port.Connected());
}

TEST(ComThreadHangUp, UnreadBytesDoNotKeepTheThreadsBusy) {
    // One report per arrival: bytes left in the queue must not be reported again and again.
    TDeliveryFixture f;
    int calls = 0;
    f.port.OnRxChar = [&](auto&, int) { ++calls; };
    f.pty.Write("abcde");
    f.ui.loop.RunFor(50ms);
    const auto cpu0 = ProcessCpuTime();
    f.ui.loop.RunFor(500ms);
    EXPECT_LT(ProcessCpuTime() - cpu0, 100ms) << "CPU in 500 ms";  // a busy thread takes most of it
    EXPECT_LE(calls, 2);
    EXPECT_GE(calls, 1);
    EXPECT_EQ(f.port.InputCount(), 5);
}

TEST(ComThreadHangUp, DestroyingAnOpenPortStopsTheThread) {
    TUiThread ui;
    for (int i = 0; i < 10; ++i) {
        TPtyPair pty;
        TComPort port;
        port.SetPort(pty.SlavePath());
        port.Events = ComEventBit(evRxChar);
        port.SetSyncMethod(smWindowSync);
        port.OnRxChar = [](auto&, int) {};
        port.Open();
        pty.Write("abc");
        std::this_thread::sleep_for(5ms);
    }
    ui.loop.RunFor(20ms);  // takes posted for ports that no longer exist do nothing
    SUCCEED();
}

// A burst of ten bytes arrives whole under every method, on the UI thread unless the method says not.
TEST(ComThreadSyncMethods, EveryMethodDeliversABurstCompletely) {
    struct Case {
        const char* name;
        TSyncMethod method;
        bool onUiThread;
    };
    for (const Case c :
         {Case{"window", smWindowSync, true}, Case{"thread", smThreadSync, true}, Case{"none", smNone, false}}) {
        TDeliveryFixture f(false);
        f.port.SetSyncMethod(c.method);
        std::string received;  // read only after Close, when the event thread has ended
        std::atomic<int> bytes{0}, emptyCalls{0};
        std::atomic<bool> onUi{false};
        const auto ui = std::this_thread::get_id();
        f.port.OnRxChar = [&](TCustomComPort& p, int count) {
            onUi = std::this_thread::get_id() == ui;
            if (count <= 0) ++emptyCalls;  // a delivery with nothing waiting must call nothing
            received += Drain(p, count);
            bytes = static_cast<int>(received.size());
        };
        f.port.Open();
        f.pty.Write("0123456789");
        EXPECT_TRUE(f.ui.loop.RunUntil([&] { return bytes == 10; }, 2s)) << c.name;
        f.ui.loop.RunFor(50ms);
        f.port.Close();
        EXPECT_EQ(received, "0123456789") << c.name;
        EXPECT_EQ(emptyCalls, 0) << c.name;
        EXPECT_EQ(onUi.load(), c.onUiThread) << c.name;
    }
}

}  // namespace
}  // namespace tamberline
