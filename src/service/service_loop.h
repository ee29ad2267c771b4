// The headless program's event loop, in place of the window's message loop: runs what the port's
// event thread, the timers and the end requests post through the UI poster, one at a time on the
// thread that calls Run.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "serial/delivery.h"

namespace tamberline {

class TServiceLoop {
  public:
    TServiceLoop() = default;
    TServiceLoop(const TServiceLoop&) = delete;
    TServiceLoop& operator=(const TServiceLoop&) = delete;

    TUiPoster Poster();  // for SetUiPoster; callable from any thread
    // Until Quit. An error escaping a step goes to the application's error handler, and the loop goes
    // on with the next step, as the window's does.
    void Run();
    void Quit() { running_ = false; }

  private:
    void Post(std::function<void()> fn);

    bool running_ = false;  // only touched on the loop's own thread
    std::mutex mutex_;
    std::condition_variable posted_cv_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace tamberline
