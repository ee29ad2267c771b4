// The main window as the user meets it: start-up without settings, with a port that cannot be
// opened and against the simulated device; the two modes; the menus; the tray; close.
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "app/inifile.h"
#include "support/end_requests.h"
#include "support/fake_os.h"
#include "support/pty_pair.h"
#include "support/sim_process.h"
#include "ui/error_box.h"
#include "ui/form1.h"
#include "ui/qt_delivery.h"
#include "ui/sim_commands.h"

namespace tamberline {

namespace {

// Friday, 15 March 2024, 12:00; never moves and never really sets anything.
using test::TFakeClock;
using test::TFixedDir;

const QString kNoSync = QString::fromUtf8("Синхронизации от спутников нет.");
const QString kSync = QString::fromUtf8("Синхронизация от спутников есть.");
const QString kNoLink = QString::fromUtf8("Нет связи с прибором.");

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp;
    TFixedDir dir;
    TFakeClock clock;
    std::vector<std::string> boxes;

    void WriteSettings(const std::string& text) { std::ofstream(dir.Dir + "/Settings.INI") << text; }
    std::string Setting(const char* section, const char* key) {
        return TIniFile(dir.Dir + "/Settings.INI").ReadString(section, key, "<none>");
    }
    std::unique_ptr<TForm1> Start(bool trayAvailable = true) {
        auto form = std::make_unique<TForm1>(clock, dir, trayAvailable);
        form->ConfirmBox = [](const std::string&) { return true; };
        form->InputErrorBox = [this](const std::string& m) { boxes.push_back("input: " + m); };
        return form;
    }
  private slots:
    void initTestCase() {
        BindQtDelivery();
        InstallGeneralErrorHandler();
        SetErrorBoxHook([this](const std::string& text) { boxes.push_back(text); });
    }
    void init() {
        tmp = std::make_unique<QTemporaryDir>();
        dir.Dir = tmp->path().toStdString();
        boxes.clear();
    }

    void noSettingsFileGivesTheDefaults() {
        auto form = Start();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->SumWntItem(), 0);
        QCOMPARE(form->StatusPanel1->text(),
                 QString::fromUtf8(" Последняя синхронизация времени на ПК: еще не проводилась..."));
        QCOMPARE(form->StatusPanel0->text(), QString::fromUtf8(" Пт: 15.03.2024"));
        QCOMPARE(form->edNewHH->text(), QString("  0"));
        QVERIFY(form->rbtTime->isChecked());
        // Fixed client area (wider where a face needs it), no maximise button.
        QVERIFY(form->centralWidget()->width() >= 459);
        QCOMPARE(form->centralWidget()->height() + form->statusBar()->height(), 314);
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(form->minimumSize(), form->maximumSize());
    }

