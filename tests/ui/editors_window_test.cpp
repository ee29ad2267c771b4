// The two editors of the real main window driven as a user drives them: the arrows of the spin
// buttons clicked with the mouse, text typed key by key or pasted into the fields, the focus moved
// on with Tab, the message boxes read and answered. The port sits on a silent pseudo-terminal, so
// no tick runs and everything on screen comes from the editors.
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>

#include "app/inifile.h"
#include "support/fake_os.h"
#include "support/pty_pair.h"
#include "ui/error_box.h"
#include "ui/form1.h"
#include "ui/qt_delivery.h"

namespace tamberline {

namespace {

// Friday, 15 March 2024, 12:00; never moves and never really sets anything.
using test::TFakeClock;
using test::TFixedDir;

const std::string kHoursRange = "Значение часов должно быть меньше или равно 23!";
const std::string kMinutesNotNumber = "Значение минут должно быть целым и меньше или равно 59!";
const std::string kSecondsNotNumber = "Значение секунд должно быть целым и меньше или равно 59!";

enum TArrow { Up, Down };

// The up arrow is the upper half of the button, the down arrow the lower half.
void ClickArrow(TSpinButton* sb, TArrow arrow) {
    QTest::mouseClick(sb, Qt::LeftButton, Qt::NoModifier,
                      QPoint(sb->width() / 2, arrow == Up ? sb->height() / 4 : sb->height() * 3 / 4));
}

// How the user puts text into a field: key by key (every key is a change of the text) or all at
// once from the clipboard, over what was there.
enum TEntry { Typed, Pasted };

void Enter(QLineEdit* ed, const QString& text, TEntry entry) {
    QTest::mouseClick(ed, Qt::LeftButton);
    QTest::keyClick(ed, Qt::Key_A, Qt::ControlModifier);
    if (entry == Pasted) {
        QApplication::clipboard()->setText(text);
        QTest::keyClick(ed, Qt::Key_V, Qt::ControlModifier);
    } else {
        QTest::keyClicks(ed, text);
    }
}

void Leave(QLineEdit* ed) {
    QTest::keyClick(ed, Qt::Key_Tab);
}

// A field of the time editor: its edit, its arrows and the value behind it.
struct TTimeField {
    QLineEdit* TForm1::*Ed;
    TSpinButton* TForm1::*Sb;
    uint8_t TSharedState::*Value;
};
const TTimeField kHH{&TForm1::edNewHH, &TForm1::sbNewHH, &TSharedState::NewHH};
const TTimeField kMM{&TForm1::edNewMM, &TForm1::sbNewMM, &TSharedState::NewMM};
const TTimeField kSS{&TForm1::edNewSS, &TForm1::sbNewSS, &TSharedState::NewSS};

struct TBoxSeen {
    QString Title, Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QStringList Buttons;
};

}  // namespace

class EditorsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp;
    std::unique_ptr<TPtyPair> pty;
    TFixedDir dir;
    TFakeClock clock;
    std::vector<std::string> generalErrors;
    std::vector<std::string> inputErrors;
    std::vector<std::string> questions;  // asked where no question belongs
    std::unique_ptr<TForm1> form;

