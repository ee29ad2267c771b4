#include "ui/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace tamberline {

namespace {

QPixmap Canvas(int w, int h, qreal dpr) {
    QPixmap pm(QSize(qRound(w * dpr), qRound(h * dpr)));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    return pm;
}

// Sky in a 32-unit square; the painter is already scaled to the target size.
void PaintSky(QPainter& p, int size) {
    // Stars stay at least about a pixel wide on the small tray sizes, or they fade away.
    const qreal minRadius = 0.6 * 32.0 / size;
    QLinearGradient sky(0, 0, 0, 32);
    sky.setColorAt(0, QColor(4, 12, 52));
    sky.setColorAt(1, QColor(16, 40, 110));
    p.fillRect(QRectF(0, 0, 32, 32), sky);
    // Fixed star field (x, y, radius in units); the same on every size so the two states match.
    static const float stars[][3] = {{3, 4, .6f},   {9, 2, .45f},  {15, 6, .5f},  {25, 3, .7f},  {29, 9, .45f},
                                     {5, 13, .45f}, {27, 17, .5f}, {2, 22, .6f},  {8, 28, .45f}, {19, 27, .6f},
                                     {29, 26, .5f}, {13, 18, .4f}, {22, 11, .4f}, {12, 10, .4f}, {24, 22, .4f}};
    p.setPen(Qt::NoPen);
    for (const auto& s : stars) {
        p.setBrush(QColor(255, 255, 220, 235));
        const qreal r = std::max<qreal>(s[2], minRadius);
        p.drawEllipse(QPointF(s[0], s[1]), r, r);
    }
    // Two brighter stars with a cross glint.
    p.setPen(QPen(QColor(255, 255, 230, 200), 0.35));
    for (const QPointF c : {QPointF(25, 3), QPointF(3, 4)}) {
        p.drawLine(c + QPointF(-1.6, 0), c + QPointF(1.6, 0));
        p.drawLine(c + QPointF(0, -1.6), c + QPointF(0, 1.6));
    }
}

void PaintSolarPanel(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(200, 210, 230), 0.5));
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(70, 130, 230));
    g.setColorAt(1, QColor(20, 60, 170));
    p.setBrush(g);
    p.drawRect(r);
    p.setPen(QPen(QColor(180, 200, 240, 180), 0.3));
    for (int i = 1; i < 3; ++i) {
        const qreal x = r.left() + r.width() * i / 3;
        p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
    }
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
}

// Satellite centred in the 32-unit square, tilted like a craft in orbit.
void PaintSatellite(QPainter& p) {
    p.save();
    p.translate(16, 16);
    p.rotate(-35);
    p.setPen(QPen(QColor(190, 190, 190), 0.7));
    p.drawLine(QPointF(-11, 0), QPointF(11, 0));  // panel struts
    PaintSolarPanel(p, QRectF(-15.5, -3.5, 9, 7));
    PaintSolarPanel(p, QRectF(6.5, -3.5, 9, 7));
    QLinearGradient body(-4, -4, 4, 4);
    body.setColorAt(0, QColor(255, 225, 120));
    body.setColorAt(1, QColor(190, 140, 30));
    p.setPen(QPen(QColor(120, 90, 20), 0.5));
    p.setBrush(body);
    p.drawRect(QRectF(-4, -4.5, 8, 9));
    // Antenna dish and feed on top of the body.
    p.setPen(QPen(QColor(230, 230, 230), 0.6));
    p.drawLine(QPointF(0, -4.5), QPointF(0, -7));
    p.setBrush(QColor(235, 235, 240));
    p.drawChord(QRectF(-3.2, -10.5, 6.4, 6), 0, 180 * 16);
    p.restore();
}

void PaintSkySquare(QPainter& p, int size, bool withSatellite) {
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    PaintSky(p, size);
    if (withSatellite) PaintSatellite(p);
}

// The red "no" sign over most of the square, thick enough to read at 16 px.
void PaintNoLinkSquare(QPainter& p, int size) {
    PaintSkySquare(p, size, false);
    QPen red(QColor(230, 30, 30), 3.6, Qt::SolidLine, Qt::RoundCap);
    p.setPen(red);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(16, 16), 11, 11);
    p.drawLine(QPointF(8.2, 23.8), QPointF(23.8, 8.2));
}

