// The window as the service's panel: the real tamberlined against the simulator, under the recording
// clock, and the real window attached to it. What the user does in the panel reaches the device through
// the service; the service's schedule sets the clock; a service that stops and comes back is followed.
#include <QTemporaryDir>
#include <QtTest>

#include "control/remote_core.h"
#include "support/fake_os.h"
#include "support/service_child.h"
#include "support/sim_process.h"
#include "ui/error_box.h"
#include "ui/form1.h"
#include "ui/qt_delivery.h"
#include "ui/sim_commands.h"

namespace tamberline {

namespace {

const QString kSync = QString::fromUtf8("Синхронизация от спутников есть.");
const QString kNoService = QString::fromUtf8("Нет связи со службой.");

// The local time of day of each clock setting the recorder kept ("clock_settime SEC USEC" lines).
std::vector<std::string> SetTimesOfDay(const std::string& log) {
    std::vector<std::string> out;
    std::istringstream in(log);
    std::string call;
    long long sec = 0, usec = 0;
    while (in >> call >> sec >> usec) {
        const time_t t = static_cast<time_t>(sec);
        tm local{};
        localtime_r(&t, &local);
        char text[16];
        std::strftime(text, sizeof text, "%H:%M:%S", &local);
        out.push_back(std::string(text) + (usec == 0 ? "" : ".frac"));
    }
    return out;
}

}  // namespace

class PanelTest : public QObject {
    Q_OBJECT

    QTemporaryDir serviceDir, windowDir;
    test::TFixedDir dir;
    test::TFakeClock clock;
    std::vector<std::string> boxes;

    std::filesystem::path Service() const { return serviceDir.path().toStdString(); }
    std::string Endpoint() const { return (Service() / "control").string(); }
    std::unique_ptr<test::TChild> StartService() {
        std::filesystem::remove(Endpoint());
        auto service = test::StartService(Service());
        test::WaitFor([&] { return std::filesystem::exists(Endpoint()); }, std::chrono::seconds(5));
        return service;
    }
  private slots:
    void initTestCase() {
        BindQtDelivery();
        InstallGeneralErrorHandler();
        SetErrorBoxHook([this](const std::string& text) { boxes.push_back(text); });
        dir.Dir = windowDir.path().toStdString();
    }

    void panelFollowsTheServiceAndCommandsTheDevice() {
        const std::string device = (Service() / "device").string();
        TSimProcess sim(TAMBERLINE_SIM, {"--link", device, "--tod", "10:59:52"});
        std::ofstream(Service() / "Settings.INI")
            << "[ComPortSettings]\nComPort=" << device << "\nBaudRate=38400\n[Common Settings]\nSyncroEveryHours=1\n";
        auto service = StartService();
        auto link = TServiceLink::Attach(Endpoint(), std::chrono::seconds(2));
        QVERIFY2(link, test::ReadFile(Service() / "service.log").c_str());
        if (!link->Welcome().MayCommand) QSKIP("commands need root or a member of the group tamberline");

        TForm1 form(clock, dir, true, [&](TWindowCoreDeps deps) {
            return std::make_unique<TRemoteCore>(deps, Endpoint(), std::move(link));
        });
        form.ConfirmBox = [](const std::string&) { return true; };
        form.show();
        form.activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 3000);  // a panel starts in the tray too
        QTRY_COMPARE_WITH_TIMEOUT(form.lbSputnik->text(), kSync, 4000);
        QCOMPARE(form.ComPort1.Port(), device);  // the port dialog shows the service's port
        QVERIFY(!form.ComPort1.Connected());

        // A zone change made in the panel reaches the device as the zone command.
        QTRY_VERIFY_WITH_TIMEOUT(!form.edHours->text().isEmpty(), 3000);  // the service's zone
        emit form.sbHours->upClick();
        form.btCorrect->click();
        QVERIFY(test::NextSimLine(sim, "cmd E2 E4 0A", 4000));

        // The service's own schedule: the clock set at the device's hh:00:01 (the zone moved its hour), to
        // the second.
        const auto wanted = [&] {
            for (const std::string& t : SetTimesOfDay(test::ReadFile(Service() / "clock.log")))
                if (t.substr(2) == ":00:01") return true;
            return false;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(
            wanted(), (test::ReadFile(Service() / "clock.log") + test::ReadFile(Service() / "service.log")).c_str(),
            12000);

        // The service stops: the panel says so; it comes back: the panel attaches again by itself.
        service->Signal(SIGTERM);
        QCOMPARE(service->WaitExit(3000), std::optional<int>(0));
        QTRY_COMPARE_WITH_TIMEOUT(form.lbSputnik->text(), kNoService, 3000);
        QCOMPARE(form.Tray.Icon().toolTip(), QString::fromUtf8("Tamberline 1.05 : Нет связи со службой."));
        boxes.clear();
        form.mnCtrlSyncro->trigger();
        QCOMPARE(boxes, std::vector<std::string>{"Нет связи со службой."});
        service = StartService();
        QTRY_COMPARE_WITH_TIMEOUT(form.lbSputnik->text(), kSync, 6000);
        QCOMPARE(form.Tray.Icon().toolTip(), QString::fromUtf8("Tamberline 1.05 : Синхронизация от спутников есть"));

        form.close();
        QVERIFY(!std::filesystem::exists(dir.Dir + "/Settings.INI"));  // a panel writes no settings of its own
        QVERIFY2(boxes.size() == 1, boxes.back().c_str());
    }
};

}  // namespace tamberline

QTEST_MAIN(tamberline::PanelTest)
#include "panel_test.moc"
