// The link watch against a recording OS layer: when a loss is shown, that it is shown once, and how the
// port comes back and what waits in the slot afterwards.
#include <gtest/gtest.h>

#include "device/core_fakes.h"
#include "device/link_watch.h"
#include "serial/fake_backend.h"

namespace tamberline {
namespace {

using namespace std::chrono_literals;

struct LinkWatchTest : ::testing::Test {
    TFakeLog log;
    TComPort port{std::make_unique<TFakeBackend>(log)};
    TSharedState state;
    test::TFakeMainView view;
    test::TFakeTimer timer;
    TLinkWatch watch{state, view, port, timer};
    const TMonoTime t0 = std::chrono::steady_clock::now();

    void SetUp() override {
        port.Events = 0;
        port.Open();
        watch.Start(t0);
    }
    // The device goes away: the next read finds it gone.
    void Unplug() {
        log.FailWith["inputcount"] = EIO;
        EXPECT_THROW(port.InputCount(), EComPort);
        log.FailWith["open"] = ENOENT;
    }
};

TEST_F(LinkWatchTest, SilenceShowsTheLossOnceAndTheNextFrameEndsIt) {
    watch.Check(t0 + 2999ms);
    EXPECT_EQ(view.LinkLostShown, 0);
    watch.Check(t0 + 3000ms);
    watch.Check(t0 + 4000ms);
    EXPECT_EQ(view.LinkLostShown, 1);
    EXPECT_TRUE(port.Connected()) << "a silent device keeps its port";
    EXPECT_EQ(log.Count("open"), 1);

    state.SputSyncShown = 1;
    watch.FrameSeen(t0 + 4500ms);
    EXPECT_FALSE(watch.Lost());
    EXPECT_EQ(view.TrayCalls, std::vector<bool>{true}) << "the tray shows the state it showed before";
    watch.Check(t0 + 7000ms);
    EXPECT_EQ(view.LinkLostShown, 1) << "the silence counts from the last frame";
}

TEST_F(LinkWatchTest, AGoneDeviceIsClosedAndReopenedOnceItIsBack) {
    Unplug();
    watch.Check(t0 + 1000ms);
    EXPECT_TRUE(watch.Lost());
    EXPECT_FALSE(port.Connected());
    for (int i = 2; i <= 4; ++i)
        watch.Check(t0 + i * 1000ms);
    EXPECT_EQ(log.Count("open"), 4) << "one attempt per check";
    EXPECT_EQ(view.LinkLostShown, 1);

    log.FailWith.clear();
    state.PendingAction = paNone;
    watch.Check(t0 + 5000ms);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(state.PendingAction, paZoneQuery);
    EXPECT_TRUE(watch.Lost()) << "only a frame ends the loss";
    watch.Check(t0 + 7900ms);
    EXPECT_FALSE(port.DeviceGone()) << "a reopened port starts afresh";
    EXPECT_EQ(log.Count("open"), 5);
}

// A user's request waiting when the device goes would reach it later with stale values.
TEST_F(LinkWatchTest, ALossDropsUsersRequestsAndAReopenAsksForTheZone) {
    const struct {
        uint8_t before, atLoss;
        bool refused;  // reported as an error once the loss is shown
    } cases[] = {{paNone, paNone, false},    {paScheduledSync, paScheduledSync, false},
                 {paSyncNow, paNone, false}, {paSendZone, paNone, true},
                 {paSendTime, paNone, true}, {paZoneQuery, paZoneQuery, false}};
    for (const auto& c : cases) {
        TLinkWatch fresh{state, view, port, timer};
        port.Open();
        fresh.Start(t0);
        state.PendingAction = c.before;
        const int shown = view.LinkLostShown;
        if (c.refused)
            EXPECT_THROW(fresh.Check(t0 + 3000ms), ENoLink) << int(c.before);
        else
            EXPECT_NO_THROW(fresh.Check(t0 + 3000ms)) << int(c.before);
        EXPECT_EQ(view.LinkLostShown, shown + 1) << int(c.before);
        EXPECT_EQ(state.PendingAction, c.atLoss) << int(c.before);
        port.Close();
        fresh.Check(t0 + 4000ms);
        EXPECT_EQ(state.PendingAction, paZoneQuery) << int(c.before);
    }
}

TEST_F(LinkWatchTest, NothingIsReopenedAfterStopOrWithoutStart) {
    watch.Stop();
    EXPECT_FALSE(timer.On);
    port.Close();
    watch.Check(t0 + 5000ms);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(view.LinkLostShown, 0);

    TLinkWatch unstarted{state, view, port, timer};
    unstarted.Check(t0 + 5000ms);
    EXPECT_FALSE(port.Connected());

    // A start that could not open the port is lost at once; with no port chosen nothing is opened.
    TLinkWatch afterFailedOpen{state, view, port, timer};
    afterFailedOpen.Start(t0);
    EXPECT_TRUE(afterFailedOpen.Lost());
    EXPECT_EQ(view.LinkLostShown, 1);
    port.SetPort("");
    const int opens = log.Count("open");
    afterFailedOpen.Check(t0 + 1000ms);
    EXPECT_EQ(log.Count("open"), opens);
}

}  // namespace
}  // namespace tamberline
