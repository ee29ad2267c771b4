// TForm1's life cycle: wiring, creation, the first activation, hiding to the tray and back,
// close and destruction.
#include <QCloseEvent>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ui/error_box.h"
#include "ui/form1.h"

namespace tamberline {

void TForm1::ConnectSpin(TSpinButton* sb, void (TZoneEditor::*up)(), void (TZoneEditor::*down)()) {
    connect(sb, &TSpinButton::upClick, this, [this, up] { Guarded([&] { ((*Zone).*up)(); }); });
    connect(sb, &TSpinButton::downClick, this, [this, down] { Guarded([&] { ((*Zone).*down)(); }); });
}

void TForm1::ConnectSpin(TSpinButton* sb, void (TTimeEditor::*up)(), void (TTimeEditor::*down)()) {
    connect(sb, &TSpinButton::upClick, this, [this, up] { Guarded([&] { ((*Time).*up)(); }); });
    connect(sb, &TSpinButton::downClick, this, [this, down] { Guarded([&] { ((*Time).*down)(); }); });
}

void TForm1::ConnectEdit(QLineEdit* ed, void (TTimeEditor::*change)(const std::string&), void (TTimeEditor::*exit)()) {
    // textEdited: user edits only; text the program writes must not be checked as typed input.
    connect(ed, &QLineEdit::textEdited, this,
            [this, change](const QString& t) { Guarded([&] { ((*Time).*change)(t.toStdString()); }); });
    ExitHandlers[ed] = [this, exit] { ((*Time).*exit)(); };
    ed->installEventFilter(this);
}

void TForm1::Request(const std::function<void()>& store) {
    Guarded([&] {
        store();
        Core->RequestStored();
    });
}

void TForm1::ConnectHandlers() {
    ConnectSpin(sbHours, &TZoneEditor::sbHoursUpClick, &TZoneEditor::sbHoursDownClick);
    ConnectSpin(sbMinutes, &TZoneEditor::sbMinutesUpClick, &TZoneEditor::sbMinutesDownClick);
    ConnectSpin(sbNewHH, &TTimeEditor::sbNewHHUpClick, &TTimeEditor::sbNewHHDownClick);
    ConnectSpin(sbNewMM, &TTimeEditor::sbNewMMUpClick, &TTimeEditor::sbNewMMDownClick);
    ConnectSpin(sbNewSS, &TTimeEditor::sbNewSSUpClick, &TTimeEditor::sbNewSSDownClick);
    ConnectEdit(edNewHH, &TTimeEditor::edNewHHChange, &TTimeEditor::edNewHHExit);
    ConnectEdit(edNewMM, &TTimeEditor::edNewMMChange, &TTimeEditor::edNewMMExit);
    ConnectEdit(edNewSS, &TTimeEditor::edNewSSChange, &TTimeEditor::edNewSSExit);

    connect(SumWntButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (!checked) return;  // the button losing the selection reports too
        Request([&] { Zone->rdgSumWntClick([this](uint8_t) { Core->SumWntAccepted(); }); });
    });
    connect(rbtTime, &QRadioButton::toggled, this, [this](bool on) {
        if (on) Guarded([&] { Time->rbtTimeClick(); });
    });
    connect(rbtSec, &QRadioButton::toggled, this, [this](bool on) {
        if (on) Guarded([&] { Time->rbtSecClick(); });
    });
    auto correct = [this] { Request([&] { Zone->btCorrectClick(); }); };
    connect(btCorrect, &QPushButton::clicked, this, correct);
    connect(mnCtrlSet, &QAction::triggered, this, correct);
    auto newTime = [this] { Request([&] { Time->btNewTimeClick(); }); };
    connect(btNewTime, &QPushButton::clicked, this, newTime);
    connect(mnCtrlTime, &QAction::triggered, this, newTime);
    connect(mnCtrlSyncro, &QAction::triggered, this, [this] { Request([&] { State.PendingAction = paSyncNow; }); });
    connect(mnSetCOM, &QAction::triggered, this, [this] { Guarded([&] { mnSetCOMClick(); }); });
    connect(mnSetSyncroPeriod, &QAction::triggered, this, [this] { Guarded([&] { mnSetSyncroPeriodClick(); }); });
    connect(mnSetSputCor, &QAction::triggered, this, [this] { Guarded([&] { mnSetSputCorClick(); }); });
    connect(&Tray, &TTrayIcon::restoreRequested, this, &TForm1::RestoreFromTray);
    connect(&Tray, &TTrayIcon::exitRequested, this, &QWidget::close);
}

