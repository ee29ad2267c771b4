#include "service/service_view.h"

#include "clock/clock_texts.h"

namespace tamberline {

void TServiceView::ApplyOperatingMode(bool synchronised) {
    // Called with every time frame; only a change is news.
    if (mode_ == synchronised) return;
    mode_ = synchronised;
    log_(synchronised ? "device synchronised from satellites" : "device running autonomously (no satellite sync)");
}

void TServiceView::UpdateTray(bool) {
    if (!lost_) return;
    lost_ = false;
    log_("link to the device is back");
}

void TServiceView::ShowLinkLost() {
    lost_ = true;
    log_("no link to the device");
}

void TServiceView::SetStatusText(int panel, const std::string& text) {
    if (panel != 1) return;
    if (text == kNoClockRightText) {
        log_("computer's clock not set: no right to change the system time");
        return;
    }
    std::string stamp = text;
    if (stamp.rfind(kLastSyncroPrefix, 0) == 0) stamp.erase(0, kLastSyncroPrefix.size());
    if (started_)
        log_("computer's clock set from the device at " + stamp);
    else
        log_("last clock setting: " + (stamp == kNoSyncroYet ? std::string("none yet") : stamp));
}

}  // namespace tamberline
