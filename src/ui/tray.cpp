#include "ui/tray.h"

#include <QCursor>

#include "ui/notifier_host.h"
#include "ui/pictures.h"

namespace tamberline {

TTrayIcon::TTrayIcon(QObject* parent)
    : QObject(parent), noSync_(SkyIcon(false)), sync_(SkyIcon(true)), noLink_(NoLinkIcon()) {
    mnTrayRestore = menu_.addAction("Открыть программу");
    menu_.addSeparator();
    mnTrayExit = menu_.addAction("Закрыть программу");
    connect(mnTrayRestore, &QAction::triggered, this, &TTrayIcon::restoreRequested);
    connect(mnTrayExit, &QAction::triggered, this, &TTrayIcon::exitRequested);
    connect(&icon_, &QSystemTrayIcon::activated, this, &TTrayIcon::Activated);
    icon_.setIcon(noSync_);
    icon_.setToolTip(QString::fromUtf8(kTrayTipNoSync));
}

TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::Add() {
    icon_.show();
    added_ = true;
}

void TTrayIcon::Update(bool synchronised) {
    ++updates_;
    icon_.setIcon(synchronised ? sync_ : noSync_);
    icon_.setToolTip(QString::fromUtf8(synchronised ? kTrayTipSync : kTrayTipNoSync));
}

void TTrayIcon::ShowNoLink(const QString& why) {
    icon_.setIcon(noLink_);
    icon_.setToolTip(QString::fromUtf8(kTrayTipPrefix) + why);
}

void TTrayIcon::Remove() {
    icon_.hide();
    added_ = false;
}

void TTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
            emit restoreRequested();
            break;
        case QSystemTrayIcon::Trigger:
            // A status-notifier host reports any click as this one activation, so there it is the
            // only way back short of the menu. Elsewhere it is the first half of a double-click.
            if (StatusNotifierHostPresent()) emit restoreRequested();
            break;
        case QSystemTrayIcon::Context:
            // Popped by hand, not through setContextMenu, so it opens where the pointer asks.
            menu_.popup(MenuPosition(QCursor::pos()));
            break;
        default:  // the middle button does nothing
            break;
    }
}

}  // namespace tamberline
