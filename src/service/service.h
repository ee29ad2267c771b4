// tamberlined: the window's core composed without a window. It owns the device and the computer's clock:
// the same start-up and close steps, frame reader, tick, commands, synchronisation and link watch as the
// window, a view that logs, its own event loop, and the control endpoint through which windows attach as
// its panels. It either sets the computer's clock on the window's schedule or hands the device's time to
// chronyd.
#pragma once

#include <functional>
#include <memory>

#include "app/current_dir.h"
#include "app/end_requests.h"
#include "clock/precise_timer.h"
#include "clock/program_core.h"
#include "control/control_server.h"
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
    // The right to set the computer's clock is in force (TakeGrantedClockRights). Without it the service
    // says so at start and watches the device; it never reports a refused change as made.
    bool ClockRights = true;
    // The system's requests to end, as ListenForEndRequests gives them (the default when empty).
    std::function<std::unique_ptr<TEndRequests>(std::function<void()> onEnd)> ListenForEnd;
};

// The computer's clock as the core may use it: in chrony mode chronyd keeps it, and nothing here sets it.
class TServiceClock : public TSystemClock {
  public:
    explicit TServiceClock(TSystemClock& clock) : clock_(clock) {}
    bool Sets = true;
    TLocalDateTime Now() override { return clock_.Now(); }
    TClockSetResult SetLocal(const TLocalDateTime& t) override {
        return Sets ? clock_.SetLocal(t) : TClockSetResult::Failed;
    }
    std::string WeekdayAbbrev(int d) override { return clock_.WeekdayAbbrev(d); }
    std::string TimeSeparator() override { return clock_.TimeSeparator(); }

  private:
    TSystemClock& clock_;
};

class TService : public TControlHandler {
  public:
    TService(TServiceOs os, TLogLine log);
    ~TService() override;

    // Starts, serves until the system asks it to end (SIGTERM, SIGINT, SIGHUP, the SCM's stop, or RequestEnd), then
    // runs the close steps. `serving` is called once the start-up steps are done. The exit code: 0, 1 when something
    // failed (logged), 2 for settings it cannot follow.
    int Run(std::function<void()> serving = {});
    // From any thread: the close steps run on the service's own thread, then Run returns.
    void RequestEnd();

    // The panels' side.
    TStatus Status() override;
    void Execute(const TCommand& c) override;

  private:
    bool Start();
    void StartControl();
    void OnTick();
    // After every step of the service's work: the panels hear of what changed.
    void Stepped() { control_.Publish(); }
    void ExecuteAction(const TActionValues& a);
    void ChangePort(const std::string& name, const std::string& baudRate);
    void WriteCommon(const char* key, int value);
    void End();

    TServiceOs os_;
    TLogLine log_;
    TServiceSettings settings_;
    TServiceClock clock_;
    TPostedLoop loop_;
    TSharedState state_;
    TServiceView view_;
    TComPort port_;
    TPreciseTimer timer1_, linkTimer_{false};
    TProgramCore core_;
    TControlServer control_;
    std::unique_ptr<TChronySocket> socket_;
    std::unique_ptr<TChronyFeed> feed_;
    std::unique_ptr<TEndRequests> endRequests_;
    bool ended_ = false;
    int exitCode_ = 0;
};

}  // namespace tamberline