template <class Paint>
QIcon SquareIcon(Paint paint) {
    QIcon icon;
    for (int size : {16, 22, 32, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(p, size);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

// One block letter of a 3 x 5 grid, rows top to bottom, bit 2 = left column.
void PaintBlockGlyph(QPainter& p, const uint8_t rows[5], qreal x, qreal y, qreal cell) {
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 3; ++c)
            if (rows[r] & (4 >> c)) p.drawRect(QRectF(x + c * cell, y + r * cell, cell - 0.6, cell - 0.6));
}

}  // namespace

void PaintSkyIcon(QPainter& p, int size, bool withSatellite) {
    PaintSkySquare(p, size, withSatellite);
}

QPixmap SkyPicture(bool withSatellite, qreal dpr) {
    QPixmap pm = Canvas(32, 32, dpr);
    QPainter p(&pm);
    PaintSkySquare(p, 32, withSatellite);
    return pm;
}

QPixmap ClockFacePicture(qreal dpr) {
    QPixmap pm = Canvas(57, 83, dpr);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(28.5, 41.5);
    const qreal r = 25;
    QRadialGradient rim(c, r);
    rim.setColorAt(0.85, Qt::white);
    rim.setColorAt(1, QColor(225, 225, 230));
    p.setBrush(rim);
    p.setPen(QPen(QColor(40, 40, 60), 2));
    p.drawEllipse(c, r, r);
    for (int i = 0; i < 60; ++i) {  // minute ticks, longer every five minutes
        const qreal a = i * M_PI / 30;
        const bool hour = i % 5 == 0;
        const qreal inner = hour ? r - 5 : r - 2.5;
        p.setPen(QPen(QColor(30, 30, 40), hour ? 1.6 : 0.6));
        p.drawLine(c + QPointF(std::sin(a) * inner, -std::cos(a) * inner),
                   c + QPointF(std::sin(a) * (r - 1.2), -std::cos(a) * (r - 1.2)));
    }
    auto hand = [&](qreal turns, qreal len, qreal width, QColor col) {
        const qreal a = turns * 2 * M_PI;
        p.setPen(QPen(col, width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, c + QPointF(std::sin(a) * len, -std::cos(a) * len));
    };
    hand(10.2 / 12, 13, 2.6, QColor(20, 20, 30));  // about 10:10, the classic clock-face pose
    hand(10.0 / 60, 19, 1.8, QColor(20, 20, 30));
    hand(35.0 / 60, 21, 0.7, QColor(200, 20, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 20, 20));
    p.drawEllipse(c, 1.6, 1.6);
    return pm;
}

QPixmap OlivePanelPicture(qreal dpr) {
    QPixmap pm = Canvas(57, 83, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 83);
    g.setColorAt(0, QColor(62, 66, 30));
    g.setColorAt(1, QColor(40, 44, 18));
    p.setPen(QPen(QColor(24, 26, 10), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, 56, 82), 3, 3);
    // "GPS" and "SYNC" in block letters, lit green like a display.
    static const uint8_t G[5] = {7, 4, 5, 5, 7}, P[5] = {7, 5, 7, 4, 4}, S[5] = {7, 4, 7, 1, 7}, Y[5] = {5, 5, 7, 2, 2},
                         N[5] = {5, 7, 7, 5, 5}, C[5] = {7, 4, 4, 4, 7};
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 255, 90));
    const uint8_t* top[] = {G, P, S};
    for (int i = 0; i < 3; ++i)
        PaintBlockGlyph(p, top[i], 6 + i * 16, 12, 4);
    const uint8_t* bottom[] = {S, Y, N, C};
    for (int i = 0; i < 4; ++i)
        PaintBlockGlyph(p, bottom[i], 5.5 + i * 12.5, 48, 3);
    p.setBrush(QColor(40, 160, 40));
    for (int i = 0; i < 6; ++i)
        p.drawRect(QRectF(6 + i * 8, 70, 5.4, 3));  // signal bar
    return pm;
}

QPixmap NoLinkPicture(qreal dpr) {
    QPixmap pm = Canvas(32, 32, dpr);
    QPainter p(&pm);
    PaintNoLinkSquare(p, 32);
    return pm;
}

QIcon SkyIcon(bool withSatellite) {
    return SquareIcon([withSatellite](QPainter& p, int size) { PaintSkySquare(p, size, withSatellite); });
}

QIcon NoLinkIcon() {
    return SquareIcon([](QPainter& p, int size) { PaintNoLinkSquare(p, size); });
}

}  // namespace tamberline
