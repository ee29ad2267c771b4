// How exactly the device's second reaches the computer. The device is tamberline-sim running its
// seconds 250 ms ahead of the computer's clock (--offset 250), telling with --stamp when it began to
// send each frame; with --pace its bytes arrive at their wire times as on a real line at 38400
// bit/s, without it each frame arrives at once as a pty hands it over. The program side is the real
// one: port event thread, delivery to a posted loop, frame read, precise tick, clock step, and the
// service's chrony sample; in the last runs the service also serves a panel attached over the control
// endpoint, which hears the state after every tick. Figures:
//   error   clock set (the fake clock is asked to change) minus the device's second boundary
//   sample  the chrony sample's offset minus the true 250 ms
//   seen    the event thread's stamp minus the moment the frame's first byte was through
//   fire    clock set minus the instant the tick was armed for (the timer's own part)
//
// Usage: bench_sync_accuracy [ticks=120] [hundredths=80] [short slice 1|0 = 1]
// Runs unpaced and paced, each once idle and once with two spinning processes competing for the CPUs.
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "bench_frames.h"
#include "clock/precise_timer.h"
#include "clock/program_core.h"
#include "control/control_server.h"
#include "control/service_link.h"
#include "serial/delivery.h"
#include "serial/posted_loop.h"
#include "service/chrony_feed.h"
#include "service/service_view.h"
#include "support/sim_process.h"

namespace tamberline {
namespace {

using Clock = std::chrono::steady_clock;
constexpr double kOffsetS = 0.250;  // the simulator's --offset

// Notes when it is asked to change the clock; never touches the real one.
class TStampClock : public TSystemClock {
  public:
    Clock::time_point SetAt{};
    TLocalDateTime Now() override { return {2024, 6, 1, 12, 0, 0, 0, 6}; }
    TClockSetResult SetLocal(const TLocalDateTime&) override {
        SetAt = Clock::now();
        return TClockSetResult::Set;
    }
    std::string WeekdayAbbrev(int) override { return "Sa"; }
    std::string TimeSeparator() override { return ":"; }
};

class TKeptSamples : public TChronySocket {
  public:
    std::vector<TChronySample> Sent;
    int Send(const TChronySample& s) override {
        Sent.push_back(s);
        return 0;
    }
};

// The service's side of the endpoint as the service fills it: the clock and mode of every tick.
class TBenchHandler : public TControlHandler {
  public:
    TBenchHandler(TSharedState& s, TServiceView& v) : s_(s), v_(v) {}
    TStatus Status() override {
        TStatus st;
        st.Tick = v_.Ticks(), st.Clock = v_.Clock(), st.Mode = v_.Mode(), st.TraySync = s_.SputSyncShown == 1;
        st.BaudRateName = "38400";
        return st;
    }
    void Execute(const TCommand&) override {}

