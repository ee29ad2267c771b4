// The two editors of the real main window driven as a user drives them: the arrows of the spin
// buttons clicked with the mouse, text typed key by key or pasted into the fields, the focus moved
// on with Tab, the message boxes read and answered. The port sits on a silent pseudo-terminal, so
// no tick runs and everything on screen comes from the editors.
#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "support/pty_pair.h"
#include "ui/error_box.h"
#include "ui/form1.h"

namespace tamberline {

namespace {

// Friday, 15 March 2024, 12:00; never moves and never really sets anything.
class TFakeClock : public TSystemClock {
  public:
    TLocalDateTime Now() override { return {2024, 3, 15, 12, 0, 0, 0, 5}; }
    bool SetLocal(const TLocalDateTime&) override { return true; }
    std::string WeekdayAbbrev(int) override { return "Пт"; }
    std::string TimeSeparator() override { return ":"; }
};

class TFixedDir : public TCurrentDirectory {
  public:
    std::string Get() override { return Dir; }
    std::string Dir;
};

const std::string kHoursNotNumber = "Значение часов должно быть целым и меньше или равно 23!";
const std::string kHoursRange = "Значение часов должно быть меньше или равно 23!";
const std::string kMinutesNotNumber = "Значение минут должно быть целым и меньше или равно 59!";
const std::string kMinutesRange = "Значение минут должно быть меньше или равно 59!";
const std::string kSecondsNotNumber = "Значение секунд должно быть целым и меньше или равно 59!";
const std::string kSecondsRange = "Значение секунд должно быть меньше или равно 59!";

enum TArrow { Up, Down };

// The up arrow is the upper half of the button, the down arrow the lower half.
void ClickArrow(TSpinButton* sb, TArrow arrow, int times = 1) {
    const QPoint at(sb->width() / 2, arrow == Up ? sb->height() / 4 : sb->height() * 3 / 4);
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(sb, Qt::LeftButton, Qt::NoModifier, at);
}

// How the user puts text into a field: key by key (every key is a change of the text) or all at
// once from the clipboard; an empty text means selecting everything and deleting it.
enum TEntry { Typed, Pasted };

void Enter(QLineEdit* ed, const QString& text, TEntry entry) {
    QTest::mouseClick(ed, Qt::LeftButton);
    QTest::keyClick(ed, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) {
        QTest::keyClick(ed, Qt::Key_Backspace);
    } else if (entry == Pasted) {
        QApplication::clipboard()->setText(text);
        QTest::keyClick(ed, Qt::Key_V, Qt::ControlModifier);
    } else {
        QTest::keyClicks(ed, text);
    }
}

void Leave(QLineEdit* ed) {
    QTest::keyClick(ed, Qt::Key_Tab);
}

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
    std::unique_ptr<TForm1> form;

