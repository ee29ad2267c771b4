#include <windows.h>
// needs windows.h first
#include <timeapi.h>

#include <system_error>
#include <thread>

#include "clock/os_timer.h"
#include "clock/precise_timer.h"

// Older MinGW headers lack the flag (Windows 10 1803 and later).
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace tamberline {
namespace {

// A high-resolution waitable timer, and an event to stop the thread that waits for both. Where the
// flag is refused, a plain waitable timer with the system's timer period raised to 1 ms.
class TWin32OsTimer : public TOsTimer {
  public:
    explicit TWin32OsTimer(std::function<void()> onExpiry) : onExpiry_(std::move(onExpiry)) {
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        if (!timer_) {
            timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
            if (timer_) coarse_ = timeBeginPeriod(1) == TIMERR_NOERROR;
        }
        if (!timer_)
            throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "waitable timer");
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!stop_) {
            const int e = static_cast<int>(GetLastError());
            CloseHandle(timer_);
            throw std::system_error(e, std::system_category(), "CreateEventW");
        }
        thread_ = std::thread([this] { Run(); });
    }

    ~TWin32OsTimer() override {
        SetEvent(stop_);
        thread_.join();
        CloseHandle(stop_);
        CloseHandle(timer_);
        if (coarse_) timeEndPeriod(1);
    }

    // The due time is relative (negative, 100 ns units): relative waits run on the monotonic interrupt
    // time, while absolute ones follow the wall clock, which this program itself sets.
    void WakeAt(TMonoTime instant) override {
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(instant - std::chrono::steady_clock::now());
        LARGE_INTEGER due;
        due.QuadPart = -std::max<long long>(left.count() / 100, 1);
        SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE);
    }

    void Cancel() override { CancelWaitableTimer(timer_); }

  private:
    void Run() {
        // The thread sleeps but for a few microseconds a second; its wake-up is what the tick waits for.
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
        const HANDLE handles[2] = {stop_, timer_};
        for (;;) {
            const DWORD r = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
            if (r != WAIT_OBJECT_0 + 1) return;
            onExpiry_();
        }
    }

    std::function<void()> onExpiry_;
    HANDLE timer_ = nullptr, stop_ = nullptr;
    bool coarse_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<TOsTimer> CreateOsTimer(std::function<void()> onExpiry) {
    return std::make_unique<TWin32OsTimer>(std::move(onExpiry));
}

// Windows timers have no slack to tune; the high-resolution timer is as fine as it gets.
void UseFineTimerSlack() {}

// The scheduler's quantum is the system's, not a process's.
bool UseShortSchedulerSlice() {
    return false;
}

// A priority class covers every thread of the process, those started later included.
bool UseRaisedPriority() {
    return SetPriorityClass(GetCurrentProcess(), ABOVE_NORMAL_PRIORITY_CLASS) != 0;
}

}  // namespace tamberline
