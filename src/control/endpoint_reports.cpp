#include "control/endpoint_reports.h"

#include "serial/delivery.h"

namespace tamberline {

TListenerReports::TListenerReports(TListenerEvents events) : state_(std::make_shared<TState>()) {
    state_->Events = std::move(events);
}

void TListenerReports::Connected(int client) const {
    CurrentUiPoster()([s = state_, client] {
        if (s->Alive && !s->Dropped.contains(client) && s->Events.Connected) s->Events.Connected(client);
    });
}

void TListenerReports::Received(int client, const TPeer& peer, std::string bytes) const {
    CurrentUiPoster()([s = state_, client, peer, bytes = std::move(bytes)] {
        if (s->Alive && !s->Dropped.contains(client) && s->Events.Received) s->Events.Received(client, peer, bytes);
    });
}

void TListenerReports::Gone(int client) const {
    CurrentUiPoster()([s = state_, client] {
        // The last report of that client: a dropped one leaves the set here.
        if (s->Dropped.erase(client) != 0) return;
        if (s->Alive && s->Events.Gone) s->Events.Gone(client);
    });
}

void TListenerReports::Drop(int client) const {
    state_->Dropped.insert(client);
}

void TListenerReports::Close() const {
    state_->Alive = false;
}

void TConnectionReports::Start(TConnectionEvents events) {
    auto s = std::make_shared<TState>();
    s->Events = std::move(events);
    state_ = std::move(s);
}

void TConnectionReports::Received(std::string bytes) const {
    CurrentUiPoster()([s = state_, bytes = std::move(bytes)] {
        if (s->Alive && s->Events.Received) s->Events.Received(bytes);
    });
}

void TConnectionReports::Gone() const {
    CurrentUiPoster()([s = state_] {
        if (s->Alive && s->Events.Gone) s->Events.Gone();
    });
}

void TConnectionReports::Close() const {
    if (state_) state_->Alive = false;
}

}  // namespace tamberline
