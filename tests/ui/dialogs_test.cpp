// The three dialogs driven as a user drives them: arrows clicked with the mouse, keys,
// OK/Cancel/Esc and the title-bar close, with their effect on the port, the zone state
// and the synchronisation period.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "device/fake_main_view.h"
#include "device/zone_editor.h"
#include "serial/comport.h"
#include "support/pty_pair.h"
#include "ui/dialog_actions.h"
#include "ui/dlg_comset.h"
#include "ui/dlg_correct.h"
#include "ui/dlg_syncro.h"
#include "ui/spinbutton.h"

using namespace tamberline;

namespace {

// Runs `user` once the modal dialog is up, as the person in front of it would.
void WhileModal(QDialog& dlg, std::function<void()> user) {
    QTimer::singleShot(0, [&dlg, user = std::move(user)] {
        // Give the dialog the activation a window manager would, so focus moves as on a desktop.
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        user();
    });
}

void ClickUp(TSpinButton* sb) {
    QTest::mouseClick(sb, Qt::LeftButton, {}, QPoint(sb->width() / 2, 4));
}
void ClickDown(TSpinButton* sb) {
    QTest::mouseClick(sb, Qt::LeftButton, {}, QPoint(sb->width() / 2, sb->height() - 4));
}
// u: the upper arrow, d: the lower one.
void Click(TSpinButton* sb, const char* arrows) {
    for (; *arrows; ++arrows)
        *arrows == 'u' ? ClickUp(sb) : ClickDown(sb);
}

// Every way out of a dialog a user has. Enter is OK wherever the focus is; the rest but OK cancel.
enum TLeave { Ok, Enter, Cancel, Esc, TitleClose };
void Leave(QDialog& d, QPushButton* ok, QPushButton* cancel, TLeave how) {
    if (how == Ok) QTest::mouseClick(ok, Qt::LeftButton);
    if (how == Cancel) QTest::mouseClick(cancel, Qt::LeftButton);
    if (how == Enter) QTest::keyClick(d.focusWidget(), Qt::Key_Return);
    if (how == Esc) QTest::keyClick(&d, Qt::Key_Escape);
    if (how == TitleClose) d.close();
}

// Picks an item with the arrow keys, which the box treats like a pick from its list.
void PickItem(QComboBox* box, int index) {
    box->setFocus();
    while (box->currentIndex() < index)
        QTest::keyClick(box, Qt::Key_Down);
    while (box->currentIndex() > index)
        QTest::keyClick(box, Qt::Key_Up);
}

// Two pseudo-terminals standing in for two serial devices, the port open on the first.
struct TTwoDevices {
    TPtyPair A, B;
    TComPort Port;
    int Opens = 0;
    TTwoDevices() {
        Port.Events = ComEventBit(evRxChar);
        Port.SetPort(A.SlavePath());
        Port.SetBaudRate(br38400);
        Port.Open();
        Port.OnAfterOpen = [this](TCustomComPort&) { ++Opens; };
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> v = {A.SlavePath(), B.SlavePath()};
        std::sort(v.begin(), v.end());
        return v;
    }
    int IndexOfB() const { return Names()[0] == B.SlavePath() ? 0 : 1; }
    std::function<void(std::vector<std::string>&)> Lister() const {
        return [this](std::vector<std::string>& v) { v = Names(); };
    }
};

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void spinButton() {
        const struct {
            const char* name;
            std::function<void(TSpinButton*)> act;
            int ups, downs;
        } cases[] = {
            {"click on the upper arrow", ClickUp, 1, 0},
            {"click on the lower arrow", ClickDown, 0, 1},
            {"up key", [](TSpinButton* sb) { QTest::keyClick(sb, Qt::Key_Up); }, 1, 0},
            {"down key", [](TSpinButton* sb) { QTest::keyClick(sb, Qt::Key_Down); }, 0, 1},
            {"press up, release over down",
             [](TSpinButton* sb) {
                 QTest::mousePress(sb, Qt::LeftButton, {}, QPoint(10, 4));
                 QTest::mouseRelease(sb, Qt::LeftButton, {}, QPoint(10, 16));
             },
             0, 0},
        };
        for (const auto& c : cases) {
            TSpinButton sb(nullptr);
            int up = 0, down = 0;
            connect(&sb, &TSpinButton::upClick, [&] { ++up; });
            connect(&sb, &TSpinButton::downClick, [&] { ++down; });
            sb.show();
            c.act(&sb);
            QVERIFY2(up == c.ups && down == c.downs, c.name);
        }
    }

