// Program entry: --help and --version first, then the application with its title and error box, the
// main window (the service's panel when the service answers, else the standalone program), the
// dialogs, and the message loop. Every other option is Qt's.
#include <QSystemTrayIcon>
#include <QTimer>
#include <clocale>

#include "app/current_dir.h"
#include "app/window_options.h"
#include "clock/precise_timer.h"
#include "clock/system_clock.h"
#include "control/remote_core.h"
#include "ui/application.h"
#include "ui/form1.h"
#include "ui/qt_delivery.h"

int main(int argc, char** argv) {
    using namespace tamberline;
    if (auto exitCode = AnswerWindowOptions(argc, argv)) return *exitCode;
    std::setlocale(LC_ALL, "");  // weekday names and the time separator follow the user's locale
    TakeGrantedClockRights();    // first: the raised priority below needs it
    UseFineTimerSlack();
    UseShortSchedulerSlice();  // before any thread starts, so the event thread has it too
    UseRaisedPriority();       // likewise; refused without the right, and then the default serves
    TApplication app(argc, argv);
    BindQtDelivery();
    TLocalSystemClock clock;
    TProcessCurrentDirectory dir;
    // Where the service runs, it owns the device and the clock, and the window is its panel.
    const std::string endpoint = ControlEndpoint();
    TWindowCoreFactory makeCore;
    std::unique_ptr<TServiceLink> service = TServiceLink::Attach(endpoint, std::chrono::seconds(2));
    if (service)
        makeCore = [&](TWindowCoreDeps deps) {
            return std::make_unique<TRemoteCore>(deps, endpoint, std::move(service));
        };
    TForm1 form1(clock, dir, QSystemTrayIcon::isSystemTrayAvailable(), makeCore);
    // Started from log-in, the program may come up before the panel that holds the tray.
    QTimer trayWatch;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        QObject::connect(&trayWatch, &QTimer::timeout, [&] {
            if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
            trayWatch.stop();
            form1.TrayAppeared();
        });
        trayWatch.start(1000);
    }
    QObject::connect(&form1, &TForm1::Closed, &app, &QApplication::quit, Qt::QueuedConnection);
    form1.WatchEndOfSession(app);
    form1.CreateDialogs();
    form1.show();
    form1.activateWindow();  // the first activation hides the program to the tray
    return app.exec();
}
