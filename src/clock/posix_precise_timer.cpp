#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "clock/precise_timer.h"

namespace tamberline {

namespace {

timespec ToTimespec(std::chrono::nanoseconds ns) {
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(ns);
    return {static_cast<time_t>(secs.count()), static_cast<long>((ns - secs).count())};
}

}  // namespace

TPreciseTimer::TPreciseTimer(bool precise) : earlyWake_(precise ? kEarlyWake : std::chrono::microseconds(0)) {
    // steady_clock is CLOCK_MONOTONIC, so TMonoTime stamps are absolute times on this fd's clock.
    fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "timerfd_create");
}

TPreciseTimer::~TPreciseTimer() {
    close(fd_);
}

void TPreciseTimer::SetInterval(uint32_t ms, TMonoTime from) {
    if (ms == interval_) return;
    interval_ = ms;
    if (enabled_) Arm(from);
}

void TPreciseTimer::SetEnabled(bool on, TMonoTime from) {
    if (on == enabled_) return;
    enabled_ = on;
    if (on)
        Arm(from);
    else
        Disarm();
}

std::chrono::nanoseconds TPreciseTimer::Period() const {
    // A zero interval fires at once and then, if left enabled, every ms rather than in a tight loop.
    return std::chrono::milliseconds(std::max<uint32_t>(interval_, 1));
}

void TPreciseTimer::Arm(TMonoTime from) {
    due_ = from + std::chrono::milliseconds(interval_);
    itimerspec spec{};
    const auto wake = due_.time_since_epoch() - earlyWake_;
    // A zero it_value would disarm: an instant at or before the clock's origin means "now" here.
    spec.it_value = wake.count() > 0 ? ToTimespec(wake) : timespec{0, 1};
    spec.it_interval = ToTimespec(Period());
    timerfd_settime(fd_, TFD_TIMER_ABSTIME, &spec, nullptr);
}

void TPreciseTimer::Disarm() {
    const itimerspec off{};
    timerfd_settime(fd_, 0, &off, nullptr);
    uint64_t expirations = 0;
    // Drop an expiry that came before the disarm, so a loop does not wake for it.
    while (read(fd_, &expirations, sizeof expirations) > 0) {
    }
}

void TPreciseTimer::OnReadable() {
    uint64_t expirations = 0;
    if (read(fd_, &expirations, sizeof expirations) != sizeof expirations || !enabled_) return;
    // The wake-up came earlyWake_ ahead; the last stretch is waited out here, to the microsecond.
    while (std::chrono::steady_clock::now() < due_) {
    }
    due_ += Period() * expirations;
    if (OnTimer) OnTimer();
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
