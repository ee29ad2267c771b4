// How the endpoint's I/O threads hand reports to the UI thread: through the UI poster, and only while
// the listener or connection that they belong to lives. Shared by both backends.
#pragma once

#include <atomic>
#include <memory>
#include <set>
#include <string>

#include "control/endpoint.h"

namespace tamberline {

// A report posted before the listener went (or before its client was dropped) may run on the UI thread
// after that; it finds the state closed then and does nothing. The events live in the shared state, so
// a late report never touches the listener itself.
class TListenerReports {
  public:
    explicit TListenerReports(TListenerEvents events);
    // I/O threads. Gone is posted for every client that ends, dropped ones too: the UI side swallows it.
    void Connected(int client) const;
    void Received(int client, const TPeer& peer, std::string bytes) const;
    void Gone(int client) const;
    // UI thread.
    void Drop(int client) const;  // its reports still on their way are swallowed
    void Close() const;           // nothing more runs

  private:
    struct TState {
        std::atomic<bool> Alive{true};
        TListenerEvents Events;
        std::set<int> Dropped;  // UI thread only; an entry leaves with the client's last report
    };
    std::shared_ptr<TState> state_;
};

class TConnectionReports {
  public:
    // Before the reader thread starts; the reports below come only after it.
    void Start(TConnectionEvents events);
    void Received(std::string bytes) const;
    void Gone() const;
    void Close() const;

  private:
    struct TState {
        std::atomic<bool> Alive{true};
        TConnectionEvents Events;
    };
    std::shared_ptr<TState> state_;
};

}  // namespace tamberline
