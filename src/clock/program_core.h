// The program's state machine without widgets: the device link (frames in, commands out), the
// second tick with its action slot, and the PC clock synchronisation, driving TMainView.
#pragma once

#include <functional>
#include <string>

#include "clock/pc_sync.h"
#include "clock/second_tick.h"
#include "clock/system_clock.h"
#include "device/commands.h"
#include "device/link_watch.h"
#include "device/messages.h"

namespace tamberline {

struct TCoreDeps {
    TSharedState& State;
    TMainView& View;
    TCustomComPort& Port;
    TTimer1& Timer1;
    TTimer1& LinkTimer;  // the link watch's periodic check
    TSystemClock& Clock;
    std::function<void(const std::string&)> WriteLastSyncro;  // "Last Syncro" into the settings file
};

class TProgramCore {
  public:
    explicit TProgramCore(TCoreDeps deps);

    void ComPort1RxChar(TCustomComPort& sender, int count) { messages_.ComPort1RxChar(sender, count); }
    void Timer1Timer() { tick_.Timer1Timer(); }
    void SendZoneCommand() { commands_.SendZoneCommand(); }
    void SendTimeCommand() { commands_.SendTimeCommand(); }
    void SendZoneQuery() { commands_.SendZoneQuery(); }
    void mnCtrlSyncroClick() { deps_.State.PendingAction = paSyncNow; }
    // A user's request was just stored in the slot. While the link is lost it is taken back out and
    // refused (ENoLink): served after the device returns it would carry the values of now.
    void RequestStored();
    // See TMessageHandler::FrameDelay; the window leaves it at 0.
    void SetFrameDelay(std::chrono::microseconds d) { messages_.FrameDelay = d; }
    // True while a newer time frame waits unread: the clock the last tick showed is a second old.
    bool NewerFrameWaits();

    // The link watch: started by start-up (whether or not it opened the port), stopped before the close
    // steps.
    void StartLinkWatch() { link_.Start(std::chrono::steady_clock::now()); }
    void StopLinkWatch() { link_.Stop(); }
    void LinkTimerTimer() { link_.Check(std::chrono::steady_clock::now()); }
    const TLinkWatch& Link() const { return link_; }

  private:
    TCoreDeps deps_;
    TMessageHandler messages_;
    TDeviceCommands commands_;
    TPcSync sync_;
    TSecondTick tick_;
    TLinkWatch link_;
};

}  // namespace tamberline
