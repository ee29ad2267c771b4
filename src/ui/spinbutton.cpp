#include "ui/spinbutton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace tamberline {

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent) {
    resize(20, 20);
    setFocusPolicy(Qt::StrongFocus);
    Repeat.setSingleShot(false);
    connect(&Repeat, &QTimer::timeout, this, &TSpinButton::RepeatTimer);
}

QRect TSpinButton::PartRect(Part part) const {
    const int half = height() / 2;
    if (part == Up) return QRect(0, 0, width(), half);
    return QRect(0, half, width(), height() - half);
}

TSpinButton::Part TSpinButton::PartAt(const QPoint& p) const {
    if (PartRect(Up).contains(p)) return Up;
    if (PartRect(Down).contains(p)) return Down;
    return None;
}

void TSpinButton::Step(Part part) {
    if (part == Up) emit upClick();
    if (part == Down) emit downClick();
}

void TSpinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (Part part : {Up, Down}) {
        QStyleOptionButton panel;
        panel.initFrom(this);
        panel.rect = PartRect(part);
        panel.state &= ~QStyle::State_HasFocus;
        if (Pressed == part && Over)
            panel.state |= QStyle::State_Sunken;
        else
            panel.state |= QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &panel, &painter, this);

        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = panel.rect.adjusted(2, 1, -2, -1);
        if (Pressed == part && Over) arrow.rect.translate(1, 1);
        style()->drawPrimitive(part == Up ? QStyle::PE_IndicatorSpinUp : QStyle::PE_IndicatorSpinDown, &arrow, &painter,
                               this);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void TSpinButton::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    Pressed = PartAt(e->position().toPoint());
    Over = Pressed != None;
    if (Pressed != None) Repeat.start(InitialRepeatMs);
    update();
}

void TSpinButton::mouseMoveEvent(QMouseEvent* e) {
    if (Pressed == None) return;
    const bool over = PartAt(e->position().toPoint()) == Pressed;
    if (over != Over) {
        Over = over;
        update();
    }
}

void TSpinButton::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || Pressed == None) return QWidget::mouseReleaseEvent(e);
    const Part part = Pressed;
    const bool over = PartAt(e->position().toPoint()) == part;
    StopPress();
    // A press dragged off the arrow and released elsewhere is no click.
    if (over) Step(part);
}

void TSpinButton::RepeatTimer() {
    // The first repeat comes after the longer initial pause; the rest follow quickly.
    if (Repeat.interval() != RepeatMs) Repeat.setInterval(RepeatMs);
    if (Over && isEnabled()) Step(Pressed);
}

void TSpinButton::StopPress() {
    Repeat.stop();
    Pressed = None;
    Over = false;
    update();
}

void TSpinButton::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Up)
        Step(Up);
    else if (e->key() == Qt::Key_Down)
        Step(Down);
    else
        QWidget::keyPressEvent(e);
}

void TSpinButton::changeEvent(QEvent* e) {
    // Disabling the button mid-press must not leave the repeat running.
    if (e->type() == QEvent::EnabledChange && !isEnabled()) StopPress();
    QWidget::changeEvent(e);
}

}  // namespace tamberline
