// Start-up reads the settings into the port, the state and the view, opens the port and queues
// the zone query; close closes the port and then writes the settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "app/error_text.h"
#include "app/inifile.h"
#include "app/local_core.h"
#include "app/startup.h"
#include "device/fake_main_view.h"
#include "device/zone_editor.h"
#include "serial/fake_backend.h"
#include "serial/posted_loop.h"
#include "support/fake_os.h"
#include "support/pty_pair.h"

namespace tamberline {
namespace {

using test::TFakeClock;
using test::TFixedDir;

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        fs::path made;
        std::random_device random;
        do {
            made = fs::temp_directory_path() / ("tamberline-startup-" + std::to_string(random()));
        } while (!fs::create_directory(made));  // a folder of this test's own
        dir = std::make_unique<TFixedDir>(made.string());
        zone = std::make_unique<TZoneEditor>(state, view);
        // The real radio group runs its handler on every selection, also the program's own.
        view.OnSumWntSelectedByProgram = [this] { zone->rdgSumWntClick([this](uint8_t) { ++sumWntWrites; }); };
    }
    void TearDown() override { std::filesystem::remove_all(dir->Dir); }

    void WriteSettings(const std::string& text) { std::ofstream(dir->Dir + "/Settings.INI") << text; }
    TStartupContext Context() { return {state, view, port, *dir, clock}; }

    TSharedState state;
    test::TFakeMainView view;
    TComPort port;
    std::unique_ptr<TFixedDir> dir;
    TFakeClock clock;
    std::unique_ptr<TZoneEditor> zone;
    int sumWntWrites = 0;
};

const std::string kLastSyncro = " Последняя синхронизация времени на ПК: ";

