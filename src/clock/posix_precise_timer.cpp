#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "clock/os_timer.h"
#include "clock/precise_timer.h"

namespace tamberline {

namespace {

timespec ToTimespec(std::chrono::nanoseconds ns) {
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(ns);
    return {static_cast<time_t>(secs.count()), static_cast<long>((ns - secs).count())};
}

// timerfd for the countdown, an eventfd to stop the thread that waits for both.
class TPosixOsTimer : public TOsTimer {
  public:
    explicit TPosixOsTimer(std::function<void()> onExpiry) : onExpiry_(std::move(onExpiry)) {
        // steady_clock is CLOCK_MONOTONIC, so TMonoTime stamps are absolute times on this fd's clock.
        timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (timer_ < 0) throw std::system_error(errno, std::generic_category(), "timerfd_create");
        stop_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (stop_ < 0) {
            close(timer_);
            throw std::system_error(errno, std::generic_category(), "eventfd");
        }
        thread_ = std::thread([this] { Run(); });
    }

    ~TPosixOsTimer() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t w = write(stop_, &one, sizeof one);
        thread_.join();
        close(stop_);
        close(timer_);
    }

    void WakeAt(TMonoTime instant) override {
        itimerspec spec{};
        const auto at = instant.time_since_epoch();
        // A zero it_value would disarm: an instant at or before the clock's origin means "now" here.
        spec.it_value = at.count() > 0 ? ToTimespec(at) : timespec{0, 1};
        timerfd_settime(timer_, TFD_TIMER_ABSTIME, &spec, nullptr);
    }

    void Cancel() override {
        const itimerspec off{};
        timerfd_settime(timer_, 0, &off, nullptr);
    }

  private:
    void Run() {
        pollfd fds[2] = {{timer_, POLLIN, 0}, {stop_, POLLIN, 0}};
        for (;;) {
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents) return;
            uint64_t expirations = 0;
            // Nothing to read: the countdown was cancelled or moved after the wake-up.
            if (read(timer_, &expirations, sizeof expirations) == sizeof expirations) onExpiry_();
        }
    }

    std::function<void()> onExpiry_;
    int timer_ = -1, stop_ = -1;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<TOsTimer> CreateOsTimer(std::function<void()> onExpiry) {
    return std::make_unique<TPosixOsTimer>(std::move(onExpiry));
}

void UseFineTimerSlack() {
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
}

namespace {

// The kernel's sched_setattr record (no libc wrapper on older systems).
struct TSchedAttr {
    uint32_t size;
    uint32_t policy;
    uint64_t flags;
    int32_t nice;
    uint32_t priority;
    uint64_t runtime, deadline, period;  // ns; for normal threads runtime is the slice wanted
};

}  // namespace

bool UseShortSchedulerSlice() {
    TSchedAttr attr{};
    attr.size = sizeof attr;
    attr.policy = SCHED_OTHER;
    // 1 ms (ns): shorter than the default slice, so a woken tick preempts busy programs, and long
    // enough for the tick's last stretch (kEarlyWake) and its work to run in one piece.
    attr.runtime = 1000000;
    return syscall(SYS_sched_setattr, 0, &attr, 0) == 0;
}

bool UseRaisedPriority() {
    return setpriority(PRIO_PROCESS, 0, -10) == 0;
}

}  // namespace tamberline
