#include "ui/dlg_syncro.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "clock/period.h"
#include "ui/dialog_actions.h"
#include "ui/spinbutton.h"
#include "ui/text_room.h"

namespace tamberline {

namespace {

// px of the widest text that a label of the plural rule can show.
int WidestPeriodText(const QFontMetrics& fm, std::string TPeriodLabels::*text) {
    int widest = 0;
    for (int h = 1; h <= 24; ++h)
        if (const auto labels = PeriodLabels(static_cast<uint8_t>(h)))
            widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString((*labels).*text)));
    return widest;
}

}  // namespace

TDlgSelectSyncroTime::TDlgSelectSyncroTime(uint8_t& syncroHours, QWidget* parent)
    : QDialog(parent), Hours(syncroHours) {
    SetupDialogFrame(*this, "Синхронизация ПК");
    // The group grows with the wider of "каждый" and "каждые" in this face, and the dialog with it.
    const QFontMetrics fm(font());
    const int every = WidestPeriodText(fm, &TPeriodLabels::Every) + 2;
    const int extra = std::max(0, 8 + every + 8 - 209);

    // OK first so that it takes the focus when the dialog opens.
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    OKBtn->setGeometry(20, 112, PushButtonWidth(OKBtn, 75), 25);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setGeometry(132 + extra + OKBtn->width() - 75, 110, PushButtonWidth(CancelBtn, 75), 25);
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(8, 8, 209 + extra, 89);
    Label1 = new QLabel(QStringLiteral("Синхронизировать время ПК каждые"), GroupBox1);
    Label1->setGeometry(8, 16, every, fm.height());
    edHours = new QLineEdit(GroupBox1);
    edHours->setGeometry(88, 40, EditWidth(edHours, 25, {"24"}), 21);
    sbHours = new TSpinButton(GroupBox1);
    sbHours->setGeometry(edHours->x() + edHours->width() - 1, 40, 20, 20);
    Label2 = new QLabel(QStringLiteral("часа."), GroupBox1);
    Label2->move(88, 64);
    Label2->adjustSize();
    FitDialog(*this, 225, 145);
    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, edHours);
    setTabOrder(edHours, sbHours);

    connect(sbHours, &TSpinButton::upClick, this, &TDlgSelectSyncroTime::sbHoursUpClick);
    connect(sbHours, &TSpinButton::downClick, this, &TDlgSelectSyncroTime::sbHoursDownClick);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TDlgSelectSyncroTime::reject);
}

void TDlgSelectSyncroTime::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    CentreOnScreen(*this);
    // Saved at each opening, not at each activation: switching to another window and back
    // must not make Cancel keep the stepped period.
    SyncroHoursSaved = Hours;
    ShowPeriod();
    OKBtn->setFocus();
}

bool TDlgSelectSyncroTime::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return QDialog::event(e);
}

void TDlgSelectSyncroTime::FormActivate() {
    ShowPeriod();
}

void TDlgSelectSyncroTime::sbHoursUpClick() {
    Hours = PeriodStepUp(Hours);
    ShowPeriod();
}

void TDlgSelectSyncroTime::sbHoursDownClick() {
    Hours = PeriodStepDown(Hours);
    ShowPeriod();
}

void TDlgSelectSyncroTime::ShowPeriod() {
    edHours->setText(QString::number(Hours));
    if (const auto labels = PeriodLabels(Hours)) {
        Label1->setText(QString::fromStdString(labels->Every));
        Label2->setText(QString::fromStdString(labels->Hours));
        Label2->adjustSize();
    }
}

void TDlgSelectSyncroTime::CancelBtnClick() {
    Hours = SyncroHoursSaved;
}

void TDlgSelectSyncroTime::reject() {
    CancelBtnClick();
    QDialog::reject();
}

}  // namespace tamberline
