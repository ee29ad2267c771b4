// The SCM hears START_PENDING, RUNNING once the service serves, STOP_PENDING at a stop, and STOPPED with
// the exit code the failure actions must see; a run that failed otherwise ends with no such report.
#include <gtest/gtest.h>

#include <vector>

#include "service/scm_status.h"

namespace tamberline {
namespace {

using S = TScmState;

struct TStep {
    enum { Start, Serve, Stop, End } What;
    int ExitCode = 0;
};

struct TRun {
    std::vector<TScmStatus> Reports;
    bool ReportedEnd = false;
};

TRun Play(const std::vector<TStep>& steps) {
    TRun run;
    TScmProgress progress([&](const TScmStatus& s) { run.Reports.push_back(s); });
    for (const TStep& s : steps) {
        if (s.What == TStep::Start) progress.Starting();
        if (s.What == TStep::Serve) progress.Serving();
        if (s.What == TStep::Stop) progress.StopRequested();
        if (s.What == TStep::End) run.ReportedEnd = progress.Ended(s.ExitCode);
    }
    return run;
}

TScmStatus Pending(S state, uint32_t checkPoint) {
    return {state, false, checkPoint, state == S::StartPending ? kScmStartWaitMs : kScmStopWaitMs, 0};
}
const TScmStatus kRunning{S::Running, true, 0, 0, 0};
TScmStatus Stopped(uint32_t code) {
    return {S::Stopped, false, 0, 0, code};
}

TEST(ScmProgress, StatesAndExitCodesAsTheScmMustSeeThem) {
    const TStep start{TStep::Start}, serve{TStep::Serve}, stop{TStep::Stop};
    const auto end = [](int code) { return TStep{TStep::End, code}; };
    struct Case {
        const char* name;
        std::vector<TStep> steps;
        std::vector<TScmStatus> want;
        bool wantReportedEnd;
    };
    const Case cases[] = {
        {"served and stopped",
         {start, serve, stop, end(0)},
         {Pending(S::StartPending, 1), kRunning, Pending(S::StopPending, 1), Stopped(0)},
         true},
        {"a shutdown after the stop: the checkpoint moves on",
         {start, serve, stop, stop, end(0)},
         {Pending(S::StartPending, 1), kRunning, Pending(S::StopPending, 1), Pending(S::StopPending, 2), Stopped(0)},
         true},
        {"a configuration error: stopped with its code, so no restart",
         {start, end(2)},
         {Pending(S::StartPending, 1), Stopped(2)},
         true},
        {"a failure at start: no stopped report, so the SCM restarts it",
         {start, end(1)},
         {Pending(S::StartPending, 1)},
         false},
        {"a failure while serving: restarted too",
         {start, serve, end(1)},
         {Pending(S::StartPending, 1), kRunning},
         false},
        {"a failure in the close steps after a stop: stopped with its code, as it was asked to",
         {start, serve, stop, end(1)},
         {Pending(S::StartPending, 1), kRunning, Pending(S::StopPending, 1), Stopped(1)},
         true},
        {"a stop before start-up is done: never running again",
         {start, stop, serve, end(0)},
         {Pending(S::StartPending, 1), Pending(S::StopPending, 1), Stopped(0)},
         true},
    };
    for (const Case& c : cases) {
        const TRun run = Play(c.steps);
        EXPECT_EQ(run.ReportedEnd, c.wantReportedEnd) << c.name;
        ASSERT_EQ(run.Reports.size(), c.want.size()) << c.name;
        for (size_t i = 0; i < c.want.size(); ++i)
            EXPECT_EQ(run.Reports[i], c.want[i]) << c.name << ", report " << i;
    }
}

}  // namespace
}  // namespace tamberline
