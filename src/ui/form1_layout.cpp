// TForm1's geometry in the face the system gives: the controls stand where the window layout puts
// them, grow where their texts need it, and push what follows them in the row to the right; the
// groups, the status bar and the window widen with them (never below the layout's 459 px).
#include <QLayout>
#include <QMenuBar>
#include <QStatusBar>
#include <algorithm>

#include "clock/clock_texts.h"
#include "ui/form1.h"
#include "ui/text_room.h"

namespace tamberline {

namespace {

// Layout sizes, px: the client area and the margins of the groups within it and of the buttons
// within the groups.
constexpr int kClientWidth = 459, kClientHeight = 314;
constexpr int kGroupsLeft = 8, kGroupsRightMargin = 10, kGroupWidth = 441, kButtonRightMargin = 9;
constexpr int kChoiceRightMargin = 8;  // GroupBox1 within gbTimeSet

int Right(const QWidget* w) {
    return w->x() + w->width();
}

// One row of controls placed from the layout: each moves right by what the ones before it grew.
struct TRow {
    int Shift = 0;  // px

    void Place(QWidget* w, int width) {
        const int layoutRight = Right(w) + Shift;
        w->setGeometry(w->x() + Shift, w->y(), width, w->height());
        Shift += std::max(0, Right(w) - layoutRight);
    }

