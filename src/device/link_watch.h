// Watches the link to the device: says when it is gone (no good time frame for 3 s while the port is
// open, or the device went away) and brings it back by reopening the same port, with the same
// settings, about once a second. Plain C++, so the window and the headless service share it.
#pragma once

#include <chrono>
#include <cstdint>

#include "device/state.h"
#include "device/timer1.h"
#include "device/view.h"
#include "serial/comport.h"

namespace tamberline {

class TLinkWatch {
  public:
    // How long the device may stay silent before the link counts as lost; it sends once a second.
    static constexpr std::chrono::milliseconds kSilenceLimit{3000};
    // The period of the check, ms: often enough to notice a device that came back, cheap when idle.
    static constexpr uint32_t kCheckPeriodMs = 1000;

    // `timer` is the watch's own periodic timer; its OnTimer is to call Check.
    TLinkWatch(TSharedState& s, TMainView& v, TCustomComPort& port, TTimer1& timer)
        : s_(s), v_(v), port_(port), timer_(timer) {}

    // Once the port has been opened at start-up: the silence counts from `now`. A start whose port
    // could not be opened never starts the watch: that port stays closed for the run.
    void Start(TMonoTime now);
    // Before the close steps, so that nothing is reopened behind them.
    void Stop();
    // A good time frame came at `at`: the link is there again.
    void FrameSeen(TMonoTime at);
    // The periodic check. A loss is shown once, never as an error box; the port of a device that went
    // away is closed and then tried again at every check until it opens.
    void Check(TMonoTime now);
    bool Lost() const { return lost_; }

  private:
    void Lose();
    void TryReopen(TMonoTime now);

    TSharedState& s_;
    TMainView& v_;
    TCustomComPort& port_;
    TTimer1& timer_;
    TMonoTime lastFrame_{};
    bool started_ = false;
    bool lost_ = false;
};

}  // namespace tamberline
