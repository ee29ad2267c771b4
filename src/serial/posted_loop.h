// A plain event loop on the thread that runs it, for programs without a window (the service, the
// probe, benchmarks, tests): it runs what the port's event thread, the timers and the end requests
// post through the UI poster, one at a time and in order. Bound with SetUiPoster(loop.Poster()).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "serial/delivery.h"

namespace tamberline {

class TPostedLoop {
  public:
    TPostedLoop() = default;
    TPostedLoop(const TPostedLoop&) = delete;
    TPostedLoop& operator=(const TPostedLoop&) = delete;

    void Post(std::function<void()> fn);  // from any thread
    TUiPoster Poster();
    // Until a step calls Quit. A step's error leaves the loop; the steps after it stay queued.
    void Run();
    void Quit() { quit_ = true; }
    void RunFor(std::chrono::milliseconds d);
    // Runs until done() is true (checked after every step) or the time runs out; returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  private:
    using TClock = std::chrono::steady_clock;
    void RunPosted(TClock::time_point deadline);  // what is queued, after waiting for it until deadline

    bool quit_ = false;  // only touched on the loop's own thread
    std::mutex mutex_;
    std::condition_variable posted_cv_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace tamberline
