// The three dialogs driven as a user drives them: arrows clicked with the mouse, keys,
// OK/Cancel/Esc and the title-bar close, with their effect on the port, the zone state
// and the synchronisation period.
#include <asm/termbits.h>  // termios2: the line speed as a number
#include <sys/ioctl.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "clock/period.h"
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

// Picks an item with the arrow keys, which the box treats like a pick from its list.
void PickItem(QComboBox* box, int index) {
    box->setFocus();
    while (box->currentIndex() < index)
        QTest::keyClick(box, Qt::Key_Down);
    while (box->currentIndex() > index)
        QTest::keyClick(box, Qt::Key_Up);
}

// bits/s the line is set to, read on the device side of the pseudo-terminal.
unsigned LineSpeed(int fd) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) return 0;
    return t.c_ospeed;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void spinButton_data();
    void spinButton();
    void spinButtonRepeatsWhileHeld();
    void frames();
    void correction_data();
    void correction();
    void correctionLockAtEveryShow();
    void period_data();
    void period();
    void periodWaysOut_data();
    void periodWaysOut();
    void portDialogOkAppliesInOneBracket();
    void portDialogCancelLeavesThePort();
    void portDialogFailedOpenClosesTheBracket();
    void portDialogUnreadableList();
};

void DialogsTest::spinButton_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("ups");
    QTest::addColumn<int>("downs");
    QTest::newRow("click on the upper arrow") << "up" << 1 << 0;
    QTest::newRow("click on the lower arrow") << "down" << 0 << 1;
    QTest::newRow("up key") << "keyup" << 1 << 0;
    QTest::newRow("down key") << "keydown" << 0 << 1;
    QTest::newRow("press up, release over down") << "drag" << 0 << 0;
}

void DialogsTest::spinButton() {
    QFETCH(QString, action);
    QFETCH(int, ups);
    QFETCH(int, downs);
    TSpinButton sb(nullptr);
    QCOMPARE(sb.size(), QSize(20, 20));
    int up = 0, down = 0;
    connect(&sb, &TSpinButton::upClick, [&] { ++up; });
    connect(&sb, &TSpinButton::downClick, [&] { ++down; });
    sb.show();
    if (action == "up") ClickUp(&sb);
    if (action == "down") ClickDown(&sb);
    if (action == "keyup") QTest::keyClick(&sb, Qt::Key_Up);
    if (action == "keydown") QTest::keyClick(&sb, Qt::Key_Down);
    if (action == "drag") {
        QTest::mousePress(&sb, Qt::LeftButton, {}, QPoint(10, 4));
        QTest::mouseRelease(&sb, Qt::LeftButton, {}, QPoint(10, 16));
    }
    QCOMPARE(up, ups);
    QCOMPARE(down, downs);
}

