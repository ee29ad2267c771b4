// The operating system's requests that the program end (on POSIX SIGTERM at log-out or shut-down,
// SIGINT from a terminal, SIGHUP when the terminal goes; on Windows the console's control events),
// handed to the UI thread as one call, so the program ends through its ordinary close steps instead
// of dying with its settings unwritten.
#pragma once

#include <functional>
#include <memory>

namespace tamberline {

class TEndRequests {
  public:
    virtual ~TEndRequests() = default;  // stops listening and restores the previous handling
};

// Starts listening; every request runs `onEnd` on the UI thread through the serial delivery's UI
// poster (serial/delivery.h), never inside a signal handler. One listener per process.
// Throws std::system_error when the system cannot set it up.
std::unique_ptr<TEndRequests> ListenForEndRequests(std::function<void()> onEnd);

}  // namespace tamberline
