// The headless program's main "window": it draws nothing, keeps what a window would show (for the
// panels attached to the service) and writes one line per event that matters (mode of the device, link
// lost and back, the clock set) for the log.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "device/view.h"

namespace tamberline {

// One line of the log. A line that starts with kLogError or kLogWarning is one; the Windows event log
// files it so.
using TLogLine = std::function<void(const std::string& line)>;
inline const std::string kLogError = "ошибка: ";
inline const std::string kLogWarning = "внимание: ";

class TServiceView : public TMainView {
  public:
    explicit TServiceView(TLogLine log) : log_(std::move(log)) {}

    // Start-up shows the stored "Last Syncro"; after this a new one means the clock was just set.
    void StartupDone() { started_ = true; }

    void ShowClock(const std::string& hh, const std::string& mm, const std::string& ss) override;
    void ApplyOperatingMode(bool synchronised) override;
    void UpdateTray(bool synchronised) override;
    void ShowLinkLost() override;
    void ShowNoService() override {}

    void SetZoneHoursText(const std::string&) override { zoneShown_ = true; }
    void SetZoneMinutesText(const std::string&) override { zoneShown_ = true; }
    void SetZoneMinutesEnabled(bool) override {}
    // The stored winter/summer choice, which zone frames and the zone command read.
    int SumWntItem() const override { return sumWnt_; }
    void SetSumWntItem(int index) override { sumWnt_ = index; }
    void FocusCorrectButton() override {}

    void SetNewHHText(const std::string&) override {}
    void SetNewMMText(const std::string&) override {}
    void SetNewSSText(const std::string&) override {}
    // What a panel's set-time request says the seconds field holds: a time, or a correction.
    bool TimeModeSelected() const override { return timeMode_; }
    void SetTimeModeSelected(bool timeMode) override { timeMode_ = timeMode; }
    void SetNewTimeFieldsVisible(bool) override {}
    void SetNewSSReadOnly(bool) override {}

    void SetStatusText(int panel, const std::string& text) override;

    // Nobody types here and nobody can answer.
    void ShowInputError(const std::string& message) override { log_(kLogError + message); }
    bool Confirm(const std::string&) override { return false; }

    // What a window would show now.
    unsigned Ticks() const { return ticks_; }  // seconds shown since start
    const std::string& Clock() const { return clock_; }
    int Mode() const { return mode_ ? (*mode_ ? 1 : 0) : -1; }
    bool ZoneShown() const { return zoneShown_; }
    const std::string& StatusText(int panel) const { return status_[panel == 0 ? 0 : 1]; }

  private:
    TLogLine log_;
    bool started_ = false;
    bool lost_ = false;
    std::optional<bool> mode_;  // the synchronisation state last logged
    int sumWnt_ = 0;
    bool timeMode_ = true;
    bool zoneShown_ = false;
    unsigned ticks_ = 0;
    std::string clock_ = "00:00:00";
    std::string status_[2];
};

}  // namespace tamberline
