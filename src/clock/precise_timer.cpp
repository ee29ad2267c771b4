#include "clock/precise_timer.h"

#include <algorithm>

#include "clock/os_timer.h"
#include "serial/delivery.h"

namespace tamberline {

// Expiries posted to the UI thread may run after the timer is gone; they find Timer null then.
// Only the UI thread reads or writes it.
struct TPreciseTimerLink {
    TPreciseTimer* Timer = nullptr;
};

TPreciseTimer::TPreciseTimer(bool precise)
    : earlyWake_(precise ? kEarlyWake : std::chrono::microseconds(0)), link_(std::make_shared<TPreciseTimerLink>()) {
    link_->Timer = this;
    os_ = CreateOsTimer([link = link_] {
        CurrentUiPoster()([link] {
            if (link->Timer) link->Timer->Expired();
        });
    });
}

TPreciseTimer::~TPreciseTimer() {
    os_.reset();
    link_->Timer = nullptr;
}

void TPreciseTimer::SetInterval(uint32_t ms, TMonoTime from) {
    if (ms == interval_) return;
    interval_ = ms;
    if (enabled_) Arm(from);
}

void TPreciseTimer::SetEnabled(bool on, TMonoTime from) {
    if (on == enabled_) return;
    enabled_ = on;
    ++armCount_;
    if (on)
        Arm(from);
    else
        os_->Cancel();
}

std::chrono::nanoseconds TPreciseTimer::Period() const {
    // A zero interval fires at once and then, if left enabled, every ms rather than in a tight loop.
    return std::chrono::milliseconds(std::max<uint32_t>(interval_, 1));
}

void TPreciseTimer::Arm(TMonoTime from) {
    ++armCount_;
    due_ = from + std::chrono::milliseconds(interval_);
    WakeForDue();
}

void TPreciseTimer::WakeForDue() {
    os_->WakeAt(due_ - earlyWake_);
}

void TPreciseTimer::Expired() {
    if (!enabled_) return;  // disabled since the wake-up was posted
    // Woken for a countdown that was restarted since, or by a coarse OS timer ahead of time: wait
    // for the due instant again rather than spin through the rest of it.
    if (due_ - std::chrono::steady_clock::now() > earlyWake_ + std::chrono::milliseconds(1)) {
        WakeForDue();
        return;
    }
    while (std::chrono::steady_clock::now() < due_) {
    }
    firedDue_ = due_;
    due_ += Period();
    const unsigned before = armCount_;
    if (OnTimer) OnTimer();
    if (enabled_ && armCount_ == before) WakeForDue();
}

}  // namespace tamberline