  private:
    TSharedState& s_;
    TServiceView& v_;
};

struct TRunFigures {
    std::vector<double> Error, Sample, Seen, Fire;  // µs
};

struct TTick {
    Clock::time_point At, SetAt, SeenAt, Due;
    size_t Samples;
};

double Us(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

TRunFigures Run(int ticks, int hundredths, bool paced, bool panel) {
    std::vector<std::string> args{"--stamp", "--offset", "250", "--phase", std::to_string(hundredths)};
    if (paced) args.push_back("--pace");
    TSimProcess sim(TAMBERLINE_SIM, args);
    TPostedLoop loop;
    SetUiPoster(loop.Poster());

    TSharedState state;
    state.SyncroHours = 0;
    TServiceView view([](const std::string&) {});
    TStampClock clock;
    TComPort port;
    TPreciseTimer timer, linkTimer;
    TProgramCore core({state, view, port, timer, linkTimer, clock, nullptr});
    TKeptSamples samples;
    TSystemRealtimeClock realtime;
    TChronyFeed feed(samples, realtime, "bench", [](const std::string&) {});
    TBenchHandler handler(state, view);
    TControlServer server(handler, [](const std::string&) {});
    std::unique_ptr<TServiceLink> link;
    if (panel) {
        const std::string endpoint =
            (std::filesystem::temp_directory_path() / ("tamberline-bench-" + std::to_string(getpid()))).string();
        server.Listen(endpoint);
        // The panel's hand-shake waits for answers this loop gives.
        std::thread attach([&] { link = TServiceLink::Attach(endpoint, std::chrono::seconds(2)); });
        loop.RunFor(std::chrono::milliseconds(300));
        attach.join();
        if (!link) std::printf("the panel could not attach\n");
        if (link) link->Start({});
    }

    std::vector<TTick> log;
    std::vector<int64_t> began;  // ns, when the device began each frame
    TMonoTime seen{};
    auto collect = [&] {
        while (auto l = sim.ReadLine(0)) {
            long long ns;
            if (std::sscanf(l->c_str(), "sent %lld", &ns) == 1) began.push_back(ns);
        }
    };
    timer.OnTimer = [&] {
        clock.SetAt = {};
        core.Timer1Timer();
        feed.Tick(state, true, timer.FiredDue());
        log.push_back({Clock::now(), clock.SetAt, seen, timer.FiredDue(), samples.Sent.size()});
        server.Publish();
        state.PendingAction = paSyncNow;
        collect();
    };
    port.OnRxChar = [&](TCustomComPort& p, int n) {
        seen = p.RxEventTime();
        core.ComPort1RxChar(p, n);
    };
    ConfigureComPort1(port);
    port.SetPort(sim.PtyPath());
    port.Open();
    state.PendingAction = paSyncNow;
    const auto charTime = port.CharacterTime();
    loop.RunUntil([&] { return log.size() >= static_cast<size_t>(ticks) + 1; }, std::chrono::seconds(ticks + 10));
    port.Close();
    SetUiPoster(nullptr);
    collect();

    TRunFigures f;
    size_t lastSamples = 0;
    // The first tick warms caches and page tables; it is not counted.
    for (size_t i = 1; i < log.size(); ++i) {
        const TTick& t = log[i];
        const int64_t atNs = std::chrono::duration_cast<std::chrono::nanoseconds>(t.At.time_since_epoch()).count();
        // The frame that armed this tick: the last one begun before it.
        const auto it = std::lower_bound(began.begin(), began.end(), atNs);
        if (it == began.begin()) continue;
        const TMonoTime frameBegan{std::chrono::nanoseconds(*(it - 1))};
        const auto boundary = frameBegan + std::chrono::milliseconds(1000 - 10 * hundredths);
        if (t.SetAt != Clock::time_point{}) {
            f.Error.push_back(Us(t.SetAt - boundary));
            f.Fire.push_back(Us(t.SetAt - t.Due));
        }
        if (t.Samples > lastSamples) f.Sample.push_back((samples.Sent[t.Samples - 1].Offset - kOffsetS) * 1e6);
        lastSamples = t.Samples;
        f.Seen.push_back(Us(t.SeenAt - (frameBegan + charTime)));
    }
    return f;
}

// Back to the kernel's default slice (a runtime of 0 asks for no slice of its own).
void DefaultSchedulerSlice() {
    struct {
        uint32_t size, policy;
        uint64_t flags;
        int32_t nice;
        uint32_t priority;
        uint64_t runtime, deadline, period;
    } attr{};
    attr.size = sizeof attr;
    if (syscall(SYS_sched_setattr, 0, &attr, 0) != 0) std::perror("sched_setattr");
}

// The median with its sign (which way the error leans), then p99 and max of its size.
void PrintOne(const std::string& label, std::vector<double> v, int ticks) {
    if (v.empty()) {
        std::printf("%-22s no ticks\n", label.c_str());
        return;
    }
    const double median = Percentile(v, 0.50);
    for (double& x : v)
        x = std::abs(x);
    std::printf("%-22s n %3zu/%d  p50 %+8.1f us  |p99| %8.1f us  |max| %8.1f us\n", label.c_str(), v.size(), ticks,
                median, Percentile(v, 0.99), *std::max_element(v.begin(), v.end()));
}

void Print(const std::string& label, const TRunFigures& f, int ticks) {
    PrintOne(label + " error", f.Error, ticks);
    PrintOne(label + " sample", f.Sample, ticks);
    PrintOne(label + " seen", f.Seen, ticks);
    PrintOne(label + " fire", f.Fire, ticks);
}

std::vector<pid_t> StartSpinners() {
    // Two busy programs, one per CPU of the build machines, as separate processes like other users' work.
    std::vector<pid_t> spinners;
    for (int i = 0; i < 2; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            DefaultSchedulerSlice();
            setpriority(PRIO_PROCESS, 0, 0);  // ordinary users' work, whatever the bench runs at
            volatile uint64_t n = 0;
            for (;;)
                n = n + 1;
        }
        spinners.push_back(pid);
    }
    return spinners;
}

}  // namespace
}  // namespace tamberline

int main(int argc, char** argv) {
    using namespace tamberline;
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 120;
    const int hundredths = argc > 2 ? std::atoi(argv[2]) : 80;
    UseFineTimerSlack();
    const bool shortSlice = argc > 3 ? std::atoi(argv[3]) != 0 : true;
    if (shortSlice && !UseShortSchedulerSlice()) std::printf("short scheduler slice refused\n");
    // As the program does at start; the simulator, started from here, runs the same way.
    const bool raised = UseRaisedPriority();
    std::printf("%d ticks, frames at %d hundredths, slice %s, %s\n", ticks, hundredths,
                shortSlice ? "short" : "default",
                raised ? "priority raised (nice -10)" : "priority not raised (no right to)");
    std::printf(
        "(error: clock set - device second; sample: chrony offset - 250 ms; seen: first byte through -> stamped)\n");
    const struct {
        bool paced, panel;
        const char* name;
    } runs[] = {{false, false, "unpaced"}, {true, false, "paced"}, {true, true, "paced+panel"}};
    for (const auto& r : runs) {
        const std::string mode = r.name;
        Print(mode + " idle", Run(ticks, hundredths, r.paced, r.panel), ticks);
        const auto spinners = StartSpinners();
        Print(mode + " loaded", Run(ticks, hundredths, r.paced, r.panel), ticks);
        for (pid_t pid : spinners) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    return 0;
}
