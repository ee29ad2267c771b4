// The system's requests to end the program reach the UI thread as a call, and leave the process's
// signal handling as it was once the listener is gone.
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "app/end_requests.h"
#include "support/poll_loop.h"

namespace tamberline {
namespace {

using namespace std::chrono_literals;

TEST(EndRequests, EachSignalBecomesOneCallOnTheUiThread) {
    TPollLoop loop;
    SetUiPoster(loop.Poster());
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        int calls = 0;
        std::thread::id on;
        {
            auto listener = ListenForEndRequests([&] {
                ++calls;
                on = std::this_thread::get_id();
            });
            raise(sig);
            EXPECT_TRUE(loop.RunUntil([&] { return calls > 0; }, 2s)) << sig;
            loop.RunFor(20ms);
        }
        EXPECT_EQ(calls, 1) << sig;
        EXPECT_EQ(on, std::this_thread::get_id()) << sig;
        struct sigaction now {};
        sigaction(sig, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << sig << ": the previous handling is back";
    }
    SetUiPoster(nullptr);
}

}  // namespace
}  // namespace tamberline
