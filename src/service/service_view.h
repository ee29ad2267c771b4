// The headless program's main "window": it draws nothing and writes one line per event that matters
// (mode of the device, link lost and back, the clock set) for the journal.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "device/view.h"

namespace tamberline {

using TLogLine = std::function<void(const std::string& line)>;

class TServiceView : public TMainView {
  public:
    explicit TServiceView(TLogLine log) : log_(std::move(log)) {}

    // Start-up shows the stored "Last Syncro"; after this a new one means the clock was just set.
    void StartupDone() { started_ = true; }

    void ShowClock(const std::string&, const std::string&, const std::string&) override {}
    void ApplyOperatingMode(bool synchronised) override;
    void UpdateTray(bool synchronised) override;
    void ShowLinkLost() override;

    void SetZoneHoursText(const std::string&) override {}
    void SetZoneMinutesText(const std::string&) override {}
    void SetZoneMinutesEnabled(bool) override {}
    // The stored winter/summer choice, which zone frames and the zone command read.
    int SumWntItem() const override { return sumWnt_; }
    void SetSumWntItem(int index) override { sumWnt_ = index; }
    void FocusCorrectButton() override {}

    void SetNewHHText(const std::string&) override {}
    void SetNewMMText(const std::string&) override {}
    void SetNewSSText(const std::string&) override {}
    bool TimeModeSelected() const override { return true; }
    void SetTimeModeSelected(bool) override {}
    void SetNewTimeFieldsVisible(bool) override {}
    void SetNewSSReadOnly(bool) override {}

    void SetStatusText(int panel, const std::string& text) override;

    // Nobody types here and nobody can answer.
    void ShowInputError(const std::string& message) override { log_("error: " + message); }
    bool Confirm(const std::string&) override { return false; }

  private:
    TLogLine log_;
    bool started_ = false;
    bool lost_ = false;
    std::optional<bool> mode_;  // the synchronisation state last logged
    int sumWnt_ = 0;
};

}  // namespace tamberline
