// A panel's end of the control endpoint: the hand-shake with the service, commands out, and what the
// service says, taken apart, as calls on the UI thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "control/endpoint.h"
#include "control/protocol.h"

namespace tamberline {

struct TServiceLinkEvents {
    std::function<void(const TStatus&)> Status;
    std::function<void(const TResult&)> Result;
    std::function<void(const TErrorNote&)> Error;
    // The service closed the link, went away, or said something that makes no sense (the link is then
    // closed from here): nothing more comes.
    std::function<void()> Gone;
};

class TServiceLink {
  public:
    // Connects and says hello. Nothing when no service answers with its welcome and state within `wait`
    // (none listens, it stays silent, or its answer makes no sense).
    static std::unique_ptr<TServiceLink> Attach(const std::string& endpoint, std::chrono::milliseconds wait);

    const TWelcome& Welcome() const { return welcome_; }
    const TStatus& FirstStatus() const { return first_; }

    // From now on what the service says comes as events on the UI thread.
    void Start(TServiceLinkEvents events);
    // Sends a command under the next id and returns it; throws EControl when the service is gone.
    uint32_t Send(TCommand c);

  private:
    TServiceLink() = default;
    void Received(const std::string& bytes);

    std::unique_ptr<TEndpointConnection> connection_;
    TMessageReader reader_;
    TWelcome welcome_;
    TStatus first_;
    TServiceLinkEvents events_;
    uint32_t nextId_ = 1;
    bool gone_ = false;
};

}  // namespace tamberline