    // An edit with its spin button on the right and its caption above: they move together, and
    // the field takes as much room as the wider of the two needs.
    void PlaceField(QLabel* caption, QLineEdit* edit, QWidget* spin, const QStringList& widest) {
        const int layoutRight = Right(spin) + Shift;
        const int grow = EditWidth(edit, edit->width(), widest) - edit->width();
        edit->setGeometry(edit->x() + Shift, edit->y(), edit->width() + grow, edit->height());
        spin->move(spin->x() + Shift + grow, spin->y());
        caption->adjustSize();
        caption->move(caption->x() + Shift, caption->y());
        Shift += std::max(0, std::max(Right(spin), Right(caption)) - layoutRight);
    }
};

// A button at the end of its row keeps the layout's margin to the group's right edge.
void AlignRight(QWidget* button, int groupWidth) {
    button->move(std::max(button->x(), groupWidth - kButtonRightMargin - button->width()), button->y());
}

}  // namespace

void TForm1::FitToFont() {
    const int groupWidth = std::max({kGroupWidth, FitHoursRow(), FitTimeSetRows(), DeviceRowWidth()});
    const int clientWidth = std::max({kClientWidth, kGroupsLeft + groupWidth + kGroupsRightMargin, FitStatusBar()});
    for (QGroupBox* g : {gbDevice, grbHours, gbTimeSet})
        g->resize(clientWidth - kGroupsLeft - kGroupsRightMargin, g->height());
    const int inner = gbDevice->width();
    AlignRight(btCorrect, inner);
    Bevel1->resize(Right(btCorrect) - Bevel1->x(), Bevel1->height());
    AlignRight(btNewTime, inner);
    GroupBox1->resize(std::max(GroupBox1->width(), inner - kChoiceRightMargin - GroupBox1->x()), GroupBox1->height());
    PlaceDeviceState();
    setFixedSize(clientWidth, menuBar()->sizeHint().height() + kClientHeight);
}

// Returns the group width the row needs.
int TForm1::FitHoursRow() {
    const int radio =
        std::max(CheckableWidth(rbWinter, rbWinter->width()), CheckableWidth(rbSummer, rbSummer->width()));
    const int radioGroupGrows = std::max(0, rbWinter->x() + radio - (rdgSumWnt->width() - 5));
    rbWinter->resize(radio, rbWinter->height());
    rbSummer->resize(radio, rbSummer->height());
    const int bevelFromFields = Bevel1->x() - edHours->x();
    TRow row;
    row.Place(rdgSumWnt, rdgSumWnt->width() + radioGroupGrows);
    row.PlaceField(stHour, edHours, sbHours, {"+12", "-12"});
    row.PlaceField(stMinutes, edMinutes, sbMinutes, {"59", "60"});  // summer time can show 60
    Bevel1->move(edHours->x() + bevelFromFields, Bevel1->y());
    row.Place(btCorrect, PushButtonWidth(btCorrect, btCorrect->width()));
    return Right(btCorrect) + kButtonRightMargin;
}

int TForm1::FitTimeSetRows() {
    TRow choice;
    choice.Place(rbtTime, CheckableWidth(rbtTime, rbtTime->width()));
    choice.Place(rbtSec, CheckableWidth(rbtSec, rbtSec->width()));
    GroupBox1->resize(GroupBox1->width() + choice.Shift, GroupBox1->height());
    TRow fields;
    fields.PlaceField(lbNewHH, edNewHH, sbNewHH, {"23", "  9"});
    fields.PlaceField(lbNewMM, edNewMM, sbNewMM, {"59"});
    fields.PlaceField(lbNewSS, edNewSS, sbNewSS, {"59", "+30", "-29"});
    fields.Place(btNewTime, PushButtonWidth(btNewTime, btNewTime->width()));
    return std::max(Right(GroupBox1) + kChoiceRightMargin, Right(btNewTime) + kButtonRightMargin);
}

// The clock's own big blue digits side by side from the left edge, the font deciding their widths.
int TForm1::PlaceClockDigits() {
    QFont digits = font();
    digits.setPixelSize(32);
    digits.setBold(true);
    QPalette blue = lbHH->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    int x = 16;
    for (QLabel* l : {lbHH, lbPnt1, lbMM, lbPnt2, lbSS}) {
        l->setFont(digits);
        l->setPalette(blue);
        l->setFixedSize(QFontMetrics(digits).horizontalAdvance(l->text()) + 2, QFontMetrics(digits).height());
        l->move(x, 16);
        x += l->width();
    }
    return x;
}

int TForm1::SputnikTextWidth() const {
    QStringList texts;
    for (const char* t : kSputnikTexts)
        texts << QString::fromUtf8(t);
    return WidestText(lbSputnik, texts) + 4;
}

int TForm1::DeviceRowWidth() {
    // The picture takes 50 px before the text; the text may move left up to it.
    return PlaceClockDigits() + 50 + SputnikTextWidth() + 8;
}

// The satellite picture and text at their place, or further left when the text needs the room.
void TForm1::PlaceDeviceState() {
    const int textWidth = SputnikTextWidth();
    const int textX = std::max(PlaceClockDigits() + 50, std::min(258, gbDevice->width() - 8 - textWidth));
    lbSputnik->setGeometry(textX, 30, textWidth, lbSputnik->fontMetrics().height());
    for (QLabel* im : {imSputYes, imSputNo, imLinkNo})
        im->move(textX - 50, 20);
}

// Panel 0 takes the widest date line of any weekday; returns the width the bar needs for panel 1's
// longest text: never synchronised, a stamp, or the clock refused.
int TForm1::FitStatusBar() {
    QStringList dates, lastSyncro;
    for (int d = 0; d < 7; ++d)
        dates << QString::fromStdString(" " + Clock.WeekdayAbbrev(d) + ": 00.00.0000");
    const std::string stamp = SyncroStamp({2000, 10, 20, 20, 0, 0, 0, 0}, Clock.TimeSeparator());
    lastSyncro << QString::fromStdString(LastSyncroText(kNoSyncroYet)) << QString::fromStdString(LastSyncroText(stamp))
               << QString::fromStdString(kNoClockRightText);
    StatusPanel0->setFixedWidth(std::max(90, WidestText(StatusPanel0, dates) + 6));
    StatusPanel1->setMinimumWidth(WidestText(StatusPanel1, lastSyncro) + 6);
    statusBar()->setFixedHeight(std::max(statusBar()->height(), StatusPanel1->fontMetrics().height() + 6));
    // The bar lays its panels out lazily; asked now, it would not count them yet.
    QLayout* panels = statusBar()->layout();
    if (!panels) return StatusPanel0->width() + StatusPanel1->minimumWidth();
    panels->activate();
    return panels->minimumSize().width();
}

}  // namespace tamberline
