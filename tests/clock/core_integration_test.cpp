// The whole core against the device simulator over a pseudo-terminal: real port, event thread,
// delivery to a posted loop, the precise tick, link watch; only the PC clock and the window are fakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/startup.h"
#include "clock/precise_timer.h"
#include "clock/program_core.h"
#include "device/core_fakes.h"
#include "device/texts.h"
#include "serial/posted_loop.h"
#include "support/sim_process.h"

namespace tamberline {
namespace {

using std::chrono::milliseconds;
using test::TFakeClock;
using test::TFakeMainView;

class CoreIntegration : public ::testing::Test {
  protected:
    explicit CoreIntegration(std::vector<std::string> extraArgs = {}) {
        std::vector<std::string> args{"--phase", "30", "--tod", "10:20:30", "--zone", "+030045"};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        simArgs = args;
        sim = std::make_unique<TSimProcess>(TAMBERLINE_SIM, simArgs);
    }
    void SetUp() override {
        SetUiPoster(loop.Poster());
        SetApplicationErrorHandler([this](const std::exception& e) { errors.push_back(e.what()); });
        state.ZonePlus = 1, state.FillNewTime = 1, state.SyncroHours = 1;
        state.PendingAction = paZoneQuery;  // as start-up leaves it
        timer.OnTimer = [this] {
            ++ticks;
            core.Timer1Timer();
            if (OnTick) OnTick();
        };
        linkTimer.OnTimer = [this] { core.LinkTimerTimer(); };
        port.OnRxChar = [this](TCustomComPort& p, int n) { core.ComPort1RxChar(p, n); };
        ConfigureComPort1(port);
        port.SetPort(PortName());
        port.Open();
    }
    void TearDown() override {
        port.Close();
        SetApplicationErrorHandler(nullptr);
    }
    virtual std::string PortName() { return sim->PtyPath(); }
    // Runs the loop until the simulator reports `line` (collecting everything it prints).
    bool RunUntilSimSays(const std::string& line, milliseconds limit) {
        return loop.RunUntil(
            [&] {
                CollectSimLines();
                return std::find(simLines.begin(), simLines.end(), line) != simLines.end();
            },
            limit);
    }
    virtual void CollectSimLines() {
        while (auto l = sim->ReadLine(0))
            simLines.push_back(*l);
    }

    std::vector<std::string> simArgs;
    std::unique_ptr<TSimProcess> sim;
    TPostedLoop loop;
    TSharedState state;
    TFakeMainView view;
    TFakeClock clock;
    TComPort port;
    TPreciseTimer timer, linkTimer{false};
    std::vector<std::string> recorded;
    std::vector<std::string> simLines;
    std::vector<std::string> errors;  // what reached the general error box
    std::function<void()> OnTick;
    int ticks = 0;
    TProgramCore core{
        {state, view, port, timer, linkTimer, clock, [this](const std::string& s) { recorded.push_back(s); }}};
};

TEST_F(CoreIntegration, QueryZoneSetZoneThenSetThePcClock) {
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunUntilSimSays("cmd E2 E4 0C 03 53", milliseconds(4000)))
        << "ticks " << ticks << ", sim said: " << ::testing::PrintToString(simLines);
    EXPECT_EQ(ticks, 1);  // the query goes out at the first tick
    EXPECT_EQ(state.PendingAction, paNone);
    EXPECT_FALSE(view.NewHH.empty());  // first tick filled the time editor