    // A device missing at start (an adapter plugged in late): one box, then the lost state with the icon
    // in the tray; requests are refused rather than kept for later; once the device appears it is opened
    // and the program goes on as after a normal start, the window staying up.
    void startWithoutTheDeviceLooksForItEachSecond() {
        WriteSettings("[ComPortSettings]\nComPort=" + TSimProcess::LaterPort(dir.Dir) + "\n");
        auto form = Start();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        QCOMPARE(boxes.size(), size_t(1));
        // wine maps the port to a path that is not there yet, and its open fails a step later than Windows'.
        QVERIFY2(boxes[0].find(" (win error code: ") != std::string::npos, boxes[0].c_str());
        QVERIFY(form->isVisible() && form->Tray.Added());
        QCOMPARE(form->Tray.Icon().toolTip(), QString::fromUtf8("Tamberline 1.05 : Нет связи с прибором."));
        QCOMPARE(form->lbSputnik->text(), kNoLink);
        QCOMPARE(form->lbHH->palette().color(QPalette::WindowText), QColor(Qt::gray));
        QCOMPARE(form->focusWidget(), form->btCorrect);
        boxes.clear();
        form->btNewTime->click();
        QCOMPARE(boxes, std::vector<std::string>{"Нет связи с прибором."});
        QCOMPARE(form->State.PendingAction, paNone);

        TSimProcess sim(TAMBERLINE_SIM, TSimProcess::LaterArgs(dir.Dir));
        QCOMPARE(test::NextSimLine(sim, "cmd", 5000).value_or("none"),
                 std::string("cmd E2 E4 0C 03 53"));  // the zone query
        QTRY_COMPARE_WITH_TIMEOUT(form->lbSputnik->text(), kSync, 2000);
        QCOMPARE(form->lbHH->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QVERIFY(form->isVisible());
        QCOMPARE(boxes.size(), size_t(1));
    }

    void trayThatComesLaterTakesTheProgram() {
        TPtyPair pty;
        WriteSettings("[ComPortSettings]\nComPort=" + pty.SlavePath() + "\n");
        auto form = Start(false);
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QVERIFY(form->isVisible() && !form->Tray.Added());
        form->ShowLinkLost();  // the state shown meanwhile is the one the icon takes
        form->TrayAppeared();
        QVERIFY(form->Tray.Added());
        QVERIFY(!form->isVisible());
        QCOMPARE(form->Tray.Icon().toolTip(), QString::fromUtf8("Tamberline 1.05 : Нет связи с прибором."));
    }

    void operatingModeSetsEveryRowEachTime() {
        TPtyPair pty;
        WriteSettings("[ComPortSettings]\nComPort=" + pty.SlavePath() + "\n");
        auto form = Start();
        QList<QWidget*> timeSet{form->edNewHH, form->sbNewHH,   form->edNewMM, form->sbNewMM, form->edNewSS,
                                form->sbNewSS, form->btNewTime, form->rbtTime, form->rbtSec};
        QList<QWidget*> hours{form->rdgSumWnt, form->edHours,   form->edMinutes,
                              form->sbHours,   form->sbMinutes, form->btCorrect};
        // Before the first frame: everything usable, no hints, the clock face in front.
        for (QWidget* w : timeSet + hours)
            QVERIFY2(w->isEnabled(), qPrintable(w->metaObject()->className()));
        QVERIFY(form->grbHours->toolTip().isEmpty() && form->gbTimeSet->toolTip().isEmpty());
        QVERIFY(form->imSputYes->isHidden() && !form->imSputNo->isHidden());
        QVERIFY(!form->imTimeYes->isHidden());
        QCOMPARE(form->lbSputnik->text(), kNoSync);

        const struct { bool sync; } modes[] = {{true}, {false}, {true}};
        for (const auto& m : modes) {
            form->ApplyOperatingMode(m.sync);
            QCOMPARE(form->imSputYes->isHidden(), !m.sync);
            QCOMPARE(form->imSputNo->isHidden(), m.sync);
            QCOMPARE(form->lbSputnik->text(), m.sync ? kSync : kNoSync);
            for (QWidget* w : timeSet)
                QCOMPARE(w->isEnabled(), !m.sync);
            for (QWidget* w : hours)
                QCOMPARE(w->isEnabled(), m.sync);
            // The disabled group explains itself; the hint's carriage return shows as a line break.
            QCOMPARE(form->gbTimeSet->toolTip(), m.sync ? QString::fromUtf8("Для ручной корректировки времени, прибор\n"
                                                                            "  должен работать в автономном режиме.")
                                                        : QString());
            QCOMPARE(form->grbHours->toolTip().isEmpty(), m.sync);
            QVERIFY(!form->grbHours->toolTip().contains('\r'));
            QCOMPARE(form->imTimeYes->isHidden(), m.sync);
            QCOMPARE(form->imTimeNo->isHidden(), !m.sync);
        }
        // The same mode again re-enables what was disabled meanwhile, but keeps +-12 h minutes locked.
        form->btCorrect->setEnabled(false);
        form->State.ZoneHours = 12;
        form->ApplyOperatingMode(true);
        QVERIFY(form->btCorrect->isEnabled());
        QVERIFY(!form->edMinutes->isEnabled() && !form->sbMinutes->isEnabled());
    }

    // The menu works in both modes; each button only in the mode that enables it.
    void menusAndButtonsStoreTheirRequests() {
        TPtyPair pty;
        WriteSettings("[ComPortSettings]\nComPort=" + pty.SlavePath() + "\n");
        auto form = Start();
        const struct {
            const char* name;
            bool sync;
            std::function<void(TForm1&)> press;
            uint8_t action;
        } cases[] = {
            {"menu: send zone while autonomous", false, [](TForm1& f) { f.mnCtrlSet->trigger(); }, paSendZone},
            {"menu: send time while synchronised", true, [](TForm1& f) { f.mnCtrlTime->trigger(); }, paSendTime},
            {"menu: sync the PC", false, [](TForm1& f) { f.mnCtrlSyncro->trigger(); }, paSyncNow},
            {"button: set the zone", true, [](TForm1& f) { f.btCorrect->click(); }, paSendZone},
            {"button: write the time", false, [](TForm1& f) { f.btNewTime->click(); }, paSendTime},
        };
        for (const auto& c : cases) {
            form->ApplyOperatingMode(c.sync);
            form->State.PendingAction = paNone;
            c.press(*form);
            QVERIFY2(form->State.PendingAction == c.action, c.name);
        }
    }

    void winterSummerWriteErrorsReachTheBox() {
        WriteSettings("[ComPortSettings]\nComPort=" + std::string(kNoSuchPort) + "\n[Common Settings]\nSumWnt=1\n");
        auto form = Start();
        boxes.clear();
        QVERIFY(form->rbSummer->isChecked());  // the saved choice, selected without a question
        // A file that cannot be written: the handler's error goes to the general box.
        const std::string good = dir.Dir;
        dir.Dir = good + "/gone";
        form->rbWinter->click();
        dir.Dir = good;
        QCOMPARE(boxes.size(), size_t(1));
        QVERIFY(boxes[0].rfind("Unable to write to " + good + "/gone", 0) == 0);
        QVERIFY(boxes[0].back() == '.');
    }

    void simulatorDrivesClockModesAndTray() {
        TSimProcess sim(TAMBERLINE_SIM, {"--tod", "13:45:10"});
        WriteSettings("[ComPortSettings]\nComPort=" + sim.PtyPath() + "\nBaudRate=38400\n");
        auto form = Start();
        QSignalSpy closed(form.get(), &TForm1::Closed);
        QVERIFY(boxes.empty());
        QVERIFY(form->Tray.Added());
        QCOMPARE(form->Tray.Icon().toolTip(), QString::fromUtf8("Tamberline 1.05 : Синхронизации от спутников нет."));
        form->show();
        form->activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(!form->isVisible(), 3000);  // first activation hides to the tray

        // The first tick fills the time editor from the device and sends the zone query.
        auto first = test::NextSimLine(sim, "cmd", 4000);
        QCOMPARE(first.value_or("none"), std::string("cmd E2 E4 0C 03 53"));  // the zone query
        QCOMPARE(form->edNewHH->text(), QString("13"));
        QCOMPARE(form->edNewMM->text(), QString("45"));
        QCOMPARE(form->lbSputnik->text(), kSync);
        QCOMPARE(form->Tray.Icon().toolTip(), QString::fromUtf8("Tamberline 1.05 : Синхронизация от спутников есть"));
        QCOMPARE(form->Tray.UpdateCount(), 1);

        sim.Command("sync off");
        QTRY_COMPARE_WITH_TIMEOUT(form->lbSputnik->text(), kNoSync, 3000);
        QCOMPARE(form->Tray.Icon().toolTip(), QString::fromUtf8("Tamberline 1.05 : Синхронизации от спутников нет."));
        QVERIFY(form->btNewTime->isEnabled() && !form->btCorrect->isEnabled());
        QTest::qWait(2200);  // more frames of the same state change nothing in the tray
        QCOMPARE(form->Tray.UpdateCount(), 2);
        sim.Command("sync on");
        QTRY_COMPARE_WITH_TIMEOUT(form->lbSputnik->text(), kSync, 3000);
        QCOMPARE(form->Tray.UpdateCount(), 3);
        QVERIFY(form->lbHH->text() == "13" && form->lbMM->text() == "45");

        // A silent device: the window and the tray say so, without a box, until frames come again.
        sim.Command("pause 4.5");
        QTRY_COMPARE_WITH_TIMEOUT(form->lbSputnik->text(), kNoLink, 5000);
        QCOMPARE(form->Tray.Icon().toolTip(), QString::fromUtf8("Tamberline 1.05 : Нет связи с прибором."));
        QVERIFY(!form->imLinkNo->isHidden() && form->imSputYes->isHidden() && form->imSputNo->isHidden());
        QVERIFY2(!form->imTimeYes->isHidden() && !form->imTimeNo->isHidden(), "no mode's picture stays");
        QCOMPARE(form->lbSS->palette().color(QPalette::WindowText), QColor(Qt::gray));
        QVERIFY2(form->btCorrect->isEnabled(), "the mode's controls stay");
        QTRY_COMPARE_WITH_TIMEOUT(form->lbSputnik->text(), kSync, 3000);
        QCOMPARE(form->Tray.Icon().toolTip(), QString::fromUtf8("Tamberline 1.05 : Синхронизация от спутников есть"));
        QVERIFY(form->imLinkNo->isHidden() && !form->imSputYes->isHidden());

        // Close: port closed, then port, baud rate and the winter/summer choice written.
        form->close();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form->ComPort1.Connected());
        QCOMPARE(Setting("ComPortSettings", "ComPort"), sim.PtyPath());
        QCOMPARE(Setting("ComPortSettings", "BaudRate"), std::string("38400"));
        QCOMPARE(Setting("Common Settings", "SumWnt"), std::string("0"));
        QVERIFY(boxes.empty());
    }