    // Answers the next modal message box with the button labelled `button`, noting what it showed.
    void AnswerNextBox(const QString& button, TBoxSeen* seen) {
        auto* poll = new QTimer(form.get());
        connect(poll, &QTimer::timeout, form.get(), [poll, deadline = QDeadlineTimer(5000), button, seen] {
            if (deadline.hasExpired()) return poll->stop();  // no box came: give up rather than poll forever
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            poll->stop();
            seen->Title = box->windowTitle();
            seen->Text = box->text();
            seen->Icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                seen->Buttons << b->text();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == button) return QTest::mouseClick(b, Qt::LeftButton);
            box->reject();
        });
        poll->start(10);
    }

  private slots:
    void initTestCase() {
        BindQtDelivery();  // the timers' expiries and the port's reports reach this thread, as in the program
        InstallGeneralErrorHandler();
        SetErrorBoxHook([this](const std::string& text) { generalErrors.push_back(text); });
    }

    // A window started from a settings file naming a port that opens but never speaks. Without a
    // tray the window stays up after its first activation.
    void init() {
        tmp = std::make_unique<QTemporaryDir>();
        dir.Dir = tmp->path().toStdString();
        pty = std::make_unique<TPtyPair>();
        std::ofstream(dir.Dir + "/Settings.INI")
            << "[ComPortSettings]\nComPort=" << pty->SlavePath() << "\nBaudRate=38400\n";
        generalErrors.clear();
        inputErrors.clear();
        questions.clear();
        form = std::make_unique<TForm1>(clock, dir, false);
        form->InputErrorBox = [this](const std::string& m) { inputErrors.push_back(m); };
        form->ConfirmBox = [this](const std::string& q) {
            questions.push_back(q);
            return false;
        };
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QVERIFY(form->ComPort1.Connected());
    }

    void cleanup() {
        form.reset();
        pty.reset();
        // Nothing unasked for: no error, no input message (program-written text is never checked), no question.
        QCOMPARE(generalErrors, std::vector<std::string>{});
        QCOMPARE(inputErrors, std::vector<std::string>{});
        QCOMPARE(questions, std::vector<std::string>{});
    }

    // Each arrow reaches its own handler, the texts land in the right fields and the minutes lock
    // is on the real widgets, also after a synchronised frame re-enables the group.
    void zoneArrowsReachTheirStepsAndLock() {
        enum TAct { HoursUp, HoursDown, MinutesUp, MinutesDown, SyncFrame };
        const struct {
            const char* name;
            int hours, minutes, plus;
            std::vector<TAct> acts;
            const char* shown;
            bool minutesEnabled;
        } cases[] = {
            {"+11:45 hours up twice stops at +12, minutes locked", 11, 45, 1, {HoursUp, HoursUp}, "+12 : 00", false},
            {"+12 hours down unlocks", 11, 45, 1, {HoursUp, SyncFrame, HoursDown}, "+11 : 00", true},
            {"-11:59 minutes down locks at -12", -11, 59, 0, {MinutesDown}, "-12 : 00", false},
            {"-0:01 minutes up crosses zero", 0, 1, 0, {MinutesUp}, "+0 : 00", true},
        };
        for (const auto& c : cases) {
            form->State.ZoneHours = c.hours;  // as a zone frame leaves it
            form->State.ZoneMinutes = static_cast<uint8_t>(c.minutes);
            form->State.ZonePlus = static_cast<uint8_t>(c.plus);
            form->ApplyOperatingMode(true);
            for (TAct a : c.acts) {
                if (a == SyncFrame)
                    form->ApplyOperatingMode(true);
                else
                    ClickArrow(a <= HoursDown ? form->sbHours : form->sbMinutes, a % 2 == 0 ? Up : Down);
            }
            QVERIFY2(form->edHours->text() + " : " + form->edMinutes->text() == c.shown, c.name);
            QVERIFY2(form->edMinutes->isEnabled() == c.minutesEnabled, c.name);
            QVERIFY2(form->sbMinutes->isEnabled() == c.minutesEnabled, c.name);
        }
    }

    // Tab reaches each radio group once, in its place, on whichever item is checked.
    void tabGivesEachRadioGroupItsPlace() {
        TForm1& f = *form;
        const QList<QWidget*> zoneStart{f.edHours, f.edMinutes};
        const QList<QWidget*> zoneEnd{f.sbHours, f.btCorrect, f.sbMinutes};
        const QList<QWidget*> timeFields{f.edNewHH, f.edNewMM, f.edNewSS, f.sbNewHH, f.sbNewMM, f.sbNewSS, f.btNewTime};
        const QList<QWidget*> secondsFields{f.edNewSS, f.sbNewSS, f.btNewTime};
        const struct {
            const char* name;
            int sumWnt;
            bool correction;
            QList<QWidget*> order;
        } cases[] = {
            {"winter, set the time", 0, false,
             zoneStart + QList<QWidget*>{f.rbWinter} + zoneEnd + timeFields + QList<QWidget*>{f.rbtTime}},
            {"summer, correct the seconds", 1, true,
             zoneStart + QList<QWidget*>{f.rbSummer} + zoneEnd + secondsFields + QList<QWidget*>{f.rbtSec}},
        };
        for (const auto& c : cases) {
            f.State.SumWntIndex = static_cast<uint8_t>(c.sumWnt);  // the program's own selection asks nothing
            f.SetSumWntItem(c.sumWnt);
            QTest::mouseClick(c.correction ? f.rbtSec : f.rbtTime, Qt::LeftButton);
            f.edHours->setFocus(Qt::OtherFocusReason);
            QList<QWidget*> seen{QApplication::focusWidget()};
            for (int i = 0; i < c.order.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                seen << QApplication::focusWidget();
            }
            QVERIFY2(seen == c.order + QList<QWidget*>{f.edHours}, c.name);
        }
    }

    void winterSummerAsksAndAnswersBothWays() {
        form->ConfirmBox = nullptr;  // the real box, answered with the mouse
        form->ApplyOperatingMode(true);
        const struct {
            const char* name;
            const char* answer;
            bool summerAfter;
            uint8_t index;
            uint8_t action;
            const char* written;  // SumWnt in Settings.INI
        } cases[] = {
            {"No puts the selection back and writes nothing", "&No", false, 0, paZoneQuery, "<none>"},
            {"Yes stores the request and writes at once", "&Yes", true, 1, paSyncNow, "1"},
        };
        for (const auto& c : cases) {
            form->State.PendingAction = paZoneQuery;
            TBoxSeen seen;
            AnswerNextBox(QString::fromUtf8(c.answer), &seen);
            QTest::mouseClick(form->rbSummer, Qt::LeftButton);
            QTRY_VERIFY2(!seen.Buttons.isEmpty(), c.name);
            QCOMPARE(seen.Title, QString("Confirm"));
            QCOMPARE(seen.Text, QString::fromUtf8("Перейти на летнее время?"));
            QCOMPARE(seen.Icon, QMessageBox::Question);
            QCOMPARE(seen.Buttons, (QStringList{"&Yes", "&No"}));
            QTest::qWait(50);  // a second question would show up here
            QVERIFY2(!QApplication::activeModalWidget(), c.name);
            QVERIFY2(form->rbSummer->isChecked() == c.summerAfter, c.name);
            QVERIFY2(form->rbWinter->isChecked() == !c.summerAfter, c.name);
            QVERIFY2(form->State.SumWntIndex == c.index, c.name);
            QVERIFY2(form->State.PendingAction == c.action, c.name);
            const TIniFile ini(dir.Dir + "/Settings.INI");
            QVERIFY2(ini.ReadString("Common Settings", "SumWnt", "<none>") == c.written, c.name);
        }
    }

    // Each field reaches its own checks, every key is a change, the text stays as typed until
    // the field is left, and the rewrite on leaving is no user edit.
    void typedInputIsCheckedAtEveryChange() {
        form->ApplyOperatingMode(false);
        const struct {
            const char* name;
            TTimeField field;
            const char* text;
            TEntry entry;
            std::vector<std::string> messages;
            int valueAfter;
            const char* textAfterLeave;
        } cases[] = {
            {"abc pasted into the minutes", kMM, "abc", Pasted, {kMinutesNotNumber}, 5, "05"},
            {"abc typed: each key reports", kMM, "abc", Typed, std::vector<std::string>(3, kMinutesNotNumber), 5, "05"},
            {"$A typed into the minutes takes ten", kMM, "$A", Typed, {}, 10, "10"},
            {"25 typed into the hours takes 2", kHH, "25", Typed, {kHoursRange}, 2, "  2"},
            {"5x pasted into the seconds", kSS, "5x", Pasted, {kSecondsNotNumber}, 3, "03"},
        };
        for (const auto& c : cases) {
            form->State.NewHH = 7, form->State.NewMM = 5, form->State.NewSS = 3;
            form->SetNewHHText("  7"), form->SetNewMMText("05"), form->SetNewSSText("03");
            inputErrors.clear();
            QLineEdit* ed = (*form).*(c.field.Ed);
            Enter(ed, QString::fromUtf8(c.text), c.entry);
            QVERIFY2(inputErrors == c.messages, c.name);
            QVERIFY2(form->State.*(c.field.Value) == c.valueAfter, c.name);
            QVERIFY2(ed->text() == QString::fromUtf8(c.text), c.name);
            Leave(ed);
            QVERIFY2(!ed->hasFocus(), c.name);
            QVERIFY2(ed->text() == c.textAfterLeave, c.name);
            QVERIFY2(inputErrors == c.messages, c.name);
        }
        inputErrors.clear();  // all expected
    }

    // The real error box: its face, and the typed text surviving while the box has the focus.
    void errorBoxLeavesTheTypedTextAlone() {
        form->InputErrorBox = nullptr;
        form->ApplyOperatingMode(false);
        form->State.NewMM = 5;
        form->SetNewMMText("05");
        TBoxSeen seen;
        AnswerNextBox("OK", &seen);
        Enter(form->edNewMM, "abc", Pasted);
        QTRY_VERIFY(!seen.Buttons.isEmpty());
        QCOMPARE(seen.Title, QString("Error"));
        QCOMPARE(seen.Text, QString::fromStdString(kMinutesNotNumber));
        QCOMPARE(seen.Icon, QMessageBox::Critical);
        QCOMPARE(seen.Buttons, QStringList{"OK"});
        QTRY_VERIFY(!QApplication::activeModalWidget());
        // Back in the window the field has the focus again, still with what was typed.
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTRY_VERIFY(form->edNewMM->hasFocus());
        QCOMPARE(form->edNewMM->text(), QString("abc"));
        QCOMPARE(form->State.NewMM, uint8_t(5));
    }

    // Each arrow steps its own field from the typed value.
    void timeArrowsStepTheirFields() {
        form->ApplyOperatingMode(false);
        const struct {
            const char* name;
            TTimeField field;
            const char* start;  // typed into the field first
            TArrow arrow;
            const char* textAfter;
            int valueAfter;
        } cases[] = {
            {"hours 22 up", kHH, "22", Up, "23", 23},   {"hours 10 down", kHH, "10", Down, "  9", 9},
            {"minutes 58 up", kMM, "58", Up, "59", 59}, {"minutes 10 down", kMM, "10", Down, "09", 9},
            {"seconds 58 up", kSS, "58", Up, "59", 59}, {"seconds 10 down", kSS, "10", Down, "09", 9},
        };
        for (const auto& c : cases) {
            QLineEdit* ed = (*form).*(c.field.Ed);
            Enter(ed, c.start, Typed);
            ClickArrow((*form).*(c.field.Sb), c.arrow);
            QVERIFY2(ed->text() == c.textAfter, c.name);
            QVERIFY2(form->State.*(c.field.Value) == c.valueAfter, c.name);
        }
    }

    void correctionHidesTheTimeAndBackRefillsFromClock() {
        form->ApplyOperatingMode(false);
        QTest::mouseClick(form->rbtSec, Qt::LeftButton);
        QVERIFY(!form->edNewHH->isVisible() && !form->edNewMM->isVisible() && form->edNewSS->isVisible());
        QVERIFY(form->edNewSS->isReadOnly());
        QCOMPARE(form->edNewSS->text(), QString("00"));

        // The arrows show the signed correction; the read-only field takes no keys.
        ClickArrow(form->sbNewSS, Down);
        QCOMPARE(form->edNewSS->text(), QString("-1"));
        Enter(form->edNewSS, "12", Typed);
        QCOMPARE(form->edNewSS->text(), QString("-1"));
        QCOMPARE(form->State.NewSS, uint8_t(59));

        // Back to setting the time: the fields come back filled from the clock.
        form->State.ClockHH = 7, form->State.ClockMM = 8, form->State.ClockSS = 9;
        form->ShowClock("07", "08", "09");
        QTest::mouseClick(form->rbtTime, Qt::LeftButton);
        QVERIFY(form->edNewHH->isVisible() && form->edNewMM->isVisible() && !form->edNewSS->isReadOnly());
        QCOMPARE(form->edNewHH->text() + form->edNewMM->text() + form->edNewSS->text(), QString("070809"));
        QVERIFY(form->State.NewHH == 7 && form->State.NewMM == 8 && form->State.NewSS == 9);
    }
};

}  // namespace tamberline

QTEST_MAIN(tamberline::EditorsWindowTest)
#include "editors_window_test.moc"
