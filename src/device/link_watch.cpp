#include "device/link_watch.h"

namespace tamberline {

namespace {

// Requests a user stored; a reopen must not replace them with its zone query.
bool UserRequestWaits(uint8_t slot) {
    return slot == paSyncNow || slot == paSendZone || slot == paSendTime;
}

}  // namespace

void TLinkWatch::Start(TMonoTime now) {
    started_ = true;
    lastFrame_ = now;
    timer_.SetInterval(kCheckPeriodMs, now);
    timer_.SetEnabled(true, now);
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
    if (!port_.Connected()) {
        Lose();
        TryReopen(now);
        return;
    }
    if (port_.DeviceGone()) {
        Lose();
        try {
            port_.Close();
        } catch (const EComPort&) {
            // Only a device that is still there can refuse; it is then still open and watched as such.
        }
        return;
    }
    if (now - lastFrame_ >= kSilenceLimit) Lose();
}

void TLinkWatch::Lose() {
    if (lost_) return;
    lost_ = true;
    v_.ShowLinkLost();
}

void TLinkWatch::TryReopen(TMonoTime now) {
    try {
        port_.Open();
    } catch (const EComPort&) {
        return;  // not back yet: the next check tries again
    }
    lastFrame_ = now;
    // The device may have been powered off meanwhile and lost its zone.
    if (!UserRequestWaits(s_.PendingAction)) s_.PendingAction = paZoneQuery;
}

}  // namespace tamberline
