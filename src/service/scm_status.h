// What tamberlined tells Windows' Service Control Manager of its state as it starts, serves and stops,
// and how its exit code reaches the SCM's failure actions. Worked out apart from the calls that report
// it (win32_service_host.cpp), so the sequence is tested on every system.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

namespace tamberline {

// The SCM's own numbers for the states (SERVICE_STOPPED ...).
enum class TScmState : uint32_t { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4 };

struct TScmStatus {
    TScmState State = TScmState::StartPending;
    bool AcceptsStop = false;  // STOP, SHUTDOWN and PRESHUTDOWN
    uint32_t CheckPoint = 0;   // moves on with each report of the same pending state
    uint32_t WaitHintMs = 0;   // how long until the next report, or the SCM gives up on the service
    // 0, or the run's exit code, reported to the SCM as a service-specific error.
    uint32_t ServiceExitCode = 0;
    bool operator==(const TScmStatus&) const = default;
};

// The start-up reads the settings file and opens the port; the close steps write the settings file
// and close the port. Either takes well under a second; the hints leave room for a slow disk (ms).
constexpr uint32_t kScmStartWaitMs = 15000;
constexpr uint32_t kScmStopWaitMs = 10000;

// The failure actions (restart) are configured with the SCM's default flag, under which they follow
// only a process that ends without reporting SERVICE_STOPPED, whatever exit code a report carries. So
// a configuration error (2) is reported as stopped with its code and is not restarted, while any other
// failure (1) ends the process without that report, which the SCM treats as a crash and restarts;
// except after a stop request, when a failure in the close steps is reported with its code instead.
class TScmProgress {
  public:
    using TReport = std::function<void(const TScmStatus&)>;
    explicit TScmProgress(TReport report) : report_(std::move(report)) {}

    void Starting();  // first thing in the service's main function
    void Serving();   // start-up done (ignored once a stop came)
    // The SCM's STOP, SHUTDOWN or PRESHUTDOWN; from the dispatcher's thread.
    void StopRequested();
    // The run returned `exitCode` (0, 1 or 2 as TService::Run). true: reported as stopped; false: the
    // process must end now with no further report, so that the SCM restarts it.
    bool Ended(int exitCode);

  private:
    void Report(TScmState state, bool acceptsStop, uint32_t waitHintMs);

    std::mutex mutex_;
    TReport report_;
    TScmStatus status_;
};

}  // namespace tamberline
