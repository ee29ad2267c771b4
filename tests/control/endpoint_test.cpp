// The control endpoint over the real socket or pipe: the test thread is the UI thread and runs a
// TPostedLoop, so every report is seen where it ran.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "control/endpoint.h"
#include "control/endpoint_test_os.h"
#include "serial/posted_loop.h"

namespace tamberline {
namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 5s;  // for what should take milliseconds

// The loop on this thread stands in for the UI thread for the time of one test.
struct TUi {
    TPostedLoop loop;
    std::thread::id thread = std::this_thread::get_id();
    bool elsewhere = false;  // a report ran on another thread
    TUi() { SetUiPoster(loop.Poster()); }
    ~TUi() { SetUiPoster(nullptr); }
    void Here() { elsewhere = elsewhere || std::this_thread::get_id() != thread; }
    bool Until(const std::function<bool()>& done) { return loop.RunUntil(done, kWait); }
};

// What a listener and a connection reported.
struct TServerLog {
    explicit TServerLog(TUi& u) : ui(u) {}
    TUi& ui;
    std::vector<int> connected, gone;
    std::map<int, std::string> received;
    std::map<int, TPeer> peers;
    TListenerEvents Events() {
        return {[this](int c) { ui.Here(), connected.push_back(c); },
                [this](int c, const TPeer& p, const std::string& b) { ui.Here(), peers[c] = p, received[c] += b; },
                [this](int c) { ui.Here(), gone.push_back(c); }};
    }
};

struct TClientLog {
    explicit TClientLog(TUi& u) : ui(u) {}
    TUi& ui;
    std::string received;
    int gone = 0;
    TConnectionEvents Events() {
        return {[this](const std::string& b) { ui.Here(), received += b; }, [this] { ui.Here(), ++gone; }};
    }
};

// A listener, and clients connected to it whose Connected reports have come.
struct TSetup {
    TUi ui;
    TTestEndpoint endpoint;
    TServerLog server{ui};
    std::unique_ptr<TEndpointListener> listener = ListenOnEndpoint(endpoint.Name(), server.Events());
    std::vector<std::unique_ptr<TEndpointConnection>> clients;
    std::vector<std::unique_ptr<TClientLog>> logs;