    void trayHidesRestoresAndCloses() {
        TPtyPair pty;
        WriteSettings("[ComPortSettings]\nComPort=" + pty.SlavePath() + "\n");
        auto form = Start();
        QSignalSpy closed(form.get(), &TForm1::Closed);
        form->show();
        form->activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(!form->isVisible(), 3000);
        // Only the first activation hides.
        emit form->Tray.Icon().activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(form->isVisible());
        QTest::qWait(100);
        QVERIFY(form->isVisible());
        form->setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY_WITH_TIMEOUT(!form->isVisible(), 2000);
        emit form->Tray.Icon().activated(QSystemTrayIcon::Trigger);  // a single click does nothing
        QTest::qWait(50);
        QVERIFY(!form->isVisible());
        form->Tray.mnTrayRestore->trigger();
        QVERIFY(form->isVisible() && !form->isMinimized());

        QCOMPARE(TTrayIcon::MenuPosition(QPoint(500, 400)), QPoint(360, 390));

        form->Tray.mnTrayExit->trigger();
        QCOMPARE(closed.count(), 1);
    }

    void endOfSessionRunsTheCloseStepsOnce() {
        // What a log-out sends, and the session manager's own end: the same steps as the close button.
        auto cases = test::SystemEndRequests();
        cases.push_back({"quit", [] { QMetaObject::invokeMethod(qApp, "aboutToQuit", Qt::DirectConnection); }});
        const std::string before = test::EndHandling();
        for (const auto& c : cases) {
            TPtyPair pty;
            WriteSettings("[ComPortSettings]\nComPort=" + pty.SlavePath() + "\nBaudRate=19200\n");
            auto form = Start();
            QSignalSpy closed(form.get(), &TForm1::Closed);
            form->WatchEndOfSession(*qApp);
            WriteSettings("");
            c.Raise();
            QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 2000);
            QVERIFY2(!form->ComPort1.Connected() && !form->Tray.Added(), c.Name);
            QCOMPARE(Setting("ComPortSettings", "ComPort"), pty.SlavePath());
            QCOMPARE(Setting("ComPortSettings", "BaudRate"), std::string("19200"));
            WriteSettings("");
            form->close();  // a second request finds the steps done
            QCOMPARE(Setting("ComPortSettings", "ComPort"), std::string("<none>"));
            form.reset();
            QVERIFY2(test::EndHandling() == before, "the window's end leaves the system's handling as it was");
        }
        QVERIFY(boxes.empty());
    }
};

}  // namespace tamberline

QTEST_MAIN(tamberline::MainWindowTest)
#include "mainwindow_test.moc"
