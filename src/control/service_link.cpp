#include "control/service_link.h"

#include <cstdio>

namespace tamberline {

std::unique_ptr<TServiceLink> TServiceLink::Attach(const std::string& endpoint, std::chrono::milliseconds wait) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + wait;
    std::unique_ptr<TServiceLink> link(new TServiceLink);
    bool welcomed = false, stated = false;
    try {
        link->connection_ = ConnectToEndpoint(endpoint);
        if (!link->connection_) return nullptr;
        link->Send(TCommand{});  // hello
        while (!(welcomed && stated)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return nullptr;
            link->reader_.Feed(link->connection_->Read(left));
            while (!(welcomed && stated)) {
                auto m = link->reader_.Next();
                if (!m) break;
                const TServiceMessage sm = DecodeServiceMessage(*m);
                if (const auto* w = std::get_if<TWelcome>(&sm)) {
                    link->welcome_ = *w;
                    welcomed = true;
                } else if (const auto* s = std::get_if<TStatus>(&sm); s && welcomed) {
                    link->first_ = *s;
                    stated = true;
                }
            }
        }
    } catch (const EControl& e) {
        // A service that is there but cannot be reached is no service for this window.
        std::fprintf(stderr, "tamberline: %s\n", e.what());
        return nullptr;
    } catch (const EProtocol& e) {
        std::fprintf(stderr, "tamberline: the service's answer makes no sense: %s\n", e.what());
        return nullptr;
    }
    return link;
}

void TServiceLink::Start(TServiceLinkEvents events) {
    events_ = std::move(events);
    connection_->Start({[this](const std::string& bytes) { Received(bytes); },
                        [this] {
                            if (gone_) return;
                            gone_ = true;
                            if (events_.Gone) events_.Gone();
                        }});
    Received("");  // what came behind the hand-shake
}

uint32_t TServiceLink::Send(TCommand c) {
    if (gone_) throw EControl("the service is gone");
    c.Id = nextId_++;
    connection_->Send(Encode(c));
    return c.Id;
}

void TServiceLink::Received(const std::string& bytes) {
    if (gone_) return;
    reader_.Feed(bytes);
    try {
        while (auto m = reader_.Next()) {
            const TServiceMessage sm = DecodeServiceMessage(*m);
            if (const auto* s = std::get_if<TStatus>(&sm); s && events_.Status)
                events_.Status(*s);
            else if (const auto* r = std::get_if<TResult>(&sm); r && events_.Result)
                events_.Result(*r);
            else if (const auto* e = std::get_if<TErrorNote>(&sm); e && events_.Error)
                events_.Error(*e);
            if (gone_) return;  // an event's handler dropped the link
        }
    } catch (const EProtocol& e) {
        std::fprintf(stderr, "tamberline: the service said something that makes no sense: %s\n", e.what());
        gone_ = true;
        if (events_.Gone) events_.Gone();
    }
}

}  // namespace tamberline
