#include "ui/form1.h"

#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include "app/local_core.h"
#include "ui/pictures.h"
#include "ui/text_room.h"

namespace tamberline {

namespace {

// Heights of the layout, px.
constexpr int kStatusHeight = 19, kEditHeight = 21, kButtonHeight = 23;

QLabel* MakeLabel(QWidget* parent, const char* text, int x, int y) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->adjustSize();
    l->move(x, y);
    return l;
}

QLineEdit* MakeEdit(QWidget* parent, const char* text, int x, int y, bool readOnly) {
    auto* e = new QLineEdit(QString::fromUtf8(text), parent);
    e->setGeometry(x, y, 25, kEditHeight);
    e->setReadOnly(readOnly);
    return e;
}

TSpinButton* MakeSpin(QWidget* parent, int x, int y) {
    auto* s = new TSpinButton(parent);
    s->setGeometry(x, y, 20, 20);
    return s;
}

QLabel* MakePicture(QWidget* parent, const QPixmap& pm, int x, int y) {
    auto* l = new QLabel(parent);
    l->setPixmap(pm);
    l->setGeometry(QRect(QPoint(x, y), pm.deviceIndependentSize().toSize()));
    return l;
}

// Bold caption over regular contents: the bold font must not reach the children.
QGroupBox* MakeGroup(QWidget* parent, const char* title, const QRect& r) {
    auto* g = new QGroupBox(QString::fromUtf8(title), parent);
    g->setGeometry(r);
    QFont bold = parent->font();
    bold.setBold(true);
    g->setFont(bold);
    return g;
}

void RegularChildren(QWidget* group, const QFont& regular) {
    for (QWidget* w : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!qobject_cast<QGroupBox*>(w) || static_cast<QGroupBox*>(w)->title().isEmpty()) w->setFont(regular);
}

}  // namespace

