#include "device/link_watch.h"

namespace tamberline {

void TLinkWatch::Start(TMonoTime now) {
    started_ = true;
    lastFrame_ = now;
    timer_.SetInterval(kCheckPeriodMs, now);
    timer_.SetEnabled(true, now);
    // A port start-up could not open: lost from the start, and looked for at every check.
    if (!port_.Connected()) Lose();
}

void TLinkWatch::Stop() {
    started_ = false;
    timer_.SetEnabled(false, std::chrono::steady_clock::now());
}

void TLinkWatch::FrameSeen(TMonoTime at) {
    lastFrame_ = at;
    if (!lost_) return;
    lost_ = false;
    // The window's own texts come back with the frame's mode; the tray shows what it showed before.
    v_.UpdateTray(s_.SputSyncShown == 1);
}

void TLinkWatch::Check(TMonoTime now) {
    if (!started_) return;
    bool dropped = false;
    if (!port_.Connected()) {
        dropped = Lose();
        if (!port_.Port().empty()) TryReopen(now);
    } else if (port_.DeviceGone()) {
        dropped = Lose();
        try {
            port_.Close();
        } catch (const EComPort&) {
            // Only a device that is still there can refuse; it is then still open and watched as such.
        }
    } else if (now - lastFrame_ >= kSilenceLimit) {
        dropped = Lose();
    }
    if (dropped) throw ENoLink();
}

bool TLinkWatch::Lose() {
    if (lost_) return false;
    lost_ = true;
    v_.ShowLinkLost();
    // The scheduled synchronisation and the zone query stay: served later, they take the time and zone
    // of then, which is what they are for.
    const uint8_t waiting = s_.PendingAction;
    if (!IsUserRequest(waiting)) return false;
    s_.PendingAction = paNone;
    return waiting != paSyncNow;
}

void TLinkWatch::TryReopen(TMonoTime now) {
    try {
        port_.Open();
    } catch (const EComPort&) {
        return;  // not back yet: the next check tries again
    }
    lastFrame_ = now;
    // The device may have been powered off meanwhile and lost its zone. No user's request can wait here:
    // they are dropped at the loss and refused while it lasts.
    s_.PendingAction = paZoneQuery;
}

}  // namespace tamberline