void DialogsTest::spinButtonRepeatsWhileHeld() {
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

void DialogsTest::frames() {
    TComPort port;
    TDlgComSet com(port, [](std::vector<std::string>& v) { v = {"/dev/ttyS0"}; });
    TDlgCorrect corr;
    uint8_t hours = 4;
    TDlgSelectSyncroTime sync(hours);
    struct Row {
        QDialog* d;
        QSize size;
        const char* title;
    } rows[] = {{&com, {250, 114}, "Настройка COM порта"},
                {&corr, {186, 128}, "Корректировка"},
                {&sync, {225, 145}, "Синхронизация ПК"}};
    for (const Row& r : rows) {
        QCOMPARE(r.d->size(), r.size);
        QCOMPARE(r.d->minimumSize(), r.d->maximumSize());
        QCOMPARE(r.d->windowTitle(), QString::fromUtf8(r.title));
        QVERIFY(!(r.d->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(r.d->windowFlags() & Qt::WindowMinimizeButtonHint));
    }
    QVERIFY(com.OKBtn->isDefault());
    QVERIFY(corr.OKBtn->isDefault());
    QVERIFY(sync.OKBtn->isDefault());
    com.show();
    corr.show();
    sync.show();
    QCOMPARE(com.focusWidget(), com.CancelBtn);
    QCOMPARE(corr.focusWidget(), corr.CancelBtn);
    QCOMPARE(sync.focusWidget(), sync.OKBtn);
}

void DialogsTest::correction_data() {
    QTest::addColumn<int>("zoneSeconds");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<QString>("clicks");  // u = up arrow, d = down arrow
    QTest::addColumn<QString>("shownAtStart");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("zoneSecondsAfter");
    QTest::newRow("locked arrows change nothing") << -5 << false << "uuud"
                                                  << "-5"
                                                  << "-5" << true << -5;
    QTest::newRow("from 0 up") << 0 << true << "u"
                               << "0"
                               << "+1" << true << 1;
    QTest::newRow("from +1 down shows 0") << 1 << true << "d"
                                          << "+1"
                                          << "0" << true << 0;
    QTest::newRow("stops at +30") << 29 << true << "uuu"
                                  << "+29"
                                  << "+30" << true << 30;
    QTest::newRow("stops at -29") << -28 << true << "ddd"
                                  << "-28"
                                  << "-29" << true << -29;
    QTest::newRow("cancel keeps the seconds") << -5 << true << "uuuuuuu"
                                              << "-5"
                                              << "+2" << false << -5;
}

void DialogsTest::correction() {
    QFETCH(int, zoneSeconds);
    QFETCH(bool, tick);
    QFETCH(QString, clicks);
    QFETCH(QString, shownAtStart);
    QFETCH(QString, shown);
    QFETCH(bool, ok);
    QFETCH(int, zoneSecondsAfter);
    TSharedState s;
    test::TFakeMainView v;
    TZoneEditor zone(s, v);
    s.ZoneHours = 3;
    s.ZonePlus = 1;
    s.ZoneSeconds = zoneSeconds;
    TDlgCorrect dlg;
    QString atStart, atEnd;
    WhileModal(dlg, [&] {
        atStart = dlg.edSec->text();
        QVERIFY(!dlg.chbEnable->isChecked());
        if (tick) {
            dlg.chbEnable->setFocus();
            QTest::keyClick(dlg.chbEnable, Qt::Key_Space);
        }
        for (QChar c : clicks)
            c == 'u' ? ClickUp(dlg.sbSec) : ClickDown(dlg.sbSec);
        atEnd = dlg.edSec->text();
        QTest::mouseClick(ok ? dlg.OKBtn : dlg.CancelBtn, Qt::LeftButton);
    });
    mnSetSputCorClick(dlg, s, zone);
    QCOMPARE(atStart, shownAtStart);
    QCOMPARE(atEnd, shown);
    QCOMPARE(s.ZoneSeconds, zoneSecondsAfter);
    QCOMPARE(v.CorrectFocusRequests, ok ? 1 : 0);
}

void DialogsTest::correctionLockAtEveryShow() {
    TSharedState s;
    test::TFakeMainView v;
    TZoneEditor zone(s, v);
    TDlgCorrect dlg;
    WhileModal(dlg, [&] {
        dlg.chbEnable->setFocus();
        QTest::keyClick(dlg.chbEnable, Qt::Key_Space);
        QVERIFY(dlg.chbEnable->isChecked());
        ClickDown(dlg.sbSec);
        dlg.chbEnable->setFocus();
        QTest::keyClick(dlg.chbEnable, Qt::Key_Return);  // Enter is OK wherever it is pressed
    });
    mnSetSputCorClick(dlg, s, zone);
    QCOMPARE(s.ZoneSeconds, -1);
    QCOMPARE(QString::fromStdString(v.ZoneHours), QString("-0"));  // zero hours follow the seconds
    bool lockedAgain = false;
    WhileModal(dlg, [&] {
        lockedAgain = !dlg.chbEnable->isChecked();
        ClickUp(dlg.sbSec);
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    mnSetSputCorClick(dlg, s, zone);
    QVERIFY(lockedAgain);
    QCOMPARE(s.ZoneSeconds, -1);
}

void DialogsTest::period_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("label2");
    const QString every1 = QString::fromUtf8("Синхронизировать время ПК каждый");
    const QString every = QString::fromUtf8("Синхронизировать время ПК каждые");
    QTest::newRow("one hour") << 1 << "" << 1 << every1 << QString::fromUtf8("час.");
    QTest::newRow("1 up gives 2") << 1 << "u" << 2 << every << QString::fromUtf8("часа.");
    QTest::newRow("4 up gives 6") << 4 << "u" << 6 << every << QString::fromUtf8("часов.");
    QTest::newRow("12 up gives 24") << 12 << "u" << 24 << every << QString::fromUtf8("часа.");
    QTest::newRow("24 up stays") << 24 << "u" << 24 << every << QString::fromUtf8("часа.");
    QTest::newRow("1 down stays") << 1 << "d" << 1 << every1 << QString::fromUtf8("час.");
    QTest::newRow("8 down gives 6") << 8 << "d" << 6 << every << QString::fromUtf8("часов.");
    QTest::newRow("all the way up") << 1 << "uuuuuuuuu" << 24 << every << QString::fromUtf8("часа.");
    // Outside the list: no step, and the labels keep the layout's texts.
    QTest::newRow("5 does not move") << 5 << "ud" << 5 << every << QString::fromUtf8("часа.");
}

void DialogsTest::period() {
    QFETCH(int, start);
    QFETCH(QString, clicks);
    QFETCH(int, end);
    QFETCH(QString, label1);
    QFETCH(QString, label2);
    uint8_t hours = static_cast<uint8_t>(start);
    TDlgSelectSyncroTime dlg(hours);
    std::vector<int> written;
    QString edit, l1, l2;
    WhileModal(dlg, [&] {
        for (QChar c : clicks)
            c == 'u' ? ClickUp(dlg.sbHours) : ClickDown(dlg.sbHours);
        edit = dlg.edHours->text();
        l1 = dlg.Label1->text();
        l2 = dlg.Label2->text();
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    mnSetSyncroPeriodClick(dlg, [&](uint8_t h) { written.push_back(h); });
    QCOMPARE(int(hours), end);
    QCOMPARE(edit, QString::number(end));
    QCOMPARE(l1, label1);
    QCOMPARE(l2, label2);
    QCOMPARE(written, std::vector<int>{end});
}

void DialogsTest::periodWaysOut_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("hoursAfter");
    QTest::addColumn<bool>("written");
    QTest::newRow("OK keeps and writes") << "ok" << 12 << true;
    QTest::newRow("Cancel restores") << "cancel" << 4 << false;
    QTest::newRow("Esc restores") << "esc" << 4 << false;
    QTest::newRow("title-bar close restores") << "close" << 4 << false;
}

void DialogsTest::periodWaysOut() {
    QFETCH(QString, way);
    QFETCH(int, hoursAfter);
    QFETCH(bool, written);
    uint8_t hours = 4;
    TDlgSelectSyncroTime dlg(hours);
    bool wrote = false;
    int whileOpen = 0;
    WhileModal(dlg, [&] {
        ClickUp(dlg.sbHours);
        ClickUp(dlg.sbHours);
        ClickUp(dlg.sbHours);
        whileOpen = hours;  // the schedule sees every step at once
        if (way == "ok") QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        if (way == "cancel") QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
        if (way == "esc") QTest::keyClick(&dlg, Qt::Key_Escape);
        if (way == "close") dlg.close();
    });
    mnSetSyncroPeriodClick(dlg, [&](uint8_t) { wrote = true; });
    QCOMPARE(whileOpen, 12);
    QCOMPARE(int(hours), hoursAfter);
    QCOMPARE(wrote, written);
    QVERIFY(!dlg.isVisible());
}

namespace {

// Two pseudo-terminals standing in for two serial devices, the port open on the first.
struct TTwoDevices {
    TPtyPair A, B;
    TComPort Port;
    int Opens = 0;
    std::vector<std::string> Names() const {
        std::vector<std::string> v = {A.SlavePath(), B.SlavePath()};
        std::sort(v.begin(), v.end());
        return v;
    }
    TTwoDevices() {
        Port.Events = ComEventBit(evRxChar);
        Port.SetPort(A.SlavePath());
        Port.SetBaudRate(br38400);
        Port.Open();
        Port.OnAfterOpen = [this](TCustomComPort&) { ++Opens; };
    }
};

}  // namespace

void DialogsTest::portDialogOkAppliesInOneBracket() {
    TTwoDevices dev;
    TDlgComSet dlg(dev.Port, [&](std::vector<std::string>& v) { v = dev.Names(); });
    QCOMPARE(dlg.ComComboBox1->Text(), dev.A.SlavePath());
    QCOMPARE(dlg.ComComboBox2->ItemIndex(), 10);
    const int bIndex = dev.Names()[0] == dev.B.SlavePath() ? 0 : 1;
    WhileModal(dlg, [&] {
        PickItem(dlg.ComComboBox1, bIndex);
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
    QCOMPARE(LineSpeed(dev.B.MasterFd()), 115200u);  // the new rate reached the device

    // Same selection again: nothing to reopen.
    WhileModal(dlg, [&] { QTest::mouseClick(dlg.OKBtn, Qt::LeftButton); });
    mnSetCOMClick(dlg, dev.Port);
    QCOMPARE(dev.Opens, 1);
    QVERIFY(dev.Port.Connected());
}

void DialogsTest::portDialogCancelLeavesThePort() {
    TTwoDevices dev;
    TDlgComSet dlg(dev.Port, [&](std::vector<std::string>& v) { v = dev.Names(); });
    const int bIndex = dev.Names()[0] == dev.B.SlavePath() ? 0 : 1;
    WhileModal(dlg, [&] {
        PickItem(dlg.ComComboBox1, bIndex);
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
}

void DialogsTest::portDialogFailedOpenClosesTheBracket() {
    TTwoDevices dev;
    const std::string missing = "/dev/tamberline-no-such-device";
    TDlgComSet dlg(dev.Port, [&](std::vector<std::string>& v) { v = {dev.A.SlavePath(), missing}; });
    WhileModal(dlg, [&] {
        PickItem(dlg.ComComboBox1, 1);
        PickItem(dlg.ComComboBox2, 13);
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    bool raised = false;
    try {
        mnSetCOMClick(dlg, dev.Port);
    } catch (const EComPort&) {
        raised = true;
    }
    QVERIFY(raised);
    QCOMPARE(dev.Port.UpdateCount(), 0);
    QVERIFY(!dev.Port.Connected());
    QCOMPARE(dev.Port.Port(), missing);      // kept, so it is saved at shut-down
    QCOMPARE(dev.Port.BaudRate(), br38400);  // the rate step was skipped
}

void DialogsTest::portDialogUnreadableList() {
    TComPort port;
    port.SetPort("/dev/ttyS0");
    TDlgComSet dlg(port, [](std::vector<std::string>& v) {
        v.clear();
        throw EComPort(23, 2);
    });
    QVERIFY(dlg.PortListError() != nullptr);
    QCOMPARE(dlg.PortListError()->Code, 23);
    QCOMPARE(dlg.ComComboBox1->count(), 0);
    QCOMPARE(dlg.ComComboBox2->ItemIndex(), int(br9600) == port.BaudRate() ? 7 : dlg.ComComboBox2->ItemIndex());
    ApplyComSettings(dlg, port);  // an empty port box leaves the name alone
    QCOMPARE(port.Port(), std::string("/dev/ttyS0"));
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
