// Recording stand-in for the main window: keeps the last texts and states the editors
// write, every message shown, and answers confirmations from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "device/view.h"

namespace tamberline::test {

class TFakeMainView : public TMainView {
  public:
    std::string ZoneHours, ZoneMinutes, NewHH, NewMM, NewSS;
    bool ZoneMinutesEnabled = true;
    int SumWnt = 0;
    bool TimeMode = true;
    bool NewTimeFieldsVisible = true;
    bool NewSSReadOnly = false;
    int CorrectFocusRequests = 0;
    int ModeApplications = 0;
    std::vector<std::string> InputErrors;
    std::vector<std::string> Questions;
    std::deque<bool> Answers;                         // scripted Confirm answers; No when empty
    std::function<void()> OnSumWntSelectedByProgram;  // the real radio group re-runs its handler

    void ShowClock(const std::string&, const std::string&, const std::string&) override {}
    // The window re-enables the whole zone group in the synchronised mode.
    void ApplyOperatingMode(bool synchronised) override {
        ++ModeApplications;
        ZoneMinutesEnabled = synchronised;
    }
    void UpdateTray(bool) override {}
    void SetZoneHoursText(const std::string& t) override { ZoneHours = t; }
    void SetZoneMinutesText(const std::string& t) override { ZoneMinutes = t; }
    void SetZoneMinutesEnabled(bool on) override { ZoneMinutesEnabled = on; }
    int SumWntItem() const override { return SumWnt; }
    void SetSumWntItem(int index) override {
        SumWnt = index;
        if (OnSumWntSelectedByProgram) OnSumWntSelectedByProgram();
    }
    void FocusCorrectButton() override { ++CorrectFocusRequests; }
    void SetNewHHText(const std::string& t) override { NewHH = t; }
    void SetNewMMText(const std::string& t) override { NewMM = t; }
    void SetNewSSText(const std::string& t) override { NewSS = t; }
    bool TimeModeSelected() const override { return TimeMode; }
    void SetTimeModeSelected(bool on) override { TimeMode = on; }
    void SetNewTimeFieldsVisible(bool on) override { NewTimeFieldsVisible = on; }
    void SetNewSSReadOnly(bool on) override { NewSSReadOnly = on; }
    void SetStatusText(int, const std::string&) override {}
    void ShowInputError(const std::string& m) override { InputErrors.push_back(m); }
    bool Confirm(const std::string& q) override {
        Questions.push_back(q);
        if (Answers.empty()) return false;
        const bool a = Answers.front();
        Answers.pop_front();
        return a;
    }
};

}  // namespace tamberline::test
