// Timer1 on timerfd: when it fires, which changes restart it, and that a tick disarms it.
#include <gtest/gtest.h>
#include <poll.h>

#include "clock/precise_timer.h"

namespace tamberline {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Waits for the timer fd up to `limit` and hands the expiry to the timer; false when none came.
bool WaitFire(TPreciseTimer& t, milliseconds limit) {
    pollfd p{t.Fd(), POLLIN, 0};
    if (poll(&p, 1, int(limit.count())) != 1) return false;
    t.OnReadable();
    return true;
}

struct Case {
    const char* name;
    std::function<void(TPreciseTimer&, Clock::time_point)> act;
    int wantMs;  // from the start instant; -1: must not fire within 300 ms
};

TEST(PreciseTimer, FiresAtTheArmedInstant) {
    const Case cases[] = {
        {"counts from the given instant, not the call",
         [](TPreciseTimer& t, Clock::time_point t0) {
             t.SetInterval(100, t0 - milliseconds(40));
             t.SetEnabled(true, t0 - milliseconds(40));
         },
         60},
        {"different interval restarts",
         [](TPreciseTimer& t, Clock::time_point t0) {
             t.SetInterval(50, t0);
             t.SetEnabled(true, t0);
             t.SetInterval(120, t0);
         },
         120},
        {"equal interval leaves the countdown alone",
         [](TPreciseTimer& t, Clock::time_point t0) {
             t.SetInterval(80, t0);
             t.SetEnabled(true, t0);
             t.SetInterval(80, t0 + milliseconds(50));
             t.SetEnabled(true, t0 + milliseconds(50));
         },
         80},
        {"disabled timer does not fire",
         [](TPreciseTimer& t, Clock::time_point t0) {
             t.SetInterval(30, t0);
             t.SetEnabled(true, t0);
             t.SetEnabled(false, t0);
         },
         -1},
        {"instant already past fires at once",
         [](TPreciseTimer& t, Clock::time_point t0) {
             t.SetInterval(10, t0 - milliseconds(500));
             t.SetEnabled(true, t0 - milliseconds(500));
         },
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TPreciseTimer timer;
        int fired = 0;
        Clock::time_point firedAt{};
        timer.OnTimer = [&] {
            ++fired, firedAt = Clock::now();
            timer.SetEnabled(false, firedAt);
        };
        const auto t0 = Clock::now();
        c.act(timer, t0);
        WaitFire(timer, milliseconds(300));
        if (c.wantMs < 0) {
            EXPECT_EQ(fired, 0);
            continue;
        }
        ASSERT_EQ(fired, 1);
        const auto late =
            std::chrono::duration_cast<std::chrono::microseconds>(firedAt - (t0 + milliseconds(c.wantMs)));
        EXPECT_GE(late.count(), 0);
        EXPECT_LT(late.count(), 5000);  // generous: shared build machines
        EXPECT_FALSE(timer.Enabled());
        EXPECT_FALSE(WaitFire(timer, milliseconds(150)));  // the tick disarmed it
    }
}

}  // namespace
}  // namespace tamberline