    std::string SettingsText() {
        std::ifstream in(dir.Dir + "/Settings.INI");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    // Zone values as a zone frame leaves them: the state and both fields.
    void SetZone(int hours, int minutes, int plus, int seconds) {
        form->State.ZoneHours = hours;
        form->State.ZoneMinutes = static_cast<uint8_t>(minutes);
        form->State.ZonePlus = static_cast<uint8_t>(plus);
        form->State.ZoneSeconds = seconds;
        const bool minus = hours < 0 || (hours == 0 && plus == 0);
        form->SetZoneHoursText((minus ? "-" : "+") + std::to_string(std::abs(hours)));
        form->SetZoneMinutesText((minutes < 10 ? "0" : "") + std::to_string(minutes));
        form->SetZoneMinutesEnabled(true);
    }

    // Answers the next modal message box with the button labelled `button`, noting what it showed.
    void AnswerNextBox(const QString& button, TBoxSeen* seen) {
        auto* poll = new QTimer(form.get());
        auto* waited = new QElapsedTimer;
        waited->start();
        connect(poll, &QTimer::timeout, form.get(), [poll, waited, button, seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (waited->elapsed() > 5000) {  // no box came: give up rather than poll forever
                poll->stop();
                delete waited;
                return;
            }
            if (!box || !box->isVisible()) return;
            poll->stop();
            delete waited;
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
        form = std::make_unique<TForm1>(clock, dir, false);
        form->InputErrorBox = [this](const std::string& m) { inputErrors.push_back(m); };
        form->ConfirmBox = [](const std::string& q) -> bool {
            qWarning("unexpected question: %s", q.c_str());
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
        QCOMPARE(generalErrors, std::vector<std::string>{});
    }

    void zoneStepsStopAtTwelveAndCrossZero() {
        enum TAct { HoursUp, HoursDown, MinutesUp, MinutesDown, SyncFrame };
        const struct {
            const char* name;
            int hours, minutes, plus, seconds;
            std::vector<TAct> acts;
            const char* hoursText;
            const char* minutesText;
            bool minutesEnabled;
            int zoneHours, zoneMinutes, zonePlus;
        } cases[] = {
            {"+11:45 hours up stops at +12 and locks the minutes",
             11,
             45,
             1,
             0,
             {HoursUp},
             "+12",
             "00",
             false,
             12,
             0,
             1},
            {"+12 hours up again stays", 11, 45, 1, 0, {HoursUp, HoursUp}, "+12", "00", false, 12, 0, 1},
            {"+12 stays locked across a synchronised frame; minute clicks do nothing",
             11,
             45,
             1,
             0,
             {HoursUp, SyncFrame, MinutesUp, MinutesUp, MinutesDown},
             "+12",
             "00",
             false,
             12,
             0,
             1},
            {"+12 hours down unlocks", 11, 45, 1, 0, {HoursUp, SyncFrame, HoursDown}, "+11", "00", true, 11, 0, 1},
            {"-11:20 hours down stops at -12", -11, 20, 0, 0, {HoursDown, HoursDown}, "-12", "00", false, -12, 0, 0},
            {"-12 stays locked across a synchronised frame",
             -11,
             20,
             0,
             0,
             {HoursDown, SyncFrame, MinutesDown, MinutesUp},
             "-12",
             "00",
             false,
             -12,
             0,
             0},
            {"-12 hours up unlocks", -11, 20, 0, 0, {HoursDown, HoursUp}, "-11", "00", true, -11, 0, 0},
            {"+11:59 minutes up reaches +12", 11, 59, 1, 0, {MinutesUp}, "+12", "00", false, 12, 0, 1},
            {"-11:59 minutes down reaches -12", -11, 59, 0, 0, {MinutesDown}, "-12", "00", false, -12, 0, 0},
            {"+0:00 minutes down", 0, 0, 1, 0, {MinutesDown}, "-0", "01", true, 0, 1, 0},
            {"-0:01 minutes up", 0, 1, 0, 0, {MinutesUp}, "+0", "00", true, 0, 0, 1},
            {"-0:00 minutes up", 0, 0, 0, -5, {MinutesUp}, "+0", "01", true, 0, 1, 1},
            {"+0:59 minutes up", 0, 59, 1, 0, {MinutesUp}, "+1", "00", true, 1, 0, 1},
            {"-1:00 minutes up", -1, 0, 0, 0, {MinutesUp}, "-0", "59", true, 0, 59, 0},
            {"+1 hours down with a negative correction", 1, 0, 1, -3, {HoursDown}, "-0", "00", true, 0, 0, 0},
            {"+1 hours down with no correction", 1, 0, 1, 0, {HoursDown}, "+0", "00", true, 0, 0, 1},
            {"-0:30 hours up moves one hour east", 0, 30, 0, 0, {HoursUp}, "+0", "30", true, 0, 30, 1},
        };
        for (const auto& c : cases) {
            form->ApplyOperatingMode(true);
            SetZone(c.hours, c.minutes, c.plus, c.seconds);
            for (TAct a : c.acts) {
                switch (a) {
                    case HoursUp:
                        ClickArrow(form->sbHours, Up);
                        break;
                    case HoursDown:
                        ClickArrow(form->sbHours, Down);
                        break;
                    case MinutesUp:
                        ClickArrow(form->sbMinutes, Up);
                        break;
                    case MinutesDown:
                        ClickArrow(form->sbMinutes, Down);
                        break;
                    case SyncFrame:
                        form->ApplyOperatingMode(true);
                        break;
                }
            }
            QVERIFY2(form->edHours->text() == c.hoursText, c.name);
            QVERIFY2(form->edMinutes->text() == c.minutesText, c.name);
            QVERIFY2(form->edMinutes->isEnabled() == c.minutesEnabled, c.name);
            QVERIFY2(form->sbMinutes->isEnabled() == c.minutesEnabled, c.name);
            QVERIFY2(form->State.ZoneHours == c.zoneHours, c.name);
            QVERIFY2(form->State.ZoneMinutes == c.zoneMinutes, c.name);
            QVERIFY2(form->State.ZonePlus == c.zonePlus, c.name);
            QVERIFY2(form->State.ZoneSeconds == c.seconds, c.name);
        }
        QCOMPARE(inputErrors, std::vector<std::string>{});
    }

    void sendRequestsFromButtonsAndMenu() {
        QMenu* mnCtrl = qobject_cast<QMenu*>(form->mnCtrlSet->parent());
        QVERIFY(mnCtrl);
        const struct {
            const char* name;
            bool sync;
            std::function<void()> act;
            uint8_t action;
        } cases[] = {
            {"button Установить часовой пояс", true, [&] { QTest::mouseClick(form->btCorrect, Qt::LeftButton); },
             paSendZone},
            {"menu Установить поправку, synchronised", true,
             [&] {
                 const QRect title = form->menuBar()->actionGeometry(mnCtrl->menuAction());
                 QTest::mouseClick(form->menuBar(), Qt::LeftButton, Qt::NoModifier, title.center());
                 QVERIFY(QTest::qWaitForWindowExposed(mnCtrl));
                 QTest::mouseClick(mnCtrl, Qt::LeftButton, Qt::NoModifier,
                                   mnCtrl->actionGeometry(form->mnCtrlSet).center());
             },
             paSendZone},
            {"menu Установить поправку, button disabled", false,
             [&] {
                 const QRect title = form->menuBar()->actionGeometry(mnCtrl->menuAction());
                 QTest::mouseClick(form->menuBar(), Qt::LeftButton, Qt::NoModifier, title.center());
                 QVERIFY(QTest::qWaitForWindowExposed(mnCtrl));
                 QTest::mouseClick(mnCtrl, Qt::LeftButton, Qt::NoModifier,
                                   mnCtrl->actionGeometry(form->mnCtrlSet).center());
             },
             paSendZone},
            {"disabled button Установить часовой пояс", false,
             [&] { QTest::mouseClick(form->btCorrect, Qt::LeftButton); }, paNone},
            {"button Записать изменения", false, [&] { QTest::mouseClick(form->btNewTime, Qt::LeftButton); },
             paSendTime},
        };
        for (const auto& c : cases) {
            form->ApplyOperatingMode(c.sync);
            form->State.PendingAction = paNone;
            c.act();
            QTRY_VERIFY2(form->State.PendingAction == c.action, c.name);
            QVERIFY2(!mnCtrl->isVisible(), c.name);
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
            const char* settingsLine;  // expected in Settings.INI, or nullptr for no SumWnt key
        } cases[] = {
            {"No puts the selection back and writes nothing", "&No", false, 0, paZoneQuery, nullptr},
            {"Yes stores the request and writes at once", "&Yes", true, 1, paSyncNow, "SumWnt=1"},
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
            const std::string ini = SettingsText();
            if (c.settingsLine)
                QVERIFY2(ini.find(c.settingsLine) != std::string::npos, ini.c_str());
            else
                QVERIFY2(ini.find("SumWnt") == std::string::npos, ini.c_str());
        }
        // The item already accepted asks nothing.
        form->ConfirmBox = [](const std::string& q) -> bool {
            qWarning("unexpected question: %s", q.c_str());
            return false;
        };
        QTest::mouseClick(form->rbSummer, Qt::LeftButton);
        QCOMPARE(form->State.SumWntIndex, uint8_t(1));
    }

    void typedInputIsCheckedAtEveryChange() {
        form->ApplyOperatingMode(false);
        const struct {
            const char* name;
            QLineEdit* TForm1::*field;
            const char* text;
            TEntry entry;
            std::vector<std::string> messages;
            uint8_t TSharedState::*value;
            int valueAfter;
            const char* textAfterLeave;
        } cases[] = {
            {"abc pasted into the minutes",
             &TForm1::edNewMM,
             "abc",
             Pasted,
             {kMinutesNotNumber},
             &TSharedState::NewMM,
             5,
             "05"},
            {"abc typed into the minutes: every key reports",
             &TForm1::edNewMM,
             "abc",
             Typed,
             {kMinutesNotNumber, kMinutesNotNumber, kMinutesNotNumber},
             &TSharedState::NewMM,
             5,
             "05"},
            {"60 pasted into the minutes",
             &TForm1::edNewMM,
             "60",
             Pasted,
             {kMinutesRange},
             &TSharedState::NewMM,
             5,
             "05"},
            {"60 typed: the 6 is taken", &TForm1::edNewMM, "60", Typed, {kMinutesRange}, &TSharedState::NewMM, 6, "06"},
            {"256 pasted into the minutes",
             &TForm1::edNewMM,
             "256",
             Pasted,
             {kMinutesRange},
             &TSharedState::NewMM,
             5,
             "05"},
            {"-1 pasted into the minutes",
             &TForm1::edNewMM,
             "-1",
             Pasted,
             {kMinutesRange},
             &TSharedState::NewMM,
             5,
             "05"},
            {"$A pasted into the minutes takes ten",
             &TForm1::edNewMM,
             "$A",
             Pasted,
             {},
             &TSharedState::NewMM,
             10,
             "10"},
            {"$A typed key by key: the lone $ is still typing",
             &TForm1::edNewMM,
             "$A",
             Typed,
             {},
             &TSharedState::NewMM,
             10,
             "10"},
            {"-1 typed key by key: only the range is reported",
             &TForm1::edNewMM,
             "-1",
             Typed,
             {kMinutesRange},
             &TSharedState::NewMM,
             5,
             "05"},
            {"25 typed into the hours takes 2, then refuses",
             &TForm1::edNewHH,
             "25",
             Typed,
             {kHoursRange},
             &TSharedState::NewHH,
             2,
             "  2"},
            {"23 typed into the hours", &TForm1::edNewHH, "23", Typed, {}, &TSharedState::NewHH, 23, "23"},
            {"007 pasted into the hours", &TForm1::edNewHH, "007", Pasted, {}, &TSharedState::NewHH, 7, "  7"},
            {"x typed into the hours", &TForm1::edNewHH, "x", Typed, {kHoursNotNumber}, &TSharedState::NewHH, 7, "  7"},
            {"60 pasted into the seconds",
             &TForm1::edNewSS,
             "60",
             Pasted,
             {kSecondsRange},
             &TSharedState::NewSS,
             3,
             "03"},
            {"5x pasted into the seconds",
             &TForm1::edNewSS,
             "5x",
             Pasted,
             {kSecondsNotNumber},
             &TSharedState::NewSS,
             3,
             "03"},
            {"emptied minutes", &TForm1::edNewMM, "", Typed, {}, &TSharedState::NewMM, 5, "05"},
            {"emptied hours", &TForm1::edNewHH, "", Typed, {}, &TSharedState::NewHH, 7, "  7"},
        };
        for (const auto& c : cases) {
            form->State.NewHH = 7, form->State.NewMM = 5, form->State.NewSS = 3;
            form->SetNewHHText("  7"), form->SetNewMMText("05"), form->SetNewSSText("03");
            inputErrors.clear();
            QLineEdit* ed = (*form).*(c.field);
            Enter(ed, QString::fromUtf8(c.text), c.entry);
            QVERIFY2(inputErrors == c.messages, c.name);
            QVERIFY2(form->State.*(c.value) == c.valueAfter, c.name);
            QVERIFY2(ed->text() == QString::fromUtf8(c.text), c.name);  // kept as typed until the field is left
            Leave(ed);
            QVERIFY2(!ed->hasFocus(), c.name);
            QVERIFY2(ed->text() == c.textAfterLeave, c.name);
            QVERIFY2(inputErrors == c.messages, c.name);  // the rewrite is no user edit
        }
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
        Leave(form->edNewMM);
        QCOMPARE(form->edNewMM->text(), QString("05"));
    }

    void timeSpinsStopAtTheEnds() {
        form->ApplyOperatingMode(false);
        const struct {
            const char* name;
            QLineEdit* TForm1::*field;
            TSpinButton* TForm1::*spin;
            const char* start;  // typed into the field first
            TArrow arrow;
            int clicks;
            const char* textAfter;
            uint8_t TSharedState::*value;
            int valueAfter;
        } cases[] = {
            {"hours 9 up", &TForm1::edNewHH, &TForm1::sbNewHH, "9", Up, 1, "10", &TSharedState::NewHH, 10},
            {"hours 10 down", &TForm1::edNewHH, &TForm1::sbNewHH, "10", Down, 1, "  9", &TSharedState::NewHH, 9},
            {"hours 22 up stops at 23", &TForm1::edNewHH, &TForm1::sbNewHH, "22", Up, 3, "23", &TSharedState::NewHH,
             23},
            {"hours 1 down stops at 0", &TForm1::edNewHH, &TForm1::sbNewHH, "1", Down, 3, "  0", &TSharedState::NewHH,
             0},
            {"minutes 9 up", &TForm1::edNewMM, &TForm1::sbNewMM, "9", Up, 1, "10", &TSharedState::NewMM, 10},
            {"minutes 58 up stops at 59", &TForm1::edNewMM, &TForm1::sbNewMM, "58", Up, 3, "59", &TSharedState::NewMM,
             59},
            {"minutes 1 down stops at 0", &TForm1::edNewMM, &TForm1::sbNewMM, "1", Down, 3, "00", &TSharedState::NewMM,
             0},
            {"seconds 58 up stops at 59", &TForm1::edNewSS, &TForm1::sbNewSS, "58", Up, 3, "59", &TSharedState::NewSS,
             59},
            {"seconds 10 down", &TForm1::edNewSS, &TForm1::sbNewSS, "10", Down, 1, "09", &TSharedState::NewSS, 9},
        };
        for (const auto& c : cases) {
            QLineEdit* ed = (*form).*(c.field);
            Enter(ed, c.start, Typed);
            ClickArrow((*form).*(c.spin), c.arrow, c.clicks);
            QVERIFY2(ed->text() == c.textAfter, c.name);
            QVERIFY2(form->State.*(c.value) == c.valueAfter, c.name);
        }
        QCOMPARE(inputErrors, std::vector<std::string>{});
    }

    void correctionStepsAndFillFromClock() {
        form->ApplyOperatingMode(false);
        QTest::mouseClick(form->rbtSec, Qt::LeftButton);
        QVERIFY(form->rbtSec->isChecked() && !form->rbtTime->isChecked());
        for (QWidget* w : {(QWidget*)form->edNewHH, (QWidget*)form->sbNewHH, (QWidget*)form->lbNewHH,
                           (QWidget*)form->edNewMM, (QWidget*)form->sbNewMM, (QWidget*)form->lbNewMM})
            QVERIFY(!w->isVisible());
        QVERIFY(form->lbNewSS->isVisible() && form->edNewSS->isVisible() && form->sbNewSS->isVisible());
        QVERIFY(form->edNewSS->isReadOnly());
        QCOMPARE(form->edNewSS->text(), QString("00"));
        QCOMPARE(form->State.NewSS, uint8_t(0));

        // One after the other, each from where the last left off.
        const struct {
            const char* name;
            TArrow arrow;
            int clicks;
            const char* text;
            int newSS;
        } steps[] = {
            {"0 down", Down, 1, "-1", 59},          {"-1 up", Up, 1, "0", 0},
            {"up to +30", Up, 30, "+30", 30},       {"+30 up stays", Up, 2, "+30", 30},
            {"+30 down", Down, 1, "+29", 29},       {"down to -29", Down, 58, "-29", 31},
            {"-29 down stays", Down, 2, "-29", 31}, {"-29 up", Up, 1, "-28", 32},
        };
        for (const auto& s : steps) {
            ClickArrow(form->sbNewSS, s.arrow, s.clicks);
            QVERIFY2(form->edNewSS->text() == s.text, s.name);
            QVERIFY2(form->State.NewSS == s.newSS, s.name);
        }
        // The read-only field takes no keys and leaving it shows the signed form.
        Enter(form->edNewSS, "12", Typed);
        QCOMPARE(form->State.NewSS, uint8_t(32));
        Leave(form->edNewSS);
        QCOMPARE(form->edNewSS->text(), QString("-28"));

        // Back to setting the time: the fields come back filled from the clock labels.
        form->State.ClockHH = 7, form->State.ClockMM = 8, form->State.ClockSS = 9;
        form->ShowClock("07", "08", "09");
        QTest::mouseClick(form->rbtTime, Qt::LeftButton);
        QVERIFY(form->rbtTime->isChecked() && !form->rbtSec->isChecked());
        QVERIFY(form->edNewHH->isVisible() && form->edNewMM->isVisible() && form->sbNewHH->isVisible());
        QVERIFY(!form->edNewSS->isReadOnly());
        QCOMPARE(form->edNewHH->text() + form->edNewMM->text() + form->edNewSS->text(), QString("070809"));
        QVERIFY(form->State.NewHH == 7 && form->State.NewMM == 8 && form->State.NewSS == 9);
        QCOMPARE(inputErrors, std::vector<std::string>{});
    }
};

}  // namespace tamberline

QTEST_MAIN(tamberline::EditorsWindowTest)
#include "editors_window_test.moc"
