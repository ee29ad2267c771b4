// The tray icon where the notification area is a D-Bus status-notifier host, which reports a click
// as one activation and never a double-click. The test runs its own session bus with a minimal
// watcher (in a thread of its own, since the icon's check waits for its answer) and its own X
// display: Qt puts its icon on the bus under xcb, not offscreen. The host's click is sent to the
// icon over the bus as a host sends it.
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QMutex>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <csignal>

#include <sys/prctl.h>

#include "ui/tray.h"

namespace tamberline {

namespace {

// What a desktop's watcher offers the icon: the registration of items and whether a host shows them.
class TWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)

  public:
    std::atomic<bool> Host{true};
    bool HostRegistered() const { return Host; }
    // The bus name of the connection that registered an item; empty until one did.
    QString ItemOwner() {
        QMutexLocker lock(&mutex_);
        return owner_;
    }

  public slots:
    void RegisterStatusNotifierItem(const QString&) {
        QMutexLocker lock(&mutex_);
        owner_ = message().service();
    }

  private:
    QMutex mutex_;
    QString owner_;
};

// A program the test starts, that prints what the test needs on its first line; it runs until the
// test ends, also when the test is killed (a hang past ctest's time-out).
class TChild {
  public:
    TChild(const QString& program, const QStringList& args) {
        p_.setStandardErrorFile(QProcess::nullDevice());
        p_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        p_.start(program, args);
        while (FirstLine.isEmpty() && p_.waitForReadyRead(5000))
            if (p_.canReadLine()) FirstLine = QString::fromUtf8(p_.readLine()).trimmed();
    }
    ~TChild() {
        p_.terminate();  // Xvfb then removes its socket and lock file
        if (!p_.waitForFinished(3000)) p_.kill();
        p_.waitForFinished();
    }
    QString FirstLine;

  private:
    QProcess p_;
};

}  // namespace

class TrayTest : public QObject {
    Q_OBJECT

    QThread watcherThread;
    TWatcher* watcher = nullptr;

  private slots:
    void initTestCase() {
        watcher = new TWatcher;
        watcher->moveToThread(&watcherThread);
        watcherThread.start();
        QDBusConnection bus =
            QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), "watcher");
        QVERIFY(bus.registerObject("/StatusNotifierWatcher", watcher,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
        QVERIFY(bus.registerService("org.kde.StatusNotifierWatcher"));
    }
    void cleanupTestCase() {
        QDBusConnection::disconnectFromBus("watcher");
        watcherThread.quit();
        watcherThread.wait();
        delete watcher;
    }

    void hostActivationRestores() {
        TTrayIcon tray;
        tray.Add();
        QTRY_VERIFY_WITH_TIMEOUT(!watcher->ItemOwner().isEmpty(), 5000);  // on the bus, not in an X11 tray
        QSignalSpy restored(&tray, &TTrayIcon::restoreRequested);
        QDBusConnection host = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), "host");
        // The host is asked at each click: one that leaves or comes later counts from then on.
        const struct {
            const char* name;
            bool host;
            int restores;
        } cases[] = {
            {"a registered host: its click restores", true, 1},
            {"the host has gone: a click is half a double-click", false, 0},
            {"a host registered later: its click restores", true, 1},
        };
        for (const auto& c : cases) {
            watcher->Host = c.host;
            restored.clear();
            QDBusMessage activate = QDBusMessage::createMethodCall(watcher->ItemOwner(), "/StatusNotifierItem",
                                                                   "org.kde.StatusNotifierItem", "Activate");
            activate << 100 << 10;
            const QDBusPendingCall call = host.asyncCall(activate);
            // The icon answers once it has handled the click.
            QTRY_VERIFY_WITH_TIMEOUT(call.isFinished(), 3000);
            QVERIFY2(!call.isError(), qPrintable(call.error().message()));
            QVERIFY2(restored.count() == c.restores, c.name);
        }
        QDBusConnection::disconnectFromBus("host");
    }
};

}  // namespace tamberline

// The bus and the display must exist before the application connects to them.
int main(int argc, char** argv) {
    QTemporaryFile config;
    if (!config.open()) return 1;
    // A bus with no services to start: nothing outlives the test.
    config.write(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/>
</policy></busconfig>
)");
    config.flush();
    tamberline::TChild bus("dbus-daemon", {"--nofork", "--print-address", "--config-file=" + config.fileName()});
    tamberline::TChild display("Xvfb", {"-displayfd", "1", "-nolisten", "tcp"});
    if (bus.FirstLine.isEmpty() || display.FirstLine.isEmpty()) {
        qCritical("tray_test: dbus-daemon or Xvfb did not start");
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.FirstLine.toUtf8());
    qputenv("DISPLAY", (":" + display.FirstLine).toUtf8());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    tamberline::TrayTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tray_test.moc"
