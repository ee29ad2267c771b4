// The simulated device: sends time frames on schedule, answers and applies commands, injects faults.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "command_reader.h"
#include "device_clock.h"
#include "line_out.h"
#include "options.h"
#include "pty.h"

namespace tamberline::sim {

class TSimulator {
  public:
    TSimulator(const TOptions& options, TPty& pty, int signalFd);
    ~TSimulator();
    TSimulator(const TSimulator&) = delete;
    TSimulator& operator=(const TSimulator&) = delete;
    void Run();  // until quit or a signal

  private:
    // When the device starts sending the time frame of second k (its hundredths field tells this moment).
    int64_t DueNs(int64_t k) const { return t0Ns_ + k * 1'000'000'000LL + phase_ * 10'000'000LL; }
    // The frame timer wakes this long before a frame is due, so its first byte leaves on time (ns).
    static constexpr int64_t kLeadNs = 2'000'000;
    int64_t SecondAt(int64_t nowNs) const;
    void SkipPastFrames(int64_t nowNs);  // frames whose moment is gone are not sent late
    void ArmTimer();
    void OnTimer();
    void SendTimeFrame(int64_t k);
    void OnLineInput();
    void OnStdinInput();
    void HandleControl(const std::string& line);
    void HandleCommand(const TCommandEvent& e);
    void Write(const uint8_t* data, size_t size, int64_t startNs = 0);  // startNs 0: now
    bool Paused() const;

    TOptions options_;
    TPty& pty_;
    int signalFd_;
    int timerFd_ = -1;
    bool running_ = true;
    bool stdinOpen_ = true;
    std::string stdinBuf_;

    int64_t t0Ns_ = 0;   // monotonic start of simulated second 0
    int64_t nextK_ = 0;  // the second whose time frame goes out next
    int phase_;          // hundredths
    bool noSync_;
    TZone zone_;
    TDeviceClock clock_;
    TCommandReader reader_;
    TLineOut line_;

    int64_t framesDue_ = 0;  // time frames whose moment came, sent or not (for --badcrc-every)
    bool badCrcOnce_ = false, shortOnce_ = false, midFrameOnce_ = false;
    int64_t pauseUntilNs_ = 0;
    std::mt19937 random_;
};

int64_t MonotonicNs();

}  // namespace tamberline::sim
