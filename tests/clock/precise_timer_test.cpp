// Timer1: when it fires (on the loop's thread), which changes restart it, and that a tick disarms it.
#include <gtest/gtest.h>

#include <thread>

#include "clock/precise_timer.h"
#include "serial/posted_loop.h"

namespace tamberline {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Runs the loop up to `limit` or until the timer has fired once more; false when it did not.
bool WaitFire(TPostedLoop& loop, const int& fired, milliseconds limit) {
    const int before = fired;
    return loop.RunUntil([&] { return fired > before; }, limit);
}

// Times in ms from the start instant t0. The timer is armed with `ms` from `armAt`; then, when
// `againAt` >= 0, SetInterval(`again`) and SetEnabled(true) come with instant `againAt`.
struct Case {
    const char* name;
    int armAt;
    uint32_t ms;
    int againAt;
    uint32_t again;
    bool disable;
    int wantMs;  // -1: must not fire within 300 ms
};

TEST(PreciseTimer, FiresAtTheArmedInstant) {
    const Case cases[] = {
        {"counts from the given instant, not the call", -100, 200, -1, 0, false, 100},
        {"different interval restarts", 0, 50, 0, 120, false, 120},
        {"equal interval leaves the countdown alone", 0, 100, 80, 100, false, 100},
        {"disabled timer does not fire", 0, 30, -1, 0, true, -1},
        {"instant already past fires at once", -500, 10, -1, 0, false, 0},
    };
    TPostedLoop loop;
    SetUiPoster(loop.Poster());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TPreciseTimer timer;
        int fired = 0;
        Clock::time_point firedAt{};
        std::thread::id firedOn;
        timer.OnTimer = [&] {
            ++fired, firedAt = Clock::now(), firedOn = std::this_thread::get_id();
            timer.SetEnabled(false, firedAt);
        };
        const auto t0 = Clock::now();
        timer.SetInterval(c.ms, t0 + milliseconds(c.armAt));
        timer.SetEnabled(true, t0 + milliseconds(c.armAt));
        if (c.againAt >= 0) {
            timer.SetInterval(c.again, t0 + milliseconds(c.againAt));
            timer.SetEnabled(true, t0 + milliseconds(c.againAt));
        }
        if (c.disable) timer.SetEnabled(false, t0);
        WaitFire(loop, fired, milliseconds(300));
        if (c.wantMs < 0) {
            EXPECT_EQ(fired, 0);
            continue;
        }
        ASSERT_EQ(fired, 1);
        EXPECT_EQ(firedOn, std::this_thread::get_id());  // the loop's thread, not the timer's
        const auto late =
            std::chrono::duration_cast<std::chrono::microseconds>(firedAt - (t0 + milliseconds(c.wantMs)));
        EXPECT_GE(late.count(), 0);
        // A wrong countdown fires 80 ms late or more (or early); the bound leaves room for a loaded
        // machine (and wine).
        EXPECT_LT(late.count(), 60000);
        EXPECT_FALSE(timer.Enabled());
        EXPECT_FALSE(WaitFire(loop, fired, milliseconds(150)));  // the tick disarmed it
    }
    SetUiPoster(nullptr);
}

}  // namespace
}  // namespace tamberline
