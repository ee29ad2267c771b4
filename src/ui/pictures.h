// The window's pictures and the tray icons, drawn with QPainter at the screen's device pixel
// ratio so they stay sharp at 100 % and 200 % scale.
#pragma once

#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace tamberline {

// 32 x 32 (logical px): dark-blue starry night sky, with or without the satellite.
QPixmap SkyPicture(bool withSatellite, qreal dpr);
// 57 x 83: analogue clock face on white.
QPixmap ClockFacePicture(qreal dpr);
// 57 x 83: dark olive panel with green block lettering.
QPixmap OlivePanelPicture(qreal dpr);
// 32 x 32: the empty night sky with a red no-link mark (a struck-through circle).
QPixmap NoLinkPicture(qreal dpr);
// Tray icon of a state, drawn separately at 16, 22, 32 and 64 px.
QIcon SkyIcon(bool withSatellite);
QIcon NoLinkIcon();
// The tray icon's drawing onto any paint device, `size` px square; the installed application
// icons are rendered with it, so menu, task switcher and tray show one picture.
void PaintSkyIcon(QPainter& p, int size, bool withSatellite);

}  // namespace tamberline
