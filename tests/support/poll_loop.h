// A plain event loop for tests and benchmarks: stands in for the UI thread's message loop.
// It runs on the thread that calls Run*; Post() may be called from any thread. Bound with
// SetUiPoster(loop.Poster()), it receives both the port's reports and Timer1's expiries.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "serial/delivery.h"

namespace tamberline {

class TPollLoop {
  public:
    TPollLoop() = default;
    TPollLoop(const TPollLoop&) = delete;
    TPollLoop& operator=(const TPollLoop&) = delete;

    void Post(std::function<void()> fn);
    void RunFor(std::chrono::milliseconds d);
    // Runs until done() is true (checked after every callback) or the time runs out; returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Binds the delivery hook to this loop.
    TUiPoster Poster();

  private:
    void RunOnce(std::chrono::steady_clock::time_point deadline);
    std::mutex mutex_;
    std::condition_variable posted_cv_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace tamberline