    // Connects n clients; started ones report through logs[i].
    void Connect(size_t n, bool start = true) {
        for (size_t i = 0; i < n; ++i) {
            clients.push_back(ConnectToEndpoint(endpoint.Name()));
            ASSERT_NE(clients.back(), nullptr);
            logs.push_back(std::make_unique<TClientLog>(ui));
            if (start) clients.back()->Start(logs.back()->Events());
        }
        ASSERT_TRUE(ui.Until([&] { return server.connected.size() >= clients.size(); }));
    }
};

TEST(ControlEndpoint, BytesGoBothWaysWithSeveralClientsAndReportsRunOnTheUiThread) {
    TSetup s;
    s.Connect(3);
    for (size_t i = 0; i < s.clients.size(); ++i)
        s.clients[i]->Send("from " + std::to_string(i) + "\n");
    ASSERT_TRUE(s.ui.Until([&] {
        size_t lines = 0;
        for (const auto& [c, b] : s.server.received)
            lines += std::count(b.begin(), b.end(), '\n');
        return lines == 3;
    }));
    std::set<std::string> got;
    for (const auto& [c, b] : s.server.received) {
        got.insert(b);
        EXPECT_FALSE(s.server.peers[c].Who.empty());
        ASSERT_TRUE(s.listener->Send(c, "to " + b));  // each client hears back its own line
    }
    EXPECT_EQ(got, (std::set<std::string>{"from 0\n", "from 1\n", "from 2\n"}));
    for (size_t i = 0; i < s.clients.size(); ++i) {
        const std::string want = "to from " + std::to_string(i) + "\n";
        EXPECT_TRUE(s.ui.Until([&] { return s.logs[i]->received.size() >= want.size(); }));
        EXPECT_EQ(s.logs[i]->received, want);
    }
    EXPECT_FALSE(s.ui.elsewhere);
    EXPECT_EQ(std::set<int>(s.server.connected.begin(), s.server.connected.end()).size(), 3u);  // numbers differ
}

TEST(ControlEndpoint, EndsAreReportedOnTheOtherSide) {
    const struct {
        const char* name;
        void (*end)(TSetup& s, int first);  // ends the first of two clients' connections
        bool serverGone;                    // the listener reports the first client Gone
        bool clientGone;                    // the first connection reports Gone
    } cases[] = {
        {"a client that closes is gone for the listener", [](TSetup& s, int) { s.clients[0].reset(); }, true, false},
        {"a listener that goes is gone for its clients", [](TSetup& s, int) { s.listener.reset(); }, false, true},
        {"a dropped client hears the end; the listener reports none",
         [](TSetup& s, int first) {
             s.listener->Drop(first);
             EXPECT_FALSE(s.listener->Send(first, "late"));
         },
         false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSetup s;
        s.Connect(2);
        const int first = s.server.connected[0];
        // Rights are settled with the first bytes (Windows): a client that has sent some ends as well.
        s.clients[0]->Send("x");
        ASSERT_TRUE(s.ui.Until([&] { return s.server.received.contains(first); }));
        c.end(s, first);
        EXPECT_TRUE(s.ui.Until([&] { return c.serverGone ? !s.server.gone.empty() : s.logs[0]->gone == 1; }));
        s.ui.loop.RunFor(100ms);  // nothing more comes
        EXPECT_EQ(s.server.gone, c.serverGone ? std::vector<int>{first} : std::vector<int>{});
        EXPECT_EQ(s.logs[0]->gone, c.clientGone ? 1 : 0);
        EXPECT_EQ(s.logs[1]->gone, s.listener ? 0 : 1);
    }
}

// Reports already posted when their owner goes must not run: they would reach a panel or service that
// no longer exists.
TEST(ControlEndpoint, NoReportRunsAfterItsOwnerIsGone) {
    TSetup s;
    s.Connect(1);
    const int client = s.server.connected[0];
    s.clients[0]->Send("for a listener about to go");
    ASSERT_TRUE(s.listener->Send(client, "for a connection about to go"));
    std::this_thread::sleep_for(100ms);  // the I/O threads post meanwhile; the loop runs none of it
    s.listener.reset();
    s.clients[0].reset();
    s.ui.loop.RunFor(100ms);
    EXPECT_TRUE(s.server.received.empty());
    EXPECT_TRUE(s.server.gone.empty());
    EXPECT_EQ(s.logs[0]->received, "");
    EXPECT_EQ(s.logs[0]->gone, 0);
}

TEST(ControlEndpoint, ReadBeforeStartServesTheHandshake) {
    TSetup s;
    s.Connect(1, false);
    auto& client = *s.clients[0];
    EXPECT_EQ(client.Read(50ms), "");
    ASSERT_TRUE(s.listener->Send(s.server.connected[0], "welcome\n"));
    std::string got;
    for (int i = 0; i < 20 && got.size() < 8; ++i)
        got += client.Read(100ms);
    EXPECT_EQ(got, "welcome\n");
    s.listener.reset();
    EXPECT_THROW(for (int i = 0; i < 20; ++i) client.Read(100ms), EControl);
}

TEST(ControlEndpoint, OneListenerPerEndpoint) {
    TUi ui;
    TTestEndpoint endpoint;
    EXPECT_EQ(ConnectToEndpoint(endpoint.Name()), nullptr);  // nothing listens yet
    auto first = ListenOnEndpoint(endpoint.Name(), {});
    EXPECT_THROW(ListenOnEndpoint(endpoint.Name(), {}), EControl);
    first.reset();
    TServerLog server{ui};
    auto second = ListenOnEndpoint(endpoint.Name(), server.Events());
    auto client = ConnectToEndpoint(endpoint.Name());
    ASSERT_NE(client, nullptr);
    EXPECT_TRUE(ui.Until([&] { return server.connected.size() == 1; }));
}

TEST(ControlEndpoint, A17thClientIsClosedAtOnce) {
    TSetup s;
    s.Connect(16);
    auto extra = ConnectToEndpoint(s.endpoint.Name());
    ASSERT_NE(extra, nullptr);
    EXPECT_THROW(for (int i = 0; i < 20; ++i) extra->Read(100ms), EControl);
    s.ui.loop.RunFor(50ms);
    EXPECT_EQ(s.server.connected.size(), 16u);
}

// A client that reads nothing fills its buffers; the service's Send must then say so at once rather than
// wait for it, or one stalled panel would hold up the service's loop.
TEST(ControlEndpoint, SendToAStalledClientFailsInsteadOfBlocking) {
    TSetup s;
    s.Connect(1, false);
    const std::string chunk(4096, 'z');
    const auto started = std::chrono::steady_clock::now();
    size_t sent = 0;
    while (sent < (64u << 20) && s.listener->Send(s.server.connected[0], chunk))
        sent += chunk.size();
    EXPECT_LT(sent, 64u << 20) << "Send never refused";
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

}  // namespace
}  // namespace tamberline
