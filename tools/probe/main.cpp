// tamberline-probe PORT [SECONDS]: opens PORT as the program does, runs the core with a recording
// PC clock and a PC synchronisation at every tick, and prints for each tick the device time and two
// errors (µs) of the moment the clock would be set:
//   fire:  against the instant the tick was armed for (the frame's arrival + the rest of its second);
//   frame: against the device second as the next time frame shows it (its arrival minus its
//          hundredths), so a steady receive latency cancels out and what remains is the tick's own.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "app/startup.h"
#include "clock/precise_timer.h"
#include "clock/program_core.h"
#include "device/fake_main_view.h"
#include "serial/posted_loop.h"
#include "support/fake_os.h"

namespace tamberline {
namespace {

using Clock = std::chrono::steady_clock;

// Notes when the core asks to change the clock; never touches the real one.
class TRecordingClock : public test::TFakeClock {
  public:
    std::vector<Clock::time_point> SetAt;
    TClockSetResult SetLocal(const TLocalDateTime& t) override {
        SetAt.push_back(Clock::now());
        return TFakeClock::SetLocal(t);
    }
};

// Timer1 as the core sees it, noting each countdown it is armed with.
class TArmRecorder : public TTimer1 {
  public:
    struct TArm {
        TMonoTime From;
        uint32_t Ms;
    };
    explicit TArmRecorder(TTimer1& t) : t_(t) {}
    std::vector<TArm> Arms;
    void SetInterval(uint32_t ms, TMonoTime from) override { t_.SetInterval(ms, from); }
    void SetEnabled(bool on, TMonoTime from) override {
        if (on) Arms.push_back({from, t_.Interval()});
        t_.SetEnabled(on, from);
    }
    uint32_t Interval() const override { return t_.Interval(); }
    bool Enabled() const override { return t_.Enabled(); }

  private:
    TTimer1& t_;
};

double Us(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void Summary(const char* label, std::vector<double> v) {
    if (v.empty()) return;
    std::sort(v.begin(), v.end());
    auto at = [&](double p) { return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))]; };
    std::printf("%-6s n %zu  p50 %8.1f us  p90 %8.1f us  max %8.1f us  min %8.1f us\n", label, v.size(), at(0.5),
                at(0.9), v.back(), v.front());
}

int Probe(const std::string& portName, int seconds) {
    TPostedLoop loop;
    SetUiPoster(loop.Poster());
    TSharedState state;
    state.SyncroHours = 1;
    test::TFakeMainView view;
    TRecordingClock clock;
    TPreciseTimer precise;
    TArmRecorder timer(precise);
    TComPort port;
    TPreciseTimer linkTimer(false);  // never started: the probe only watches ticks
    TProgramCore core({state, view, port, timer, linkTimer, clock, nullptr});
    std::vector<std::string> shown;
    precise.OnTimer = [&] {
        state.PendingAction = paSyncNow;
        core.Timer1Timer();
        shown.push_back(view.HH + ":" + view.MM + ":" + view.SS);
    };
    port.OnRxChar = [&](TCustomComPort& p, int n) { core.ComPort1RxChar(p, n); };
    ConfigureComPort1(port);
    port.SetPort(portName);
    port.Open();
    loop.RunFor(std::chrono::seconds(seconds));
    port.Close();
    SetUiPoster(nullptr);

    std::vector<double> fire, frame;
    for (size_t k = 0; k < clock.SetAt.size() && k < shown.size(); ++k) {
        const auto set = clock.SetAt[k];
        // The countdown this tick ended: the last one armed before it; the next frame's comes after.
        std::optional<TArmRecorder::TArm> armed, next;
        for (const auto& a : timer.Arms) {
            if (a.From <= set) armed = a;
            if (a.From > set && !next) next = a;
        }
        std::printf("tick %s", shown[k].c_str());
        if (armed) {
            fire.push_back(Us(set - (armed->From + std::chrono::milliseconds(armed->Ms))));
            std::printf("  fire %+9.1f us", fire.back());
        }
        if (next) {
            // The frame came (1000 - Ms) ms into its device second.
            frame.push_back(Us(set - (next->From - std::chrono::milliseconds(1000 - next->Ms))));
            std::printf("  frame %+9.1f us", frame.back());
        }
        std::printf("\n");
        // The first tick pays for loading and first use (ms under wine): it is shown, not counted.
        if (k == 0) fire.clear(), frame.clear();
    }
    Summary("fire", fire);
    Summary("frame", frame);
    std::fflush(stdout);
    // Allow for the first frame's wait and a second cut short at either end.
    return static_cast<int>(clock.SetAt.size()) >= seconds - 2 ? 0 : 1;
}

}  // namespace
}  // namespace tamberline

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tamberline-probe PORT [SECONDS=10]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    tamberline::UseFineTimerSlack();
    tamberline::UseShortSchedulerSlice();
    tamberline::UseRaisedPriority();
    try {
        return tamberline::Probe(argv[1], seconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tamberline-probe: %s\n", e.what());
        return 1;
    }
}
