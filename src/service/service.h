// tamberlined: the window's core composed without a window, for machines without a desktop. The
// same start-up and close steps, frame reader, tick, commands, synchronisation and link watch as
// the window, a view that logs, and its own event loop. It either sets the computer's clock on the
// window's schedule or hands the device's time to chronyd.
#pragma once

#include <memory>

#include "app/current_dir.h"
#include "app/end_requests.h"
#include "clock/precise_timer.h"
#include "clock/program_core.h"
#include "serial/posted_loop.h"
#include "service/chrony_feed.h"
#include "service/service_settings.h"
#include "service/service_view.h"

namespace tamberline {

// What the service takes from the system.
struct TServiceOs {
    TSystemClock& Clock;
    TCurrentDirectory& Dir;
    TRealtimeClock& Realtime;
};

class TService {
  public:
    TService(TServiceOs os, TLogLine log);
    ~TService();

    // Starts, serves until the system asks it to end (SIGTERM, SIGINT, SIGHUP), then runs the close
    // steps. The exit code: 0, 1 when something failed (logged), 2 for settings it cannot follow.
    int Run();

  private:
    bool Start();
    void OnTick();
    void End();

    TServiceOs os_;
    TLogLine log_;
    TServiceSettings settings_;
    TPostedLoop loop_;
    TSharedState state_;
    TServiceView view_;
    TComPort port_;
    TPreciseTimer timer1_, linkTimer_{false};
    TProgramCore core_;
    std::unique_ptr<TChronySocket> socket_;
    std::unique_ptr<TChronyFeed> feed_;
    std::unique_ptr<TEndRequests> endRequests_;
    bool ended_ = false;
    int exitCode_ = 0;
};

}  // namespace tamberline
