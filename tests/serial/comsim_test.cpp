// The port against the device simulator: frames arrive through event delivery, and Close stays safe
// while the simulator keeps sending.
#include <gtest/gtest.h>

#include <chrono>

#include "serial/comport.h"
#include "serial/delivery.h"
#include "serial/posted_loop.h"
#include "support/cpu_time.h"
#include "support/sim_process.h"

namespace tamberline {
namespace {

using namespace std::chrono_literals;

struct TSimFixture {
    TPostedLoop loop;
    std::vector<std::string> errors;
    TSimProcess sim{TAMBERLINE_SIM};
    TComPort port;
    std::string received;
    TSimFixture() {
        SetUiPoster(loop.Poster());
        SetApplicationErrorHandler([this](const std::exception& e) { errors.push_back(e.what()); });
        port.SetPort(sim.PtyPath());
        port.SetBaudRate(br38400);
        port.Buffer().SetInputSize(10);
        port.Buffer().SetOutputSize(10);
        port.Timeouts().SetReadInterval(2);
        port.Timeouts().SetWriteTotalMultiplier(0);
        port.Timeouts().SetWriteTotalConstant(0);
        port.SetSyncMethod(smWindowSync);
        port.Events = ComEventBit(evRxChar);
        // Reads a byte at a time, as the program's receive handler does.
        port.OnRxChar = [this](TCustomComPort& p, int count) {
            for (int i = 0; i < count; ++i) {
                char c;
                if (p.Read(&c, 1) == 1) received += c;
            }
        };
    }
    ~TSimFixture() {
        port.Close();
        SetUiPoster(nullptr);
        SetApplicationErrorHandler(nullptr);
    }
};

TEST(ComPortWithSimulator, TimeFramesArrive) {
    TSimFixture f;
    f.port.Open();
    const std::string header("\xE2\xE4\x09\x03", 4);
    const bool got = f.loop.RunUntil(
        [&] {
            const auto at = f.received.find(header);
            return at != std::string::npos && f.received.size() >= at + 9;
        },
        3500ms);
    EXPECT_TRUE(got) << "bytes so far: " << f.received.size();
    EXPECT_TRUE(f.errors.empty());
}

TEST(ComPortWithSimulator, CloseLoopWhileBytesCome) {
    TSimFixture f;
    int afterClose = 0;
    bool closed = false;
    auto reader = f.port.OnRxChar;
    f.port.OnRxChar = [&](TCustomComPort& p, int count) {
        if (closed) ++afterClose;
        reader(p, count);
    };
    for (int round = 0; round < 30; ++round) {
        f.sim.Command("garbage 300");
        closed = false;
        f.port.Open();
        f.loop.RunFor(std::chrono::milliseconds(3 + round % 5));
        const auto t0 = std::chrono::steady_clock::now();
        f.port.Close();
        closed = true;
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms) << round;
        f.loop.RunFor(2ms);
    }
    EXPECT_EQ(afterClose, 0);
    EXPECT_GT(f.received.size(), 0u);
    EXPECT_TRUE(f.errors.empty()) << f.errors.front();
}

// The simulator ends (a device unplugged): writing fails, nothing spins, and Close still returns.
TEST(ComPortWithSimulator, HangUpGivesAnErrorWithoutSpinning) {
    TSimFixture f;
    f.port.Open();
    ASSERT_TRUE(f.loop.RunUntil([&] { return !f.received.empty(); }, 3500ms));
    f.sim.Command("quit");
    ASSERT_TRUE(f.sim.WaitExit(3000));
    f.loop.RunFor(300ms);  // the last reports drain
    const auto cpu0 = ProcessCpuTime();
    const auto t0 = std::chrono::steady_clock::now();
    f.loop.RunFor(1000ms);
    const double share =
        double((ProcessCpuTime() - cpu0).count()) / double((std::chrono::steady_clock::now() - t0).count());
    EXPECT_LT(share, 0.05) << "CPU share while the device is gone";
    const char c = 0;
    EXPECT_THROW(f.port.Write(&c, 1), EComPort);
    const auto c0 = std::chrono::steady_clock::now();
    f.port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - c0, 500ms);
}

}  // namespace
}  // namespace tamberline