TEST_F(StartupTest, SettingsReachThePortTheStateAndTheView) {
    TPtyPair pty;
    const struct {
        const char* name;
        const char* ini;  // after the port's own line
        TBaudRate baud;
        uint8_t sumWnt, syncroHours;
        std::string lastSyncro;
    } cases[] = {
        {"all keys", "BaudRate=115200\n[Common Settings]\nSumWnt=1\nLast Syncro=01.02.2024 10:20\nSyncroEveryHours=6\n",
         br115200, 1, 6, "01.02.2024 10:20"},
        {"baud name not in the list", "BaudRate=abc\n", br9600, 0, 1, "еще не проводилась..."},
        {"hexadecimal period", "[Common Settings]\nSyncroEveryHours=0x0C\n", br38400, 0, 12, "еще не проводилась..."},
        {"winter/summer outside 0..1 reads as winter", "[Common Settings]\nSumWnt=5\n", br38400, 0, 1,
         "еще не проводилась..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSettings("[ComPortSettings]\nComPort=" + pty.SlavePath() + "\n" + c.ini);
        state = {};
        auto ctx = Context();
        RunCreateSteps(ctx);
        EXPECT_EQ(port.Port(), pty.SlavePath());
        EXPECT_EQ(port.BaudRate(), c.baud);
        EXPECT_EQ(state.SumWntIndex, c.sumWnt);
        EXPECT_EQ(view.SumWnt, c.sumWnt);
        EXPECT_EQ(state.SyncroHours, c.syncroHours);
        EXPECT_EQ(view.Status[1], kLastSyncro + c.lastSyncro);
        EXPECT_TRUE(view.Questions.empty()) << "the program's own selection must not ask";
        EXPECT_EQ(sumWntWrites, 0);
        EXPECT_TRUE(port.Connected());
        EXPECT_EQ(state.PendingAction, paZoneQuery);
        port.Close();
    }
    // Left at the component's construction defaults, reads would return at once with nothing and
    // every event kind would be asked for: the port opens with the device's own description.
    const TComTimeouts& t = port.Timeouts();
    EXPECT_EQ(std::vector<int32_t>({t.ReadInterval(), t.ReadTotalMultiplier(), t.ReadTotalConstant(),
                                    t.WriteTotalMultiplier(), t.WriteTotalConstant()}),
              std::vector<int32_t>({2, 0, 0, 0, 0}));
    EXPECT_EQ(port.Buffer().InputSize(), 10);
    EXPECT_EQ(port.Events, ComEventBit(evRxChar));
    EXPECT_EQ(port.SyncMethod(), smWindowSync);
}

TEST_F(StartupTest, FreshStateAndTextsBeforeThePortOpens) {
    state.ClockHH = 7, state.SputSync = 1, state.SputSyncShown = 1, state.NewHH = 9;
    auto ctx = Context();
    EXPECT_THROW(RunCreateSteps(ctx), EComPort);  // "Com1" is no device here
    EXPECT_EQ(view.Status[0], " Пт: 15.03.2024");
    EXPECT_EQ(view.HH + view.MM + view.SS + "|" + view.NewHH + view.NewMM + view.NewSS, "000000|  00000");
    EXPECT_EQ(std::vector<int>(
                  {state.ClockHH, state.SputSync, state.SputSyncShown, state.FillNewTime, state.ZonePlus, state.NewHH}),
              std::vector<int>({0, 0, 0, 1, 1, 0}));
    // Defaults of a first start.
    EXPECT_EQ(port.Port(), "Com1");
    EXPECT_EQ(port.BaudRate(), br38400);
}

TEST_F(StartupTest, FailedOpenStopsBeforeTheZoneQuery) {
    WriteSettings("[ComPortSettings]\nComPort=" + std::string(kNoSuchPort) + "\n");
    auto ctx = Context();
    try {
        RunCreateSteps(ctx);
        FAIL() << "open must fail";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code, 1);
        EXPECT_EQ(GeneralErrorText(e.what()), "Unable to open com port (win error code: 2)");
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(state.PendingAction, paNone);
}

// Also after a failed start: the port chosen in the port dialog while the port stayed closed.
TEST_F(StartupTest, CloseWritesPortBaudAndChoice) {
    TPtyPair pty;
    const struct {
        const char* name;
        std::string port;
        bool open;
        TBaudRate baud;
        const char* baudText;
    } cases[] = {{"open port", pty.SlavePath(), true, br57600, "57600"},
                 {"port never opened", "ttyUSB7", false, br19200, "19200"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        port.SetPort(c.port);
        port.SetBaudRate(c.baud);
        if (c.open) port.Open();
        state.SumWntIndex = 1;
        RunCloseSteps(state, port, *dir);
        EXPECT_FALSE(port.Connected());
        TIniFile ini(dir->Dir + "/Settings.INI");
        EXPECT_EQ(ini.ReadString("ComPortSettings", "ComPort", ""), c.port);
        EXPECT_EQ(ini.ReadString("ComPortSettings", "BaudRate", ""), c.baudText);
        EXPECT_EQ(ini.ReadInteger("Common Settings", "SumWnt", -1), 1);
    }
}

TEST_F(StartupTest, UnwritableSettingsAtCloseReportAfterThePortIsClosed) {
    TPtyPair pty;
    port.SetPort(pty.SlavePath());
    port.Open();
    TFixedDir gone(dir->Dir + "/no/such/dir");
    EXPECT_THROW(RunCloseSteps(state, port, gone), std::runtime_error);
    EXPECT_FALSE(port.Connected());
}

// A close the driver refuses is reported by the close steps; the program must still end, and the port's
// own end then releases the device.
TEST_F(StartupTest, ARefusedCloseIsReportedAndTheEndStillComes) {
    TPostedLoop loop;  // the core's timers deliver here, never on their own threads
    SetUiPoster(loop.Poster());
    TFakeLog log;
    auto fake = std::make_unique<TComPort>(std::make_unique<TFakeBackend>(log));
    fake->Events = 0;  // the fake has no event thread to give
    fake->SetPort("fake");
    fake->Open();
    auto core = std::make_unique<TLocalCore>(TWindowCoreDeps{state, view, *fake, clock, *dir});
    log.FailWith["purge"] = EAGAIN;
    EXPECT_THROW(core->Close(), EComPort);
    core.reset();
    fake.reset();
    EXPECT_EQ(log.Count("close"), 1);
    SetUiPoster(nullptr);
}

TEST(GeneralErrorTextTest, FullStopOnlyAfterCharactersSortingAfterIt) {
    const struct {
        const char *in, *out;
    } cases[] = {
        {"Unable to write to /x/Settings.INI", "Unable to write to /x/Settings.INI."},
        {"Синхронизации нет", "Синхронизации нет."},  // every byte of a Cyrillic letter sorts after '.'
        {"Already ends.", "Already ends."},
        {"Ends with ?", "Ends with ?."},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GeneralErrorText(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace tamberline
