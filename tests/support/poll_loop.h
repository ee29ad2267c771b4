// A plain event loop for tests and benchmarks: stands in for the UI thread's message loop.
// It runs on the thread that calls Run*; Post() may be called from any thread.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "serial/delivery.h"

namespace tamberline {

class TPollLoop {
  public:
    TPollLoop();
    ~TPollLoop();
    TPollLoop(const TPollLoop&) = delete;
    TPollLoop& operator=(const TPollLoop&) = delete;

    void Post(std::function<void()> fn);
    void Watch(int fd, std::function<void()> onReadable);
    void Unwatch(int fd);
    void RunFor(std::chrono::milliseconds d);
    // Runs until done() is true (checked after every callback) or the time runs out; returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Binds the delivery hook to this loop.
    TUiPoster Poster();

  private:
    void RunOnce(std::chrono::steady_clock::time_point deadline);
    int wake_;
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    std::map<int, std::function<void()>> watched_;
};

}  // namespace tamberline
