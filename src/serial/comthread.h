// The event thread of an open port: waits for new bytes on the device and hands each report to the
// UI thread through the delivery hook, one report at a time. Internal to the serial unit.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "serial/backend.h"
#include "serial/comport.h"

namespace tamberline {

// What the event thread and the UI thread share about the report being handed over. A `take` that runs
// after the thread has been stopped finds `Port` null and does nothing, so no handler runs after Close.
struct TDeliverySlot {
    std::mutex Mutex;
    std::condition_variable Changed;
    TCustomComPort* Port = nullptr;
    bool Pending = false;   // a report waits to be taken by the UI thread
    bool Handling = false;  // taken, and its steps still run (the event thread waits on this for smThreadSync)
    bool Stopping = false;
    TComEvents Events = 0;
    TMonoTime SeenAt{};
    TMonoTime LastSeen{};  // the latest arrival the event thread saw, for deliveries that drain the queue
};

class TComThread {
  public:
    // Starts the thread; throws EComPort 1 with the system code when the wait cannot be set up.
    TComThread(TCustomComPort& port, TComBackend& backend, TComEvents events, TSyncMethod sync);
    // Stops the thread and waits for it; a report being handed over meanwhile is handled here, on the
    // calling (UI) thread, so the two threads never wait for each other.
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // The re-check period (ms) while the device is gone: long enough not to burn CPU, short enough to notice
    // a device that comes back.
    static constexpr int kGoneRecheckMs = 250;

    // Whether the last wait found the device gone; read by the UI thread.
    bool DeviceGone() const { return gone_; }

  private:
    void Run();
    void Dispatch(TComEvents events, TMonoTime seenAt);
    static void Take(const std::shared_ptr<TDeliverySlot>& slot);
    static void Post(const std::shared_ptr<TDeliverySlot>& slot);

    TCustomComPort& port_;
    TComEvents events_;
    TSyncMethod sync_;
    std::shared_ptr<TDeliverySlot> slot_;
    std::unique_ptr<TComEventWaiter> waiter_;
    std::atomic<bool> gone_{false};
    std::thread thread_;
};

}  // namespace tamberline
