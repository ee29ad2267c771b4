// The panel's core against the service's end of a real endpoint: the service's state reaches the view
// as the window's own core would show it, requests leave with their values, a refusal takes the
// editors back, and a service that goes is said. (Coming back is the panel test's: it needs the
// service in a process of its own.)
#include <gtest/gtest.h>

#include <thread>

#include "control/control_server.h"
#include "control/endpoint_test_os.h"
#include "control/remote_core.h"
#include "device/fake_main_view.h"
#include "serial/posted_loop.h"
#include "support/fake_os.h"

namespace tamberline {
namespace {

using namespace std::chrono_literals;

class TFakeService : public TControlHandler {
  public:
    TStatus State;
    std::vector<TCommand> Done;
    std::string Refuse;  // the next commands fail with this
    TStatus Status() override { return State; }
    void Execute(const TCommand& c) override {
        if (!Refuse.empty()) throw std::runtime_error(Refuse);
        Done.push_back(c);
    }
};

class RemoteCoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetUiPoster(loop.Poster());
        SetApplicationErrorHandler([this](const std::exception& e) { errors.push_back(e.what()); });
        service.State.Tick = 5, service.State.Clock = "10:20:30", service.State.Mode = 1;
        service.State.TraySync = true, service.State.ZoneKnown = true, service.State.ZoneHours = 3;
        service.State.SumWnt = 1, service.State.SyncroHours = 6, service.State.PortName = "COM7";
        service.State.BaudRateName = "19200", service.State.LastSyncro = "last";
        server = std::make_unique<TControlServer>(service, [](const std::string&) {});
        server->Listen(endpoint.Name());
        // The hand-shake waits for answers this thread's loop gives.
        std::unique_ptr<TServiceLink> link;
        std::thread attach([&] { link = TServiceLink::Attach(endpoint.Name(), 3s); });
        loop.RunUntil([&] { return server->Panels() > 0; }, 3s);
        loop.RunFor(200ms);
        attach.join();
        ASSERT_TRUE(link);
        mayCommand = link->Welcome().MayCommand;
        core = std::make_unique<TRemoteCore>(TWindowCoreDeps{state, view, port, clock, dir}, endpoint.Name(),
                                             std::move(link));
        core->Start();
    }
    void TearDown() override {
        core.reset();
        server.reset();
        SetApplicationErrorHandler(nullptr);
        SetUiPoster(nullptr);
    }
    // The service's state changes; the panel hears of it.
    void Publish() {
        server->Publish();
        loop.RunFor(100ms);
    }

    TPostedLoop loop;
    TTestEndpoint endpoint;
    TFakeService service;
    std::unique_ptr<TControlServer> server;
    TSharedState state;
    test::TFakeMainView view;
    TComPort port;
    test::TFakeClock clock;
    test::TFixedDir dir;
    std::unique_ptr<TRemoteCore> core;
    std::vector<std::string> errors;
    bool mayCommand = false;  // root or a member of the group; under wine nobody (it has no groups)
};

TEST_F(RemoteCoreTest, TheServicesStateReachesTheViewAsTheWindowsOwnCoreShowsIt) {
    EXPECT_EQ(view.HH + view.MM + view.SS, "102030");
    EXPECT_EQ(view.NewHH + view.NewMM, "1020") << "the first second fills the time editor";
    EXPECT_EQ(view.ModeCalls, std::vector<bool>{true});
    EXPECT_EQ(view.TrayCalls, std::vector<bool>{true});
    EXPECT_EQ(view.ZoneHours + view.ZoneMinutes, "+300");
    EXPECT_EQ(view.SumWnt, 1);
    EXPECT_TRUE(view.Questions.empty()) << "the service's own choice asks nothing";
    EXPECT_EQ(state.SyncroHours, 6);
    EXPECT_EQ(port.Port(), "COM7");
    EXPECT_EQ(port.BaudRate(), br19200);
    EXPECT_FALSE(port.Connected());

    // Each second re-applies the mode; values the service did not change are not taken back from the
    // editors (the period dialog steps the period in place while it is open).
    state.SyncroHours = 8;
    service.State.Tick = 6, service.State.Clock = "10:20:31";
    Publish();
    EXPECT_EQ(view.SS, "31");
    EXPECT_EQ(view.ModeCalls.size(), 2u);
    EXPECT_EQ(state.SyncroHours, 8);

    service.State.LinkLost = true;
    Publish();
    EXPECT_EQ(view.LinkLostShown, 1);
    service.State.LinkLost = false, service.State.Tick = 9, service.State.Clock = "10:20:34";
    Publish();
    EXPECT_FALSE(view.LinkLost) << "the tray shows the state again";
    EXPECT_TRUE(errors.empty());
}

TEST_F(RemoteCoreTest, RequestsLeaveWithTheirValuesARefusalTakesTheEditorsBack) {
    state.ZoneHours = 4, state.ZoneMinutes = 30, state.PendingAction = paSendZone;
    core->RequestStored();
    EXPECT_EQ(state.PendingAction, paNone) << "the service's slot holds it now";
    if (!mayCommand) {
        ASSERT_TRUE(loop.RunUntil([&] { return !errors.empty(); }, 3s));
        EXPECT_EQ(errors, std::vector<std::string>{RefusalText()});
        EXPECT_TRUE(service.Done.empty());
        EXPECT_EQ(state.ZoneHours, 3) << "the zone edits go back";
        return;
    }
    ASSERT_TRUE(loop.RunUntil([&] { return !service.Done.empty(); }, 3s));
    EXPECT_EQ(service.Done[0].Values.Action, paSendZone);
    EXPECT_EQ(service.Done[0].Values.ZoneHours, 4);
    EXPECT_EQ(service.Done[0].Values.ZoneMinutes, 30);

    service.Refuse = "Команда отклонена";
    state.SumWntIndex = 0;  // the user's switch, confirmed
    view.SumWnt = 0;
    core->SumWntAccepted();
    ASSERT_TRUE(loop.RunUntil([&] { return !errors.empty(); }, 3s));
    EXPECT_EQ(errors, std::vector<std::string>{"Команда отклонена"});
    EXPECT_EQ(state.SumWntIndex, 1);
    EXPECT_EQ(view.SumWnt, 1);
    EXPECT_EQ(state.ZoneHours, 3) << "the zone edits go back too";
}

TEST_F(RemoteCoreTest, AServiceThatGoesIsSaidAndRequestsAreRefused) {
    server.reset();
    ASSERT_TRUE(loop.RunUntil([&] { return view.NoServiceShown == 1; }, 3s));
    EXPECT_FALSE(core->Attached());
    state.PendingAction = paSyncNow;
    try {
        core->RequestStored();
        ADD_FAILURE() << "a request without the service must be refused";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), kNoServiceText);
    }
    EXPECT_EQ(state.PendingAction, paNone);
}

}  // namespace
}  // namespace tamberline
