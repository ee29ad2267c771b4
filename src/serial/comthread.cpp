#include "serial/comthread.h"

#include "serial/delivery.h"

namespace tamberline {

TComThread::TComThread(TCustomComPort& port, TComBackend& backend, TComEvents events, TSyncMethod sync)
    : port_(port), events_(events), sync_(sync), slot_(std::make_shared<TDeliverySlot>()) {
    int error = 0;
    waiter_ = backend.CreateEventWaiter(error);
    if (!waiter_) throw EComPort(1, error);
    slot_->Port = &port;
    thread_ = std::thread([this] { Run(); });
}

TComThread::~TComThread() {
    waiter_->Stop();
    {
        std::lock_guard lock(slot_->Mutex);
        slot_->Stopping = true;
    }
    slot_->Changed.notify_all();
    // A report may be on its way to the UI thread right now; handle it here (the port still counts as
    // open) rather than leave it for a take that would come after Close.
    Take(slot_);
    thread_.join();
    std::lock_guard lock(slot_->Mutex);
    slot_->Port = nullptr;
    slot_->Pending = false;
}

void TComThread::Run() {
    // Only arriving bytes can be seen through a readiness wait; the other kinds have no POSIX
    // equivalent that could be waited on together with the stop signal.
    const TComEvents reported = events_ & ComEventBit(evRxChar);
    bool gone = false;
    for (;;) {
        const TWaitResult r = waiter_->Wait(gone ? kGoneRecheckMs : -1);
        if (r == TWaitResult::Stopped) return;
        if (r == TWaitResult::DeviceGone) {
            // A vanished device would report at once on every wait; sleep on the stop signal instead.
            gone = true;
            gone_ = true;
            continue;
        }
        if (r == TWaitResult::TimedOut) {
            if (gone && waiter_->DevicePresent()) gone = gone_ = false;
            continue;
        }
        const TMonoTime seenAt = std::chrono::steady_clock::now();
        if (reported != 0) Dispatch(reported, seenAt);
    }
}

void TComThread::Dispatch(TComEvents events, TMonoTime seenAt) {
    if (sync_ == smNone) {
        while (port_.HandleEvents(events, seenAt))
            events = ComEventBit(evRxChar);
        return;
    }
    {
        std::lock_guard lock(slot_->Mutex);
        if (slot_->Stopping) return;
        slot_->Pending = true;
        slot_->Events = events;
        slot_->SeenAt = seenAt;
        slot_->LastSeen = seenAt;
    }
    Post(slot_);
    std::unique_lock lock(slot_->Mutex);
    // Window-style delivery goes on as soon as the report is taken; thread-style waits for the steps too.
    slot_->Changed.wait(lock, [&] {
        if (slot_->Stopping) return true;
        if (slot_->Pending) return false;
        return sync_ == smWindowSync || !slot_->Handling;
    });
}

void TComThread::Take(const std::shared_ptr<TDeliverySlot>& slot) {
    TCustomComPort* port = nullptr;
    TComEvents events = 0;
    TMonoTime seenAt{};
    {
        std::lock_guard lock(slot->Mutex);
        if (!slot->Pending || slot->Port == nullptr) return;
        slot->Pending = false;
        slot->Handling = true;
        port = slot->Port;
        events = slot->Events;
        seenAt = slot->SeenAt;
    }
    slot->Changed.notify_all();
    const bool again = port->HandleEvents(events, seenAt);
    bool post = false;
    {
        std::lock_guard lock(slot->Mutex);
        slot->Handling = false;
        // Bytes left behind are handed over once more, behind whatever else waits on the UI thread. A
        // report already on its way serves as well; after Stop nothing more goes out.
        if (again && !slot->Pending && !slot->Stopping && slot->Port != nullptr) {
            slot->Pending = post = true;
            slot->Events = ComEventBit(evRxChar);
            slot->SeenAt = slot->LastSeen;
        }
    }
    slot->Changed.notify_all();
    if (post) Post(slot);
}

void TComThread::Post(const std::shared_ptr<TDeliverySlot>& slot) {
    CurrentUiPoster()([slot] { Take(slot); });
}

}  // namespace tamberline
