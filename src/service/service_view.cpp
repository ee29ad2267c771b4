#include "service/service_view.h"

#include "clock/clock_texts.h"

namespace tamberline {

void TServiceView::ShowClock(const std::string& hh, const std::string& mm, const std::string& ss) {
    clock_ = hh + ":" + mm + ":" + ss;
    if (started_) ++ticks_;
}

void TServiceView::ApplyOperatingMode(bool synchronised) {
    // Called with every time frame; only a change is news.
    if (mode_ == synchronised) return;
    mode_ = synchronised;
    log_(synchronised ? "прибор синхронизирован от спутников"
                      : "прибор работает автономно, без синхронизации от спутников");
}

void TServiceView::UpdateTray(bool) {
    if (!lost_) return;
    lost_ = false;
    log_("связь с прибором восстановлена");
}

void TServiceView::ShowLinkLost() {
    lost_ = true;
    log_("нет связи с прибором");
}

void TServiceView::SetStatusText(int panel, const std::string& text) {
    status_[panel == 0 ? 0 : 1] = text;
    if (panel != 1) return;
    if (text == kNoClockRightText) {
        log_(kLogWarning + "часы компьютера не установлены: нет права менять системное время");
        return;
    }
    std::string stamp = text;
    if (stamp.rfind(kLastSyncroPrefix, 0) == 0) stamp.erase(0, kLastSyncroPrefix.size());
    if (started_)
        log_("часы компьютера установлены по прибору: " + stamp);
    else
        log_("последняя установка часов компьютера: " + stamp);
}

}  // namespace tamberline