void TForm1::FormCreate() {
    // The group hints stay off until the first time frame sets a mode; the minimise handler is
    // changeEvent, which hides only once the tray icon is there to bring the window back.
    try {
        Core->Start();
        StartComplete = true;
    } catch (const std::exception& e) {
        // The window stays up; the core shows the loss and looks for the device each second, and the
        // tray icon is there all the same, with that state.
        ShowGeneralError(e);
    }
    if (TrayAvailable) Tray.Add();
    if (StartComplete) State.HideOnActivate = 1;
}

void TForm1::TrayAppeared() {
    if (TrayAvailable) return;
    TrayAvailable = true;
    Tray.Add();
    if (StartComplete) HideToTray();
}

bool TForm1::CanHideToTray() const {
    return TrayAvailable && Tray.Added();
}

void TForm1::FormActivate() {
    if (State.HideOnActivate != 1) return;
    State.HideOnActivate = 0;
    HideToTray();
}

void TForm1::HideToTray() {
    if (!CanHideToTray()) return;
    hide();
    // Measurement aid for the footprint bench: when the program reached the tray (wall clock, µs).
    if (const char* probe = std::getenv("TAMBERLINE_STARTUP_PROBE"); probe && *probe) {
        const auto us =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        std::fprintf(stderr, "tamberline hidden-to-tray %lld\n", static_cast<long long>(us));
    }
}

void TForm1::RestoreFromTray() {
    showNormal();
    raise();
    activateWindow();
}

bool TForm1::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) Guarded([&] { FormActivate(); });
    return QMainWindow::event(e);
}

void TForm1::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    // Without a tray icon the window minimises normally, so it can always be found again.
    if (e->type() == QEvent::WindowStateChange && isMinimized() && CanHideToTray())
        QTimer::singleShot(0, this, [this] { HideToTray(); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::FocusOut) {
        // Leaving the field means moving to another control of the window; switching to another
        // window, a message box or a menu keeps the typed text as it is.
        const Qt::FocusReason r = static_cast<QFocusEvent*>(e)->reason();
        auto it = ExitHandlers.find(static_cast<QWidget*>(watched));
        if (it != ExitHandlers.end() && r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason)
            Guarded(it->second);
    }
    return QMainWindow::eventFilter(watched, e);
}

void TForm1::closeEvent(QCloseEvent* e) {
    // The close goes ahead whatever happens to the settings: an unwritable file is reported, and
    // the program still ends (the port is closed by then). A second request (the session ending
    // while the window closes) finds the steps done.
    if (!CloseStepsDone) {
        CloseStepsDone = true;
        Guarded([&] { Core->Close(); });
        Tray.Remove();
    }
    e->accept();
    emit Closed();
}

void TForm1::WatchEndOfSession(QGuiApplication& app) {
    // A request posted just before the window went away must find nothing to close.
    auto end = [self = QPointer<TForm1>(this)] {
        if (self && !self->CloseStepsDone) self->close();
    };
    // The session manager may end the process right after these signals: the steps run at once.
    connect(&app, &QGuiApplication::commitDataRequest, this, end, Qt::DirectConnection);
    connect(&app, &QCoreApplication::aboutToQuit, this, end, Qt::DirectConnection);
    EndRequests = ListenForEndRequests(end);
}

TForm1::~TForm1() {
    EndRequests.reset();
    Tray.Remove();
    // The core goes first: it lets go of the port's reports, and the port then releases the device in
    // its own destructor, which a refused close cannot stop.
    Core.reset();
}

}  // namespace tamberline
