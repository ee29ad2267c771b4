// How the system runs tamberlined: where its log goes, how the system asks it to end, and whom it tells
// that start-up is done. On POSIX a plain process (systemd starts it, signals end it, the log goes to
// standard error for the journal); on Windows a service of the Service Control Manager that logs to the
// Application event log, or, started from a console, a foreground process for diagnosis. One
// implementation per OS.
#pragma once

#include <functional>
#include <memory>

#include "app/end_requests.h"
#include "service/service_view.h"

namespace tamberline {

// What the host gives the service it runs.
struct TServiceHosting {
    TLogLine Log;
    // The system's requests to end, with ListenForEndRequests' contract (app/end_requests.h).
    std::function<std::unique_ptr<TEndRequests>(std::function<void()> onEnd)> ListenForEnd;
    // Start-up is done: the service serves from now on (TService::Run's `serving`).
    std::function<void()> Serving;
};

// Runs `service` as this system runs services; returns the process's exit code (0, 1, 2 as
// TService::Run).
int HostService(const std::function<int(const TServiceHosting&)>& service);

}  // namespace tamberline
