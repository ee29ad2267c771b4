// What the program's core asks of the main window. TForm1 implements it with widgets;
// tests implement it with a recording fake. Texts are UTF-8.
#pragma once

#include <string>

namespace tamberline {

class TMainView {
  public:
    virtual ~TMainView() = default;

    // Device state group.
    virtual void ShowClock(const std::string& hh, const std::string& mm, const std::string& ss) = 0;  // lbHH/lbMM/lbSS
    virtual void ApplyOperatingMode(bool synchronised) = 0;
    virtual void UpdateTray(bool synchronised) = 0;  // icon and tool-tip of the state
    // No link to the device: tray and lbSputnik say so until the next time frame (UpdateTray and
    // ApplyOperatingMode then bring back the state of the mode).
    virtual void ShowLinkLost() = 0;
    // A panel whose service went away: tray and lbSputnik say so until the service is back.
    virtual void ShowNoService() = 0;

    // Time-zone editor.
    virtual void SetZoneHoursText(const std::string& text) = 0;    // edHours
    virtual void SetZoneMinutesText(const std::string& text) = 0;  // edMinutes
    virtual void SetZoneMinutesEnabled(bool on) = 0;               // edMinutes and sbMinutes
    virtual int SumWntItem() const = 0;                            // rdgSumWnt selected index
    virtual void SetSumWntItem(int index) = 0;                     // selection by program
    virtual void FocusCorrectButton() = 0;                         // btCorrect, when it can take focus

    // Autonomous time editor.
    virtual void SetNewHHText(const std::string& text) = 0;  // written by program: no input check
    virtual void SetNewMMText(const std::string& text) = 0;
    virtual void SetNewSSText(const std::string& text) = 0;
    virtual bool TimeModeSelected() const = 0;            // rbtTime checked
    virtual void SetTimeModeSelected(bool timeMode) = 0;  // rbtTime on / rbtSec on
    virtual void SetNewTimeFieldsVisible(bool on) = 0;    // edNewHH, sbNewHH, lbNewHH, edNewMM, sbNewMM, lbNewMM
    virtual void SetNewSSReadOnly(bool on) = 0;

    // Status bar: panel 0 date line, panel 1 last PC synchronisation.
    virtual void SetStatusText(int panel, const std::string& text) = 0;

    // Message boxes.
    virtual void ShowInputError(const std::string& message) = 0;  // title "Error", error icon, "OK"
    virtual bool Confirm(const std::string& question) = 0;        // title "Confirm", "&Yes"/"&No"; true on Yes
};

}  // namespace tamberline
