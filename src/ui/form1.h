// The main window: shows the device clock and its synchronisation state, holds the time-zone and
// time editors, the menus, the status bar and the tray icon, and owns the program's state, the
// serial port and the second tick. The decisions live in the plain C++ units it composes.
#pragma once

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <map>
#include <memory>

#include "app/current_dir.h"
#include "app/end_requests.h"
#include "app/window_core.h"
#include "clock/system_clock.h"
#include "device/state.h"
#include "device/time_editor.h"
#include "device/view.h"
#include "device/zone_editor.h"
#include "serial/comport.h"
#include "ui/dlg_comset.h"
#include "ui/dlg_correct.h"
#include "ui/dlg_syncro.h"
#include "ui/spinbutton.h"
#include "ui/tray.h"

namespace tamberline {

// Group hints hold one carriage return, as stored with the layout; tooltips need "\n".
inline const char* const kHintHours =
    "Для перехода на зимнее/летнее время или смены ча-\r  сового пояса, необходима синхронизация от GPS.";
inline const char* const kHintTimeSet =
    "Для ручной корректировки времени, прибор\r  должен работать в автономном режиме.";

// lbSputnik in the three states; its room is made for the widest of kSputnikTexts.
inline const char* const kSputnikNoSync = "Синхронизации от спутников нет.";
inline const char* const kSputnikSync = "Синхронизация от спутников есть.";
inline const char* const kSputnikNoLink = "Нет связи с прибором.";
inline const char* const kSputnikNoService = "Нет связи со службой.";
inline const char* const kSputnikTexts[] = {kSputnikNoSync, kSputnikSync, kSputnikNoLink, kSputnikNoService};

class TForm1 : public QMainWindow, public TMainView {
    Q_OBJECT
  public:
    // `trayAvailable`: whether the desktop has a notification area; without one the window is
    // never hidden, since nothing could bring it back. `makeCore` gives the core the window drives: the
    // standalone program's own (the default) or the service's, as its panel.
    TForm1(TSystemClock& clock, TCurrentDirectory& dir, bool trayAvailable, TWindowCoreFactory makeCore = {},
           QWidget* parent = nullptr);
    ~TForm1() override;

    // The three dialogs, created once after the window. A port list that cannot be read is
    // reported and the port dialog is tried again when its menu item is chosen.
    void CreateDialogs();

    // A notification area that comes up after the program (a panel started later at log-in): the
    // icon goes there as the state stands and the window hides to it, as a complete start-up would
    // have done; after a start-up that failed the window stays up.
    void TrayAppeared();

    // TMainView
    void ShowClock(const std::string& hh, const std::string& mm, const std::string& ss) override;
    void ApplyOperatingMode(bool synchronised) override;
    void UpdateTray(bool synchronised) override;
    void ShowLinkLost() override;
    void ShowNoService() override;
    void SetZoneHoursText(const std::string& text) override;
    void SetZoneMinutesText(const std::string& text) override;
    void SetZoneMinutesEnabled(bool on) override;
    int SumWntItem() const override;
    void SetSumWntItem(int index) override;
    void FocusCorrectButton() override;
    void SetNewHHText(const std::string& text) override;
    void SetNewMMText(const std::string& text) override;
    void SetNewSSText(const std::string& text) override;
    bool TimeModeSelected() const override;
    void SetTimeModeSelected(bool timeMode) override;
    void SetNewTimeFieldsVisible(bool on) override;
    void SetNewSSReadOnly(bool on) override;
    void SetStatusText(int panel, const std::string& text) override;
    void ShowInputError(const std::string& message) override;
    bool Confirm(const std::string& question) override;

    // Handlers that are not the editors' own.
    void FormActivate();
    void HideToTray();
    void RestoreFromTray();
    void mnSetCOMClick();
    void mnSetSyncroPeriodClick();
    void mnSetSputCorClick();

    // The end of the session (the session manager's, and the system's requests to end: SIGTERM,
    // SIGINT, SIGHUP) runs the same close steps as the close button, once.
    void WatchEndOfSession(QGuiApplication& app);

    // Message boxes of the editors, replaceable so tests answer them without a modal loop.
    std::function<void(const std::string&)> InputErrorBox;
    std::function<bool(const std::string&)> ConfirmBox;

    TSharedState State;
    TComPort ComPort1;
    TTrayIcon Tray;

    // Controls, named as in the window layout.
    QGroupBox *gbDevice, *grbHours, *gbTimeSet, *rdgSumWnt, *GroupBox1;
    QLabel *lbHH, *lbPnt1, *lbMM, *lbPnt2, *lbSS, *lbSputnik;
    QLabel *imSputYes, *imSputNo, *imLinkNo, *imTimeYes, *imTimeNo;
    QLabel *stHour, *stMinutes, *lbNewHH, *lbNewMM, *lbNewSS;
    QRadioButton *rbWinter, *rbSummer, *rbtTime, *rbtSec;
    QButtonGroup* SumWntButtons;
    QLineEdit *edHours, *edMinutes, *edNewHH, *edNewMM, *edNewSS;
    TSpinButton *sbHours, *sbMinutes, *sbNewHH, *sbNewMM, *sbNewSS;
    QPushButton *btCorrect, *btNewTime;
    QFrame* Bevel1;
    QLabel *StatusPanel0, *StatusPanel1;
    QAction *mnCtrlSet, *mnCtrlTime, *mnCtrlSyncro, *mnSetCOM, *mnSetSyncroPeriod, *mnSetSputCor;

  signals:
    // The window was closed by the user: the program ends.
    void Closed();

  protected:
    bool event(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void BuildDeviceGroup(QWidget* client);
    void BuildHoursGroup(QWidget* client);
    void BuildTimeSetGroup(QWidget* client);
    void BuildStatusBar();
    void BuildMenus();
    void SetTabOrder();
    // Room for every text in the face in use (form1_layout.cpp); the Fit* and *Width steps
    // return the width in px that their group or the status bar needs.
    void FitToFont();
    int FitHoursRow();
    int FitTimeSetRows();
    int PlaceClockDigits();
    int SputnikTextWidth() const;
    int DeviceRowWidth();
    void PlaceDeviceState();
    int FitStatusBar();
    void ConnectHandlers();
    void ConnectEdit(QLineEdit* ed, void (TTimeEditor::*change)(const std::string&), void (TTimeEditor::*exit)());
    void ConnectSpin(TSpinButton* sb, void (TZoneEditor::*up)(), void (TZoneEditor::*down)());
    void ConnectSpin(TSpinButton* sb, void (TTimeEditor::*up)(), void (TTimeEditor::*down)());
    void FormCreate();
    // A user's request handler: the editor's step, then the core hears of what it stored.
    void Request(const std::function<void()>& store);
    void ShowDeviceStateAsStale(bool stale);
    bool CanHideToTray() const;
    bool StartComplete = false;  // the start-up found the device (or the service) there

    TSystemClock& Clock;
    TCurrentDirectory& Dir;
    bool TrayAvailable;
    std::unique_ptr<TEndRequests> EndRequests;
    bool CloseStepsDone = false;
    std::unique_ptr<TWindowCore> Core;
    std::unique_ptr<TZoneEditor> Zone;
    std::unique_ptr<TTimeEditor> Time;
    std::unique_ptr<TDlgComSet> DlgComSet;
    std::unique_ptr<TDlgCorrect> DlgCorrect;
    std::unique_ptr<TDlgSelectSyncroTime> DlgSelectSyncroTime;
    std::map<const QWidget*, std::function<void()>> ExitHandlers;
};

}  // namespace tamberline
