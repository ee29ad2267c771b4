// Watches the link to the device: says when it is gone (no good time frame for 3 s while the port is
// open, or the device went away) and brings it back by reopening the same port, with the same
// settings, about once a second. Plain C++, so the window and the headless service share it.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>

#include "device/state.h"
#include "device/timer1.h"
#include "device/view.h"
#include "serial/comport.h"

namespace tamberline {

inline const char* const kNoLinkText = "Нет связи с прибором.";

// A request for the device refused, or dropped, because the device is not there: it would reach the
// device later, with values that are stale by then.
class ENoLink : public std::runtime_error {
  public:
    ENoLink() : std::runtime_error(kNoLinkText) {}
};

class TLinkWatch {
  public:
    // How long the device may stay silent before the link counts as lost; it sends once a second.
    static constexpr std::chrono::milliseconds kSilenceLimit{3000};
    // The period of the check, ms: often enough to notice a device that came back, cheap when idle.
    static constexpr uint32_t kCheckPeriodMs = 1000;

    // `timer` is the watch's own periodic timer; its OnTimer is to call Check.
    TLinkWatch(TSharedState& s, TMainView& v, TCustomComPort& port, TTimer1& timer)
        : s_(s), v_(v), port_(port), timer_(timer) {}

    // At the end of start-up: the silence counts from `now`. After a failed open the watch starts all the
    // same, shows the loss at once and opens the device when it comes.
    void Start(TMonoTime now);
    // Before the close steps, so that nothing is reopened behind them.
    void Stop();
    // A good time frame came at `at`: the link is there again.
    void FrameSeen(TMonoTime at);
    // The periodic check. A loss is shown once; the port of a device that went away is closed and then
    // tried again at every check until it opens. A user's request still waiting at the loss is dropped:
    // a PC synchronisation silently, a command for the device with ENoLink (after the loss is shown).
    // With no port chosen (an empty name) nothing is opened.
    void Check(TMonoTime now);
    bool Lost() const { return lost_; }

  private:
    bool Lose();  // true when a command for the device was dropped
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