    void spinButtonRepeatsWhileHeld() {
        TSpinButton sb(nullptr);
        int up = 0;
        connect(&sb, &TSpinButton::upClick, [&] { ++up; });
        sb.show();
        QTest::mousePress(&sb, Qt::LeftButton, {}, QPoint(10, 4));
        QTest::qWait(300);
        QCOMPARE(up, 0);    // nothing before the first 400 ms
        QTest::qWait(420);  // about 720 ms held: repeats near 400, 500, 600, 700
        QVERIFY2(up >= 2 && up <= 5, qPrintable(QString::number(up)));
        const int held = up;
        QTest::mouseRelease(&sb, Qt::LeftButton, {}, QPoint(10, 4));
        QCOMPARE(up, held + 1);  // the release over the arrow is the click itself
        QTest::qWait(250);
        QCOMPARE(up, held + 1);  // and the repeat has stopped
    }

    void frames() {
        TComPort port;
        TDlgComSet com(port, [](std::vector<std::string>& v) { v = {"/dev/ttyS0"}; });
        TDlgCorrect corr;
        uint8_t hours = 4;
        TDlgSelectSyncroTime sync(hours);
        // Fixed size with only a close button, Enter is OK, and the focus where the user expects it when shown.
        const struct {
            QDialog* d;
            QPushButton* ok;
            QPushButton* focused;
        } rows[] = {
            {&com, com.OKBtn, com.CancelBtn}, {&corr, corr.OKBtn, corr.CancelBtn}, {&sync, sync.OKBtn, sync.OKBtn}};
        for (const auto& r : rows) {
            QCOMPARE(r.d->minimumSize(), r.d->maximumSize());
            const Qt::WindowFlags buttons = Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
            QCOMPARE(r.d->windowFlags() & buttons, Qt::WindowCloseButtonHint);
            QVERIFY(r.ok->isDefault());
            r.d->show();
            QCOMPARE(r.d->focusWidget(), r.focused);
        }
    }

    // One dialog for all rows, as the window keeps it: the lock comes back at every show.
    void correction() {
        const struct {
            const char* name;
            int zoneSeconds;
            bool tick;
            const char* clicks;
            const char* shownAtStart;
            const char* shown;
            TLeave leave;
            int zoneSecondsAfter;
        } cases[] = {
            {"from +1 down shows 0", 1, true, "d", "+1", "0", Ok, 0},
            {"locked again: arrows change nothing", -5, false, "uuud", "-5", "-5", Ok, -5},
            {"Enter on the check box is OK", 0, true, "d", "0", "-1", Enter, -1},
            {"cancel keeps the seconds", -5, true, "uuuuuuu", "-5", "+2", Cancel, -5},
        };
        TDlgCorrect dlg;
        for (const auto& c : cases) {
            TSharedState s;
            test::TFakeMainView v;
            TZoneEditor zone(s, v);
            s.ZoneHours = 3;
            s.ZonePlus = 1;
            s.ZoneSeconds = c.zoneSeconds;
            QString atStart, atEnd;
            bool lockedAtStart = false;
            WhileModal(dlg, [&] {
                atStart = dlg.edSec->text();
                lockedAtStart = !dlg.chbEnable->isChecked();
                if (c.tick) {
                    dlg.chbEnable->setFocus();
                    QTest::keyClick(dlg.chbEnable, Qt::Key_Space);
                }
                Click(dlg.sbSec, c.clicks);
                atEnd = dlg.edSec->text();
                dlg.chbEnable->setFocus();
                Leave(dlg, dlg.OKBtn, dlg.CancelBtn, c.leave);
            });
            mnSetSputCorClick(dlg, s, zone);
            QVERIFY2(lockedAtStart, c.name);
            QVERIFY2(atStart == c.shownAtStart, c.name);
            QVERIFY2(atEnd == c.shown, c.name);
            QVERIFY2(s.ZoneSeconds == c.zoneSecondsAfter, c.name);
            QVERIFY2(v.CorrectFocusRequests == (c.leave == Cancel ? 0 : 1), c.name);
        }
    }

    // The schedule sees every step at once; every way out but OK puts back the period it opened with.
    void period() {
        const char* const every1 = "Синхронизировать время ПК каждый";
        const char* const every = "Синхронизировать время ПК каждые";
        const struct {
            const char* name;
            int start;
            const char* clicks;
            int shown;
            const char* label1;
            const char* label2;
            TLeave leave;
        } cases[] = {
            {"1 up gives 2", 1, "u", 2, every, "часа.", Ok},
            {"4 up gives 6", 4, "u", 6, every, "часов.", Ok},
            {"1 down stays", 1, "d", 1, every1, "час.", Ok},
            {"8 down gives 6", 8, "d", 6, every, "часов.", Ok},
            {"all the way up", 1, "uuuuuuuuu", 24, every, "часа.", Ok},
            // Outside the list: no step, and the labels keep the layout's texts.
            {"5 does not move", 5, "ud", 5, every, "часа.", Ok},
            {"Cancel restores", 4, "uuu", 12, every, "часов.", Cancel},
            {"Esc restores", 4, "uuu", 12, every, "часов.", Esc},
            {"title-bar close restores", 4, "uuu", 12, every, "часов.", TitleClose},
        };
        for (const auto& c : cases) {
            uint8_t hours = static_cast<uint8_t>(c.start);
            TDlgSelectSyncroTime dlg(hours);
            std::vector<int> written;
            int whileOpen = 0;
            QString edit, l1, l2;
            WhileModal(dlg, [&] {
                Click(dlg.sbHours, c.clicks);
                whileOpen = hours;
                edit = dlg.edHours->text();
                l1 = dlg.Label1->text();
                l2 = dlg.Label2->text();
                Leave(dlg, dlg.OKBtn, dlg.CancelBtn, c.leave);
            });
            mnSetSyncroPeriodClick(dlg, [&](uint8_t h) { written.push_back(h); });
            const bool ok = c.leave == Ok;
            QVERIFY2(whileOpen == c.shown, c.name);
            QVERIFY2(hours == (ok ? c.shown : c.start), c.name);
            QVERIFY2(edit == QString::number(c.shown), c.name);
            QVERIFY2(l1 == QString::fromUtf8(c.label1), c.name);
            QVERIFY2(l2 == QString::fromUtf8(c.label2), c.name);
            QVERIFY2(written == (ok ? std::vector<int>{c.shown} : std::vector<int>{}), c.name);
            QVERIFY2(!dlg.isVisible(), c.name);
        }
    }

