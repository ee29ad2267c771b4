#include "ui/notifier_host.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace tamberline {

namespace {

// The watcher answers at once; a bus that hangs must not freeze the click for D-Bus's default 25 s.
constexpr int kAnswerWaitMs = 500;

}  // namespace

bool StatusNotifierHostPresent() {
    // The question Qt asks before it puts its icon on the bus rather than into an X11 tray: a
    // registered watcher that knows of a host. A missing watcher answers with an error at once.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierWatcher") << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, kAnswerWaitMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

}  // namespace tamberline
