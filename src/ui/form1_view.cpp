// TForm1 as the core's view: the texts, enabled states and pictures the plain C++ units ask for.
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include "ui/form1.h"

namespace tamberline {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QString Tooltip(const char* hint) {
    return QString::fromUtf8(hint).replace('\r', '\n');
}

}  // namespace

void TForm1::ShowClock(const std::string& hh, const std::string& mm, const std::string& ss) {
    lbHH->setText(Q(hh));
    lbMM->setText(Q(mm));
    lbSS->setText(Q(ss));
}

void TForm1::ApplyOperatingMode(bool sync) {
    ShowDeviceStateAsStale(false);
    imSputYes->setVisible(sync);
    imSputNo->setVisible(!sync);
    imLinkNo->hide();
    lbSputnik->setText(QString::fromUtf8(sync ? kSputnikSync : kSputnikNoSync));
    for (QWidget* w : std::initializer_list<QWidget*>{edNewHH, sbNewHH, edNewMM, sbNewMM, edNewSS, sbNewSS, btNewTime,
                                                      rbtTime, rbtSec})
        w->setEnabled(!sync);
    gbTimeSet->setToolTip(sync ? Tooltip(kHintTimeSet) : QString());
    for (QWidget* w : std::initializer_list<QWidget*>{rdgSumWnt, rbWinter, rbSummer, edHours, edMinutes, sbHours,
                                                      sbMinutes, btCorrect})
        w->setEnabled(sync);
    grbHours->setToolTip(sync ? QString() : Tooltip(kHintHours));
    imTimeYes->setVisible(!sync);
    imTimeNo->setVisible(sync);
    if (sync) Zone->AfterOperatingMode();
}

void TForm1::UpdateTray(bool sync) {
    Tray.Update(sync);
}

void TForm1::ShowLinkLost() {
    Tray.ShowNoLink(QString::fromUtf8(kSputnikNoLink));
    ShowDeviceStateAsStale(true);
    lbSputnik->setText(QString::fromUtf8(kSputnikNoLink));
}

void TForm1::ShowNoService() {
    Tray.ShowNoLink(QString::fromUtf8(kSputnikNoService));
    ShowDeviceStateAsStale(true);
    lbSputnik->setText(QString::fromUtf8(kSputnikNoService));
}

// Without a device the last time shown stands still and no mode holds: the digits turn grey and the
// pictures of either mode give way to the no-link picture and the time editor's neutral face, until the
// next time frame applies its mode.
void TForm1::ShowDeviceStateAsStale(bool stale) {
    for (QLabel* l : {lbHH, lbPnt1, lbMM, lbPnt2, lbSS}) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, stale ? Qt::gray : Qt::blue);
        l->setPalette(p);
    }
    if (!stale) return;
    imSputYes->hide();
    imSputNo->hide();
    imLinkNo->show();
    imTimeNo->show();
    imTimeYes->show();
    imTimeYes->raise();
}

void TForm1::SetZoneHoursText(const std::string& text) {
    edHours->setText(Q(text));
}
void TForm1::SetZoneMinutesText(const std::string& text) {
    edMinutes->setText(Q(text));
}

void TForm1::SetZoneMinutesEnabled(bool on) {
    edMinutes->setEnabled(on);
    sbMinutes->setEnabled(on);
}

int TForm1::SumWntItem() const {
    return SumWntButtons->checkedId();
}

void TForm1::SetSumWntItem(int index) {
    // Selecting by program runs the group's handler like a user's choice; the handler itself
    // tells the two apart by comparing with the accepted index.
    if (QAbstractButton* b = SumWntButtons->button(index)) b->setChecked(true);
}

void TForm1::FocusCorrectButton() {
    if (btCorrect->isEnabled()) btCorrect->setFocus(Qt::OtherFocusReason);
}

void TForm1::SetNewHHText(const std::string& text) {
    edNewHH->setText(Q(text));
}
void TForm1::SetNewMMText(const std::string& text) {
    edNewMM->setText(Q(text));
}
void TForm1::SetNewSSText(const std::string& text) {
    edNewSS->setText(Q(text));
}

bool TForm1::TimeModeSelected() const {
    return rbtTime->isChecked();
}

void TForm1::SetTimeModeSelected(bool timeMode) {
    (timeMode ? rbtTime : rbtSec)->setChecked(true);
}

void TForm1::SetNewTimeFieldsVisible(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{edNewHH, sbNewHH, lbNewHH, edNewMM, sbNewMM, lbNewMM})
        w->setVisible(on);
}

void TForm1::SetNewSSReadOnly(bool on) {
    edNewSS->setReadOnly(on);
}

void TForm1::SetStatusText(int panel, const std::string& text) {
    QLabel* l = panel == 0 ? StatusPanel0 : StatusPanel1;
    l->setText(Q(text));
    // The date panel was made wide enough for every weekday at creation; an unforeseen text still
    // must not be cut off.
    if (panel == 0) l->setFixedWidth(std::max(l->width(), l->fontMetrics().horizontalAdvance(l->text()) + 6));
}

void TForm1::ShowInputError(const std::string& message) {
    if (InputErrorBox) return InputErrorBox(message);
    QMessageBox::critical(this, "Error", Q(message), QMessageBox::Ok);
}

bool TForm1::Confirm(const std::string& question) {
    if (ConfirmBox) return ConfirmBox(question);
    QMessageBox box(QMessageBox::Question, "Confirm", Q(question), QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton("&Yes", QMessageBox::YesRole);
    box.addButton("&No", QMessageBox::NoRole);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace tamberline
