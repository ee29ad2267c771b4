// Timer1: the one-shot second tick, armed to fire at an absolute monotonic instant so that the
// moment the PC clock is set is accurate to well under a millisecond.
#pragma once

#include <functional>
#include <memory>

#include "device/timer1.h"

namespace tamberline {

class TOsTimer;
struct TPreciseTimerLink;

// Expiries are handed to the UI thread through the poster the serial event thread uses
// (serial/delivery.h), so one SetUiPoster binds both to an event loop, on every system alike.
class TPreciseTimer : public TTimer1 {
  public:
    // throws std::system_error when the OS has no timer to give. `precise` false: a timer for checks
    // that need no sub-millisecond accuracy, which then wakes on time instead of early and spinning.
    explicit TPreciseTimer(bool precise = true);
    ~TPreciseTimer() override;
    TPreciseTimer(const TPreciseTimer&) = delete;
    TPreciseTimer& operator=(const TPreciseTimer&) = delete;

    void SetInterval(uint32_t ms, TMonoTime from) override;
    void SetEnabled(bool on, TMonoTime from) override;
    uint32_t Interval() const override { return interval_; }
    bool Enabled() const override { return enabled_; }

    // Runs on the UI thread at the due instant (the last stretch is waited out there, to the
    // microsecond). Left enabled, the timer repeats every Interval() ms.
    std::function<void()> OnTimer;
    // The instant the countdown now being served by OnTimer was due (not when it was noticed).
    TMonoTime FiredDue() const { return firedDue_; }

  private:
    void Arm(TMonoTime from);
    void WakeForDue();
    void Expired();  // on the UI thread
    std::chrono::nanoseconds Period() const;

    // The OS wakes its thread this much before the due instant (wake-up from idle, scheduling and
    // the hand-over to the UI thread take 50..300 µs); Expired waits out the rest on the CPU.
    static constexpr std::chrono::microseconds kEarlyWake{300};

    std::chrono::microseconds earlyWake_;
    std::shared_ptr<TPreciseTimerLink> link_;
    std::unique_ptr<TOsTimer> os_;
    uint32_t interval_ = 1000;  // ms; the window layout's value until the first time frame
    bool enabled_ = false;
    TMonoTime due_{};  // when the running countdown ends
    TMonoTime firedDue_{};
    unsigned armCount_ = 0;  // tells Expired whether OnTimer re-armed or stopped the timer itself
};

// Asks the kernel to wake this thread's timers without slack (1 ns instead of 50 µs). Threads
// started afterwards (the port's event thread) inherit it: call it first thing in main().
void UseFineTimerSlack();

// Asks the scheduler for a short time slice (1 ms) for this thread and the threads it starts
// later, so that a woken tick preempts busy programs at once instead of after their slice (ms).
// Needs no privilege; kernels that do not know the request leave things as they were (false).
bool UseShortSchedulerSlice();

// Raises this thread's and its later threads' scheduling priority (nice -10) so that a tick due
// while other programs keep every CPU busy wakes at once instead of a time slice (ms) later. Needs
// the right to do so (root or CAP_SYS_NICE, which a program allowed to set the clock usually has);
// without it nothing changes (false). The program is idle but for a few microseconds a second.
bool UseRaisedPriority();

}  // namespace tamberline