TForm1::TForm1(TSystemClock& clock, TCurrentDirectory& dir, bool trayAvailable, TWindowCoreFactory makeCore,
               QWidget* parent)
    : QMainWindow(parent), Clock(clock), Dir(dir), TrayAvailable(trayAvailable) {
    setWindowTitle(QString::fromUtf8("Настройка времени"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    const QFont regular = SmallUiFont();
    setFont(regular);

    auto* client = new QWidget(this);
    setCentralWidget(client);
    BuildDeviceGroup(client);
    BuildHoursGroup(client);
    BuildTimeSetGroup(client);
    for (QGroupBox* g : {gbDevice, grbHours, gbTimeSet})
        RegularChildren(g, regular);
    BuildStatusBar();
    BuildMenus();
    SetTabOrder();
    FitToFont();
    if (QScreen* s = screen()) move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    Core = (makeCore ? makeCore : MakeLocalCore)({State, *this, ComPort1, Clock, Dir});
    Zone = std::make_unique<TZoneEditor>(State, *this);
    Time = std::make_unique<TTimeEditor>(State, *this);
    ConnectHandlers();
    btCorrect->setFocus();
    FormCreate();
}

void TForm1::BuildDeviceGroup(QWidget* client) {
    gbDevice = MakeGroup(client, "  Состояние прибора  ", QRect(8, 8, 441, 65));
    for (QLabel** l : {&lbHH, &lbPnt1, &lbMM, &lbPnt2, &lbSS})
        *l = new QLabel(l == &lbPnt1 || l == &lbPnt2 ? "." : "00", gbDevice);
    const qreal dpr = devicePixelRatioF();
    imSputYes = MakePicture(gbDevice, SkyPicture(true, dpr), 208, 20);
    imSputNo = MakePicture(gbDevice, SkyPicture(false, dpr), 208, 20);
    imLinkNo = MakePicture(gbDevice, NoLinkPicture(dpr), 208, 20);
    imSputYes->hide();
    imLinkNo->hide();
    lbSputnik = MakeLabel(gbDevice, kSputnikNoSync, 258, 30);
}

void TForm1::BuildHoursGroup(QWidget* client) {
    grbHours = MakeGroup(client, "  Часовой пояс    ", QRect(8, 76, 441, 93));
    rdgSumWnt = new QGroupBox(grbHours);
    rdgSumWnt->setGeometry(8, 16, 113, 65);
    rbWinter = new QRadioButton(QString::fromUtf8("Зимнее время"), rdgSumWnt);
    rbWinter->setGeometry(8, 12, 100, 20);
    rbSummer = new QRadioButton(QString::fromUtf8("Летнее время"), rdgSumWnt);
    rbSummer->setGeometry(8, 36, 100, 20);
    SumWntButtons = new QButtonGroup(this);
    SumWntButtons->addButton(rbWinter, 0);
    SumWntButtons->addButton(rbSummer, 1);
    rbWinter->setChecked(true);
    stHour = MakeLabel(grbHours, "Часы", 148, 25);
    stMinutes = MakeLabel(grbHours, "Минуты", 211, 25);
    // Empty until the first zone frame: before it the device's zone is not known.
    edHours = MakeEdit(grbHours, "", 140, 43, true);
    sbHours = MakeSpin(grbHours, 166, 44);
    edMinutes = MakeEdit(grbHours, "", 208, 43, true);
    sbMinutes = MakeSpin(grbHours, 232, 44);
    btCorrect = new QPushButton(QString::fromUtf8("Установить часовой пояс"), grbHours);
    btCorrect->setGeometry(273, 41, 159, kButtonHeight);
    Bevel1 = new QFrame(grbHours);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Raised);
    Bevel1->setGeometry(138, 72, 294, 8);
}

void TForm1::BuildTimeSetGroup(QWidget* client) {
    gbTimeSet = MakeGroup(client, "  Установка времени в автономном режиме  ", QRect(8, 171, 441, 121));
    const qreal dpr = devicePixelRatioF();
    imTimeNo = MakePicture(gbTimeSet, OlivePanelPicture(dpr), 8, 21);
    imTimeYes = MakePicture(gbTimeSet, ClockFacePicture(dpr), 8, 21);
    imTimeYes->raise();  // the clock face lies in front until a mode is applied
    GroupBox1 = new QGroupBox(gbTimeSet);
    GroupBox1->setGeometry(72, 16, 361, 41);
    rbtTime = new QRadioButton(QString::fromUtf8("Изменить время"), GroupBox1);
    rbtTime->setGeometry(8, 11, 125, 20);
    rbtSec = new QRadioButton(QString::fromUtf8("Скорректировать секунды"), GroupBox1);
    rbtSec->setGeometry(136, 11, 200, 20);
    rbtTime->setChecked(true);
    lbNewHH = MakeLabel(gbTimeSet, "Часы", 79, 66);
    lbNewMM = MakeLabel(gbTimeSet, "Минуты", 143, 66);
    lbNewSS = MakeLabel(gbTimeSet, "Секунды", 209, 66);
    edNewHH = MakeEdit(gbTimeSet, "00", 72, 84, false);
    sbNewHH = MakeSpin(gbTimeSet, 98, 85);
    edNewMM = MakeEdit(gbTimeSet, "00", 140, 84, false);
    sbNewMM = MakeSpin(gbTimeSet, 166, 85);
    edNewSS = MakeEdit(gbTimeSet, "00", 210, 84, false);
    sbNewSS = MakeSpin(gbTimeSet, 235, 85);
    btNewTime = new QPushButton(QString::fromUtf8("Записать изменения"), gbTimeSet);
    btNewTime->setGeometry(272, 83, 159, kButtonHeight);
}

void TForm1::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(kStatusHeight);
    StatusPanel0 = new QLabel(bar);
    StatusPanel1 = new QLabel(bar);
    bar->addWidget(StatusPanel0);
    bar->addWidget(StatusPanel1, 1);  // the last panel reaches the right edge
}

void TForm1::BuildMenus() {
    QMenu* mnCtrl = menuBar()->addMenu(QString::fromUtf8("Управление прибором"));
    mnCtrlSet = mnCtrl->addAction(QString::fromUtf8("Установить поправку"));
    mnCtrlTime = mnCtrl->addAction(QString::fromUtf8("Установить время"));
    mnCtrl->addSeparator();
    mnCtrlSyncro = mnCtrl->addAction(QString::fromUtf8("Синхронизировать время компьютера"));
    QMenu* mnSet = menuBar()->addMenu(QString::fromUtf8("Настройки"));
    mnSetCOM = mnSet->addAction(QString::fromUtf8("Настройка COM порта"));
    mnSetSyncroPeriod = mnSet->addAction(QString::fromUtf8("Настройка синхронизации времени ПК"));
    mnSet->addSeparator();
    mnSetSputCor = mnSet->addAction(QString::fromUtf8("Корректировка спутникового приемника"));
}

// Each radio group takes one place in the order, on its checked item: Qt gives a group a single
// tab stop, so both items stand in the group's place and only the checked one keeps TabFocus.
void TForm1::SetTabOrder() {
    QWidget* order[] = {edHours, edMinutes, rbWinter, rbSummer, sbHours, btCorrect, sbMinutes, edNewHH,
                        edNewMM, edNewSS,   sbNewHH,  sbNewMM,  sbNewSS, btNewTime, rbtTime,   rbtSec};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    for (QRadioButton* b : {rbWinter, rbSummer, rbtTime, rbtSec}) {
        const auto follow = [b] { b->setFocusPolicy(b->isChecked() ? Qt::StrongFocus : Qt::ClickFocus); };
        connect(b, &QRadioButton::toggled, this, follow);
        follow();
    }
}

}  // namespace tamberline
