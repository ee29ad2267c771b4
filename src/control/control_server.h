// The service's end of the control endpoint: the attached panels, whether each may command, their
// messages taken apart, and the service's state pushed to all of them whenever it changes. A panel that
// sends nonsense, too much, or stalls mid-message is dropped, logged once; the others go on.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "control/endpoint.h"
#include "control/protocol.h"

namespace tamberline {

// What the server asks of the program that owns the device.
class TControlHandler {
  public:
    virtual ~TControlHandler() = default;
    virtual TStatus Status() = 0;
    // Carries out a command of a panel whose user may command. An error goes back to that panel, whose
    // error box shows its message.
    virtual void Execute(const TCommand& c) = 0;
};

// The refusal a panel shows when its user is not in the group.
std::string RefusalText();

class TControlServer {
  public:
    using TLog = std::function<void(const std::string& line)>;
    TControlServer(TControlHandler& handler, TLog log) : handler_(handler), log_(std::move(log)) {}
    ~TControlServer();

    // Throws EControl when the endpoint cannot be made.
    void Listen(const std::string& endpoint);
    // After each step of the service's work: the state goes to every panel when it changed.
    void Publish();
    // An error of the service's own work, for every panel's error box.
    void Broadcast(const std::string& error);
    // About once a second: drops panels that stall mid-message or say nothing after connecting.
    void Check(std::chrono::steady_clock::time_point now);
    size_t Panels() const { return panels_.size(); }

    // How long a panel may take to finish a message it began, or to say hello, ms.
    static constexpr int kStallLimitMs = 5000;

  private:
    struct TPanel {
        TMessageReader Reader;
        TPeer Peer;
        bool Welcomed = false;
        std::chrono::steady_clock::time_point Since;  // connected, or began the message it is sending
    };
    void Received(int client, const TPeer& peer, const std::string& bytes);
    // Each returns false when the panel was dropped meanwhile.
    bool Take(int client, TPanel& p, const TMessage& m);
    bool SendTo(int client, const TServiceMessage& m);
    void SendToAll(const std::string& message);  // every welcomed panel; one that cannot take it goes
    void Drop(int client, const std::string& why);

    TControlHandler& handler_;
    TLog log_;
    std::unique_ptr<TEndpointListener> listener_;
    std::map<int, TPanel> panels_;
    std::string lastStatus_;  // as last sent
};

}  // namespace tamberline
