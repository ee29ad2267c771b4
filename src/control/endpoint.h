// The local endpoint between the service and its panels, as bytes both ways: the service listens, each
// panel connects. A Unix socket on POSIX, a named pipe on Windows. The system, not the panel, says who is
// at the other end and whether that user may give commands. Message framing lies above this unit.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tamberline {

// The endpoint's name: $TAMBERLINE_CONTROL when set (tests, a service run from the source tree), else the
// system's: "/run/tamberline/control" on POSIX, "\\.\pipe\tamberline" on Windows.
std::string ControlEndpoint();

// Users in this local group may give commands; everyone logged on locally may connect and watch.
inline const char* const kControlGroup = "tamberline";

// What the system says of the user behind a connection.
struct TPeer {
    bool MayCommand = false;  // a member of kControlGroup (on POSIX also root)
    std::string Who;          // for the log: "uid 1000 pid 4711", "DOMAIN\user"
};

// The endpoint cannot be made or reached; the message says why, with the system's reason.
class EControl : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Server side. Every report runs on the UI thread through the UI poster (serial/delivery.h), like the
// port's events, and never after the listener is gone. Client numbers are not reused within a run.
// The listener and a connection are made, used and destroyed on the UI thread: their reports' guard is
// checked there.
struct TListenerEvents {
    std::function<void(int client)> Connected;
    // Bytes as they came (any split); `peer` is settled before the first of them is reported (on Windows
    // the system names the client only once it has written).
    std::function<void(int client, const TPeer& peer, const std::string& bytes)> Received;
    std::function<void(int client)> Gone;  // it closed, or the connection broke
};

class TEndpointListener {
  public:
    // Closes every client and the endpoint (the socket file goes), and stops the I/O thread.
    virtual ~TEndpointListener() = default;
    // Hands the bytes to the system without waiting. false when the client cannot take them all now
    // (it stopped reading): the caller then drops it, as a half-sent message would corrupt the stream.
    // Also false for a client that is gone or dropped.
    virtual bool Send(int client, const std::string& bytes) = 0;
    // Closes that client; no Gone report follows.
    virtual void Drop(int client) = 0;
};

// Listens on `endpoint`. Throws EControl when it cannot: another service already listens there, or the
// system refuses (no right, no folder above the socket's own). A stale socket file of a service that
// died is replaced; anything there that is no socket is left alone and refused. POSIX makes the socket's
// own folder (0755) when it is missing. At most 16 clients at once: more are closed as they come.
std::unique_ptr<TEndpointListener> ListenOnEndpoint(const std::string& endpoint, TListenerEvents events);

// Client side: a connection to the service.
struct TConnectionEvents {
    std::function<void(const std::string& bytes)> Received;
    std::function<void()> Gone;  // the service closed it or went away
};

class TEndpointConnection {
  public:
    virtual ~TEndpointConnection() = default;  // closes; no report comes after
    // Writes all of it, waiting at most about a second; throws EControl when the service is gone or stalls.
    virtual void Send(const std::string& bytes) = 0;
    // Before Start only: the bytes that came within `timeout`, "" when none did; throws EControl when the
    // service closed the connection. For the hand-shake at start, before any event loop runs.
    virtual std::string Read(std::chrono::milliseconds timeout) = 0;
    // From now on what comes arrives as reports on the UI thread.
    virtual void Start(TConnectionEvents events) = 0;
};

// Connects at once (no waiting for a busy service beyond a few ms, 200 ms on Windows); nullptr when nothing
// listens there (no service installed, or it is stopped). Throws EControl for other failures, e.g. access
// refused, or a service too busy to take one more.
std::unique_ptr<TEndpointConnection> ConnectToEndpoint(const std::string& endpoint);

}  // namespace tamberline
