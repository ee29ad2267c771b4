// Recording stand-in for the main window: keeps the last texts and states the core and the
// editors write, every mode and tray call, every message shown, and answers confirmations from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "device/view.h"

namespace tamberline::test {

class TFakeMainView : public TMainView {
  public:
    std::string HH, MM, SS;  // device clock as shown
    std::string ZoneHours, ZoneMinutes, NewHH, NewMM, NewSS;
    std::string Status[2];                   // panel 0 date line, panel 1 last PC synchronisation
    std::vector<bool> ModeCalls, TrayCalls;  // every ApplyOperatingMode / UpdateTray argument
    bool ZoneMinutesEnabled = true;
    int SumWnt = 0;
    bool TimeMode = true;
    bool NewTimeFieldsVisible = true;
    bool NewSSReadOnly = false;
    int CorrectFocusRequests = 0;
    int ModeApplications = 0;
    int LinkLostShown = 0;  // ShowLinkLost calls
    int NoServiceShown = 0;
    bool LinkLost = false;  // shown now: until the next UpdateTray
    std::vector<std::string> InputErrors;
    std::vector<std::string> Questions;
    std::deque<bool> Answers;                         // scripted Confirm answers; No when empty
    std::function<void()> OnSumWntSelectedByProgram;  // the real radio group re-runs its handler

    void ShowClock(const std::string& hh, const std::string& mm, const std::string& ss) override {
        HH = hh, MM = mm, SS = ss;
    }
    // The window re-enables the whole zone group in the synchronised mode.
    void ApplyOperatingMode(bool synchronised) override {
        ++ModeApplications;
        ModeCalls.push_back(synchronised);
        ZoneMinutesEnabled = synchronised;
    }
    void UpdateTray(bool synchronised) override {
        TrayCalls.push_back(synchronised);
        LinkLost = false;
    }
    void ShowLinkLost() override {
        ++LinkLostShown;
        LinkLost = true;
    }
    void ShowNoService() override { ++NoServiceShown; }
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
    void SetStatusText(int panel, const std::string& t) override { Status[panel] = t; }
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
