// The whole core against the device simulator over a pseudo-terminal: real port, event thread,
// delivery to a poll loop, the precise tick; only the PC clock and the window are fakes.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/startup.h"
#include "clock/precise_timer.h"
#include "clock/program_core.h"
#include "device/core_fakes.h"
#include "device/texts.h"
#include "support/poll_loop.h"
#include "support/sim_process.h"

namespace tamberline {
namespace {

using std::chrono::milliseconds;
using test::TFakeClock;
using test::TFakeMainView;

class CoreIntegration : public ::testing::Test {
  protected:
    void SetUp() override {
        SetUiPoster(loop.Poster());
        state.ZonePlus = 1, state.FillNewTime = 1, state.SyncroHours = 1;
        state.PendingAction = paZoneQuery;  // as start-up leaves it
        timer.OnTimer = [this] {
            ++ticks;
            core.Timer1Timer();
        };
        port.OnRxChar = [this](TCustomComPort& p, int n) { core.ComPort1RxChar(p, n); };
        ConfigureComPort1(port);
        port.SetPort(sim.PtyPath());
        port.Open();
    }
    void TearDown() override { port.Close(); }
    // Runs the loop until the simulator reports `line` (collecting everything it prints).
    bool RunUntilSimSays(const std::string& line, milliseconds limit) {
        return loop.RunUntil(
            [&] {
                while (auto l = sim.ReadLine(2))
                    simLines.push_back(*l);
                return std::find(simLines.begin(), simLines.end(), line) != simLines.end();
            },
            limit);
    }

    TSimProcess sim{TAMBERLINE_SIM, {"--phase", "30", "--tod", "10:20:30", "--zone", "+030045"}};
    TPollLoop loop;
    TSharedState state;
    TFakeMainView view;
    TFakeClock clock;
    TComPort port;
    TPreciseTimer timer;
    std::vector<std::string> recorded;
    std::vector<std::string> simLines;
    int ticks = 0;
    TProgramCore core{{state, view, port, timer, clock, [this](const std::string& s) { recorded.push_back(s); }}};
};

TEST_F(CoreIntegration, QueryZoneSetZoneThenSetThePcClock) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunUntilSimSays("cmd E2 E4 0C 03 53", milliseconds(4000)))
        << "ticks " << ticks << ", clock " << state.ClockHH << ":" << state.ClockMM << ":" << state.ClockSS << ", slot "
        << int(state.PendingAction) << ", sim said: " << ::testing::PrintToString(simLines) << " then "
        << sim.ReadLine(2000).value_or("nothing");
    EXPECT_EQ(ticks, 1);  // the query goes out at the first tick
    EXPECT_EQ(state.PendingAction, paNone);
    EXPECT_FALSE(view.NewHH.empty());  // first tick filled the time editor

    ASSERT_TRUE(loop.RunUntil([&] { return !view.ZoneMinutes.empty(); }, milliseconds(3000)));
    EXPECT_EQ(view.ZoneHours, "+3");
    EXPECT_EQ(view.ZoneMinutes, "01");
    EXPECT_EQ(state.ZoneSeconds, -15);
    EXPECT_EQ(view.ModeCalls.back(), true);
    EXPECT_EQ(view.TrayCalls, std::vector<bool>{true});

    state.ZoneHours = 5;  // the user steps the zone and presses the button
    state.PendingAction = paSendZone;
    ASSERT_TRUE(RunUntilSimSays("cmd E2 E4 0A 03 05 00 2D E8", milliseconds(3000)));
    ASSERT_TRUE(loop.RunUntil([&] { return !clock.Sets.empty(); }, milliseconds(3000)));
    // The PC clock got the device's time of this tick, shown on screen at that moment.
    const TLocalDateTime set = clock.Sets[0];
    EXPECT_EQ(TwoDigits(set.Hour) + TwoDigits(set.Minute) + TwoDigits(set.Second), view.HH + view.MM + view.SS);
    EXPECT_EQ(set.Millisecond, 0);
    EXPECT_EQ(recorded.size(), 1u);

    // Keep running: one tick per device second, the clock follows the device.
    const int ticksBefore = ticks;
    loop.RunFor(std::chrono::duration_cast<milliseconds>(std::chrono::seconds(10) -
                                                         (std::chrono::steady_clock::now() - start)) +
                milliseconds(3000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_GE(ticks - ticksBefore, 2);
    EXPECT_EQ(view.HH, "12");  // the device took the zone two hours further east
    EXPECT_EQ(clock.Sets.size(), 1u);

    // Set the device to 12:00:00 by hand: the command carries the second before it.
    state.NewHH = 12, state.NewMM = 0, state.NewSS = 0;
    state.PendingAction = paSendTime;
    ASSERT_TRUE(RunUntilSimSays("cmd E2 E4 0B 03 0B 3B 3B 9F", milliseconds(3000)));
    ASSERT_TRUE(loop.RunUntil([&] { return view.HH + view.MM == "1200"; }, milliseconds(3000)));
    EXPECT_LE(std::stoi(view.SS), 2);
}

}  // namespace
}  // namespace tamberline
