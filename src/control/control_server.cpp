#include "control/control_server.h"

#include <vector>

namespace tamberline {

std::string RefusalText() {
    return std::string("Команда отклонена: управлять прибором могут только члены группы «") + kControlGroup + "».";
}

TControlServer::~TControlServer() {
    listener_.reset();  // no report comes after this
}

void TControlServer::Listen(const std::string& endpoint) {
    TListenerEvents events;
    events.Connected = [this](int client) {
        TPanel& p = panels_[client];
        p.Since = std::chrono::steady_clock::now();
    };
    events.Received = [this](int client, const TPeer& peer, const std::string& bytes) {
        Received(client, peer, bytes);
    };
    events.Gone = [this](int client) {
        auto it = panels_.find(client);
        if (it == panels_.end()) return;
        if (it->second.Welcomed) log_("панель отключилась: " + it->second.Peer.Who);
        panels_.erase(it);
    };
    listener_ = ListenOnEndpoint(endpoint, std::move(events));
}

void TControlServer::Received(int client, const TPeer& peer, const std::string& bytes) {
    auto it = panels_.find(client);
    if (it == panels_.end()) return;
    TPanel& p = it->second;
    p.Peer = peer;
    const bool began = !p.Reader.MidMessage();
    p.Reader.Feed(bytes);
    try {
        while (auto m = p.Reader.Next()) {
            if (!Take(client, p, *m)) return;  // dropped meanwhile
        }
    } catch (const EProtocol& e) {
        Drop(client, e.what());
        return;
    }
    if (began && p.Welcomed) p.Since = std::chrono::steady_clock::now();
}

bool TControlServer::Take(int client, TPanel& p, const TMessage& m) {
    const TCommand c = DecodeCommand(m);
    if (c.Kind == TCommandKind::Hello) {
        if (p.Welcomed) throw EProtocol("второе приветствие");
        p.Welcomed = true;
        log_("панель подключилась: " + p.Peer.Who + (p.Peer.MayCommand ? " (может управлять)" : " (только смотрит)"));
        return SendTo(client, TWelcome{p.Peer.MayCommand}) && SendTo(client, handler_.Status());
    }
    if (!p.Welcomed) throw EProtocol("команда до приветствия");
    TResult r{c.Id, true, {}};
    if (!p.Peer.MayCommand) {
        log_("команда отклонена: " + p.Peer.Who + " не входит в группу " + kControlGroup);
        r = {c.Id, false, RefusalText()};
    } else {
        try {
            handler_.Execute(c);
        } catch (const std::exception& e) {
            r = {c.Id, false, e.what()};
        }
    }
    if (!SendTo(client, r)) return false;
    Publish();
    return panels_.count(client) != 0;
}

bool TControlServer::SendTo(int client, const TServiceMessage& m) {
    if (listener_->Send(client, Encode(m))) return true;
    Drop(client, "не читает, что ей шлют");
    return false;
}

void TControlServer::Drop(int client, const std::string& why) {
    auto it = panels_.find(client);
    if (it == panels_.end()) return;
    log_("панель отключена (" + it->second.Peer.Who + "): " + why);
    panels_.erase(it);
    listener_->Drop(client);
}

void TControlServer::Publish() {
    if (!listener_) return;
    std::string status = Encode(handler_.Status());
    if (status == lastStatus_) return;
    lastStatus_ = std::move(status);
    SendToAll(lastStatus_);
}

void TControlServer::Broadcast(const std::string& error) {
    if (listener_) SendToAll(Encode(TErrorNote{error}));
}

void TControlServer::SendToAll(const std::string& message) {
    std::vector<int> stalled;
    for (auto& [client, p] : panels_)
        if (p.Welcomed && !listener_->Send(client, message)) stalled.push_back(client);
    for (int client : stalled)
        Drop(client, "не читает, что ей шлют");
}

void TControlServer::Check(std::chrono::steady_clock::time_point now) {
    std::vector<int> stalled;
    for (auto& [client, p] : panels_)
        if ((!p.Welcomed || p.Reader.MidMessage()) && now - p.Since >= std::chrono::milliseconds(kStallLimitMs))
            stalled.push_back(client);
    for (int client : stalled)
        Drop(client, panels_[client].Welcomed ? "застряла посреди сообщения" : "не поздоровалась");
}

}  // namespace tamberline
