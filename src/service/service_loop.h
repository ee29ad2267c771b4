// The headless program's event loop, in place of the window's message loop: runs what the port's
// event thread and the end requests post through the UI poster, and the timers' expiries, one at a
// time on the thread that calls Run. One implementation per OS.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "serial/delivery.h"

namespace tamberline {

class TServiceLoop {
  public:
    TServiceLoop();  // throws std::system_error when the system gives no wake-up descriptor
    ~TServiceLoop();
    TServiceLoop(const TServiceLoop&) = delete;
    TServiceLoop& operator=(const TServiceLoop&) = delete;

    TUiPoster Poster();  // for SetUiPoster; callable from any thread
    // `onReadable` runs whenever `fd` can be read (the timers' descriptors).
    void Watch(int fd, std::function<void()> onReadable);
    // Until Quit. An error escaping a step goes to the application's error handler, and the loop goes
    // on with the next step, as the window's does.
    void Run();
    void Quit() { running_ = false; }

  private:
    void Post(std::function<void()> fn);
    void RunPosted();

    int wake_ = -1;
    bool running_ = false;
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    std::map<int, std::function<void()>> watched_;
};

}  // namespace tamberline
