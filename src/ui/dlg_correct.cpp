#include "ui/dlg_correct.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "device/time_editor.h"
#include "ui/dialog_actions.h"
#include "ui/spinbutton.h"
#include "ui/text_room.h"

namespace tamberline {

TDlgCorrect::TDlgCorrect(QWidget* parent) : QDialog(parent) {
    SetupDialogFrame(*this, "Корректировка");

    Label1 = new QLabel(QStringLiteral("Корректировка погрешности"), this);
    Label1->move(16, 8);
    Label1->adjustSize();
    Label2 = new QLabel(QStringLiteral("спутникового приемника в"), this);
    Label2->move(24, 24);
    Label2->adjustSize();
    Label3 = new QLabel(QStringLiteral("секундах:"), this);
    Label3->move(64, 40);
    Label3->adjustSize();
    chbEnable = new QCheckBox(this);
    chbEnable->setLayoutDirection(Qt::RightToLeft);  // box on the right, next to the field
    chbEnable->setGeometry(16, 66, 41, 17);
    edSec = new QLineEdit(this);
    edSec->setReadOnly(true);
    edSec->setGeometry(69, 64, EditWidth(edSec, 25, {"+30", "-29"}), 21);
    sbSec = new TSpinButton(this);
    sbSec->setGeometry(edSec->x() + edSec->width() + 1, 65, 20, 20);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    OKBtn->setGeometry(12, 94, PushButtonWidth(OKBtn, 75), 25);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setGeometry(100 + OKBtn->width() - 75, 94, PushButtonWidth(CancelBtn, 75), 25);
    FitDialog(*this, 186, 128);

    connect(sbSec, &TSpinButton::upClick, this, &TDlgCorrect::sbSecUpClick);
    connect(sbSec, &TSpinButton::downClick, this, &TDlgCorrect::sbSecDownClick);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TDlgCorrect::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    CentreOnScreen(*this);
    FormShow();
    CancelBtn->setFocus();
}

void TDlgCorrect::FormShow() {
    chbEnable->setChecked(false);
    ShowSeconds();
}

void TDlgCorrect::sbSecUpClick() {
    if (!chbEnable->isChecked()) return;
    CorrSeconds = StepCorrection(CorrSeconds, true);
    ShowSeconds();
}

void TDlgCorrect::sbSecDownClick() {
    if (!chbEnable->isChecked()) return;
    CorrSeconds = StepCorrection(CorrSeconds, false);
    ShowSeconds();
}

void TDlgCorrect::ShowSeconds() {
    edSec->setText(QString::fromStdString(CorrectionText(CorrSeconds)));
}

}  // namespace tamberline