    void portDialogCancelThenOk() {
        TTwoDevices dev;
        TDlgComSet dlg(dev.Port, dev.Lister());
        QCOMPARE(dlg.ComComboBox1->Text(), dev.A.SlavePath());
        QCOMPARE(dlg.ComComboBox2->ItemIndex(), 10);
        WhileModal(dlg, [&] {
            PickItem(dlg.ComComboBox1, dev.IndexOfB());
            PickItem(dlg.ComComboBox2, 7);
            QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
        });
        mnSetCOMClick(dlg, dev.Port);
        QCOMPARE(dev.Port.Port(), dev.A.SlavePath());
        QCOMPARE(dev.Port.BaudRate(), br38400);
        QCOMPARE(dev.Opens, 0);
        QVERIFY(dev.Port.Connected());
        // The cancelled choice is still shown next time.
        QCOMPARE(dlg.ComComboBox1->Text(), dev.B.SlavePath());
        QCOMPARE(dlg.ComComboBox2->Text(), std::string("9600"));

        // OK applies name and rate in one bracket: one reopen, no update left open.
        WhileModal(dlg, [&] {
            PickItem(dlg.ComComboBox2, 13);                // 115200
            QCOMPARE(dev.Port.Port(), dev.A.SlavePath());  // nothing happens before OK
            QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        });
        mnSetCOMClick(dlg, dev.Port);
        QCOMPARE(dev.Port.Port(), dev.B.SlavePath());
        QCOMPARE(dev.Port.BaudRate(), br115200);
        QVERIFY(dev.Port.Connected());
        QCOMPARE(dev.Opens, 1);
        QCOMPARE(dev.Port.UpdateCount(), 0);
        QCOMPARE(dev.B.LineSpeed(), 115200u);  // the new rate reached the device

        // Same selection again: nothing to reopen.
        WhileModal(dlg, [&] { QTest::mouseClick(dlg.OKBtn, Qt::LeftButton); });
        mnSetCOMClick(dlg, dev.Port);
        QCOMPARE(dev.Opens, 1);
        QVERIFY(dev.Port.Connected());
    }

    void portDialogFailedOpenClosesTheBracket() {
        TTwoDevices dev;
        const std::string missing = kNoSuchPort;
        TDlgComSet dlg(dev.Port, [&](std::vector<std::string>& v) { v = {dev.A.SlavePath(), missing}; });
        WhileModal(dlg, [&] {
            PickItem(dlg.ComComboBox1, 1);
            PickItem(dlg.ComComboBox2, 13);
            QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        });
        QVERIFY_THROWS_EXCEPTION(EComPort, mnSetCOMClick(dlg, dev.Port));
        QCOMPARE(dev.Port.UpdateCount(), 0);
        QVERIFY(!dev.Port.Connected());
        QCOMPARE(dev.Port.Port(), missing);      // kept, so it is saved at shut-down
        QCOMPARE(dev.Port.BaudRate(), br38400);  // the rate step was skipped
    }

    void portDialogUnreadableList() {
        TComPort port;
        port.SetPort("/dev/ttyS0");
        TDlgComSet dlg(port, [](std::vector<std::string>& v) {
            v.clear();
            throw EComPort(23, 2);
        });
        QVERIFY(dlg.PortListError() != nullptr);
        QCOMPARE(dlg.PortListError()->Code, 23);
        QCOMPARE(dlg.ComComboBox1->count(), 0);
        QCOMPARE(dlg.ComComboBox2->Text(), std::string("9600"));  // the rate box still shows the port's rate
        ApplyComSettings(dlg, port);                              // an empty port box leaves the name alone
        QCOMPARE(port.Port(), std::string("/dev/ttyS0"));
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