    ASSERT_TRUE(loop.RunUntil([&] { return !view.ZoneMinutes.empty(); }, milliseconds(3000)));
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

// A time frame from the simulator's "sent <monotonic ns> HH:MM:SS <hundredths>" line.
struct TSent {
    int64_t Ns;
    int Tod, Phase;
};

class CoreNoise : public CoreIntegration {
  protected:
    CoreNoise() : CoreIntegration({"--stamp"}) {}
    struct TTick {
        TMonoTime At;
        int Shown;
        std::optional<int> Set;  // the time of day the PC clock was set to at this tick
    };
    void CollectSimLines() override {
        while (auto l = sim->ReadLine(0)) {
            long long ns;
            int hh, mm, ss, phase;
            if (std::sscanf(l->c_str(), "sent %lld %d:%d:%d %d", &ns, &hh, &mm, &ss, &phase) == 5)
                sent.push_back({ns, hh * 3600 + mm * 60 + ss, phase});
            else
                simLines.push_back(*l);
        }
    }
    // The device's time of day at `t`, counted on from the last frame it sent before.
    std::optional<int> DeviceTod(TMonoTime t) const {
        const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
        for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
            if (it->Ns > ns) continue;
            const int64_t secondStart = it->Ns - int64_t{it->Phase} * 10'000'000;
            return static_cast<int>((it->Tod + (ns - secondStart) / 1'000'000'000) % 86400);
        }
        return std::nullopt;
    }
    int SentAfter(TMonoTime t) const {
        const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
        return static_cast<int>(std::count_if(sent.begin(), sent.end(), [&](const TSent& s) { return s.Ns > ns; }));
    }
    static int Tod(const TLocalDateTime& t) { return t.Hour * 3600 + t.Minute * 60 + t.Second; }

    std::vector<TSent> sent;
    std::vector<TTick> tickLog;
    size_t setsSeen = 0;
};

TEST_F(CoreNoise, AfterNoiseTheShownAndSetTimeIsTheDevicesOwn) {
    OnTick = [this] {
        const size_t sets = clock.Sets.size();
        tickLog.push_back({std::chrono::steady_clock::now(),
                           std::stoi(view.HH) * 3600 + std::stoi(view.MM) * 60 + std::stoi(view.SS), std::nullopt});
        if (sets > setsSeen) tickLog.back().Set = Tod(clock.Sets.back());
        setsSeen = sets;
        if (state.PendingAction == paNone) state.PendingAction = paSyncNow;  // set the PC clock at every tick
    };
    ASSERT_TRUE(loop.RunUntil([&] { return ticks >= 2; }, milliseconds(4000)));
    for (const char* burst : {"garbage 1", "garbage 9", "garbage 100", "garbage 1000", "garbage 5000", "midframe"}) {
        SCOPED_TRACE(burst);
        const TMonoTime b = std::chrono::steady_clock::now();
        const size_t firstTick = tickLog.size();
        sim->Command(burst);
        // Two frames may go by before the reader has lined up again; the ticks of the next two must be right.
        loop.RunUntil(
            [&] {
                CollectSimLines();
                return SentAfter(b) >= 4;
            },
            milliseconds(7000));
        loop.RunFor(milliseconds(800));  // the tick of the last frame
        CollectSimLines();
        ASSERT_GE(SentAfter(b), 4);
        const TSent& third = sent[sent.size() - SentAfter(b) + 2];
        int checked = 0;
        for (size_t i = firstTick; i < tickLog.size(); ++i) {
            const TTick& t = tickLog[i];
            // 20 ms of slack: the simulator stamps a frame a little after it went out.
            const auto device = DeviceTod(t.At + milliseconds(20));
            ASSERT_TRUE(device.has_value());
            if (t.Set) {
                EXPECT_EQ(*t.Set, *device) << "PC clock set at tick " << i - firstTick;
            }
            if (std::chrono::duration_cast<std::chrono::nanoseconds>(t.At.time_since_epoch()).count() < third.Ns)
                continue;
            EXPECT_EQ(t.Shown, *device) << "tick " << i - firstTick;
            ++checked;
        }
        EXPECT_GE(checked, 2) << "the clock must keep ticking with the device";
    }
    EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
}

// A fresh directory for the simulator's --link name.
std::string NewLinkDir() {
    namespace fs = std::filesystem;
    for (int i = 0;; ++i) {
        const fs::path dir =
            fs::temp_directory_path() / ("tamberline-link-" + std::to_string(std::rand()) + std::to_string(i));
        if (fs::create_directory(dir)) return dir.string();
    }
}

class CoreLink : public CoreIntegration {
  protected:
    CoreLink() : CoreLink(NewLinkDir()) {}
    ~CoreLink() override {
        sim.reset();
        std::filesystem::remove(dir_);
    }
    std::string PortName() override { return dir_ + "/device"; }

  private:
    explicit CoreLink(const std::string& dir) : CoreIntegration({"--link", dir + "/device"}), dir_(dir) {}
    std::string dir_;
};

TEST_F(CoreLink, SaysWhenTheDeviceIsGoneAndComesBackByItself) {
    core.StartLinkWatch();
    // Unplugged once the zone query has had its answer (a write cut by the unplug is another case).
    ASSERT_TRUE(loop.RunUntil([&] { return !view.ZoneMinutes.empty(); }, milliseconds(3000)));
    state.SputSyncShown = 1;

    // Unplugged: the port hangs up; the loss is shown without an error box and the port let go.
    sim.reset();
    ASSERT_TRUE(loop.RunUntil([&] { return view.LinkLost && !port.Connected(); }, milliseconds(2500)));
    EXPECT_EQ(view.LinkLostShown, 1);
    loop.RunFor(milliseconds(1200));  // a reopen of a missing device fails quietly

    // Plugged in again under the same name: reopened, the zone asked for again, the link back.
    sim = std::make_unique<TSimProcess>(TAMBERLINE_SIM, simArgs);
    simLines.clear();
    ASSERT_TRUE(RunUntilSimSays("cmd E2 E4 0C 03 53", milliseconds(5000)));
    EXPECT_TRUE(port.Connected());
    EXPECT_FALSE(view.LinkLost);
    EXPECT_EQ(view.TrayCalls.back(), true);
    EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
}

}  // namespace
}  // namespace tamberline
