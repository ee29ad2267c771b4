#include "ui/text_room.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

namespace tamberline {

namespace {

// What a line edit spends around its text: Qt keeps 2 px on either side inside the contents.
constexpr int kEditTextMargin = 2;

}  // namespace

QFont SmallUiFont() {
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    f.setBold(false);  // stated, not inherited, so bold group captions do not reach the contents
    return f;
}

int WidestText(const QWidget* w, const QStringList& texts) {
    const QFontMetrics fm(w->font());
    int widest = 0;
    for (const QString& t : texts)
        widest = std::max(widest, fm.horizontalAdvance(t));
    return widest;
}

int PushButtonWidth(const QPushButton* b, int layoutWidth) {
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.rect.setWidth(layoutWidth);
    if (b->autoDefault()) opt.features |= QStyleOptionButton::AutoDefaultButton;
    const QRect contents = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
    const int margin = b->style()->pixelMetric(QStyle::PM_ButtonMargin, &opt, b);
    return std::max(layoutWidth, WidestText(b, {b->text()}) + layoutWidth - contents.width() + margin);
}

int CheckableWidth(const QAbstractButton* b, int layoutWidth) {
    return std::max(layoutWidth, b->sizeHint().width());
}

int EditWidth(const QLineEdit* e, int layoutWidth, const QStringList& widestTexts) {
    QStyleOptionFrame opt;
    opt.initFrom(e);
    opt.rect.setWidth(layoutWidth);
    opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
    opt.state |= QStyle::State_Sunken;
    const QRect contents = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
    const QMargins tm = e->textMargins();
    const int around = layoutWidth - contents.width() + tm.left() + tm.right() + 2 * kEditTextMargin;
    return std::max(layoutWidth, WidestText(e, widestTexts) + around);
}

}  // namespace tamberline
