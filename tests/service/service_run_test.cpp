// The real tamberlined against the simulator. Step mode runs under the recording clock (an
// LD_PRELOAD that records clock_settime and never sets the machine's clock); chrony mode feeds a
// real chronyd started with -x, which cannot touch the clock either.
#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "app/inifile.h"
#include "control/control_server.h"
#include "support/service_child.h"
#include "support/sim_process.h"

namespace tamberline {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ServiceRun : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) / ("tamberlined-" + std::to_string(getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        // chronyd wants its command socket's directory closed to others.
        chmod(dir.c_str(), 0750);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir);
    }
    void WriteSettings(const std::string& service) {
        std::ofstream(dir / "Settings.INI") << "[ComPortSettings]\nComPort=" << (dir / "device").string()
                                            << "\nBaudRate=38400\n[Common Settings]\nSyncroEveryHours=1\n"
                                            << service;
    }
    std::unique_ptr<test::TChild> StartService() { return test::StartService(dir); }
    std::string Log() { return test::ReadFile(dir / "service.log"); }
    std::string ClockLog() { return test::ReadFile(dir / "clock.log"); }

    fs::path dir;
};

using ServiceStep = ServiceRun;

TEST_F(ServiceStep, SetsTheClockOnTheHourAndClosesLikeTheWindow) {
    WriteSettings("");
    TSimProcess sim(TAMBERLINE_SIM, {"--link", (dir / "device").string(), "--tod", "10:59:55"});
    auto service = StartService();
    ASSERT_TRUE(test::WaitFor([&] { return !ClockLog().empty(); }, 12s)) << Log();
    service->Signal(SIGTERM);
    ASSERT_EQ(service->WaitExit(3000), std::optional<int>(0)) << Log();

    // Set once, to hh:00:01.000 of the device's hour, on the computer's date.
    const std::string sets = ClockLog();
    long long sec = 0, usec = -1;
    char call[32] = {};
    ASSERT_EQ(std::sscanf(sets.c_str(), "%31s %lld %lld", call, &sec, &usec), 3) << sets;
    EXPECT_EQ(std::count(sets.begin(), sets.end(), '\n'), 1) << sets;
    EXPECT_STREQ(call, "clock_settime");
    const time_t t = static_cast<time_t>(sec);
    tm local{};
    localtime_r(&t, &local);
    char set[32];
    std::strftime(set, sizeof set, "%d.%m.%Y %H:%M:%S", &local);
    EXPECT_EQ(std::string(set + 11), "11:00:01");
    EXPECT_EQ(usec, 0);

    // "Last Syncro" as the clock then read, written by the close steps.
    EXPECT_EQ(TIniFile((dir / "Settings.INI").string()).ReadString("Common Settings", "Last Syncro", ""),
              std::string(set, 16));
    for (const char* line : {"порт ", "прибор синхронизирован от спутников",
                             "часы компьютера установлены по прибору: ", "служба остановлена"})
        EXPECT_NE(Log().find(line), std::string::npos) << line << " missing in:\n" << Log();
}

TEST_F(ServiceStep, SettingsItCannotFollowStopTheStart) {
    WriteSettings("[Service]\nMode=chronyd\n");
    const std::string before = test::ReadFile(dir / "Settings.INI");
    auto service = StartService();
    EXPECT_EQ(service->WaitExit(3000), std::optional<int>(2));
    EXPECT_NE(Log().find("Mode=chronyd: нужно step или chrony"), std::string::npos) << Log();
    EXPECT_EQ(test::ReadFile(dir / "Settings.INI"), before);
    EXPECT_EQ(ClockLog(), "");
}

// A period command from a panel of user `uid` (65534: nobody, in no group): its result's error, or "ok".
std::string PeriodAs(uid_t uid, const std::string& endpoint, int hours) {
    int pipefd[2];
    if (pipe(pipefd) != 0) return "no pipe";
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipefd[0]);
        std::string answer = "no answer";
        if (uid == 0 || (setgroups(0, nullptr) == 0 && setgid(uid) == 0 && setuid(uid) == 0)) {
            try {
                auto c = ConnectToEndpoint(endpoint);
                TCommand period;
                period.Kind = TCommandKind::Period;
                period.Id = 2;
                period.Value = hours;
                c->Send(Encode(TCommand{}) + Encode(period));
                TMessageReader r;
                for (int i = 0; i < 50 && answer == "no answer"; ++i) {
                    r.Feed(c->Read(100ms));
                    while (auto m = r.Next()) {
                        const TServiceMessage said = DecodeServiceMessage(*m);
                        if (const auto* res = std::get_if<TResult>(&said)) answer = res->Ok ? "ok" : res->Error;
                    }
                }
            } catch (const std::exception& e) {
                answer = e.what();
            }
        }
        (void)!write(pipefd[1], answer.data(), answer.size());
        _exit(0);
    }
    close(pipefd[1]);
    std::string answer;
    char buf[512];
    for (ssize_t n; (n = read(pipefd[0], buf, sizeof buf)) > 0;)
        answer.append(buf, static_cast<size_t>(n));
    close(pipefd[0]);
    waitpid(pid, nullptr, 0);
    return answer;
}

// Anyone logged on may watch; only members of the group (and root) may command, and a refusal changes
// nothing.
TEST_F(ServiceStep, OnlyMembersOfTheGroupMayCommand) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to play another user";
    WriteSettings("");
    // A folder others may pass through: the test's own is closed to them.
    const fs::path open = fs::temp_directory_path() / ("tamberline-ctl-" + std::to_string(getpid()));
    fs::create_directories(open);
    fs::permissions(open, fs::perms(0755));
    const std::string endpoint = (open / "control").string();
    TSimProcess sim(TAMBERLINE_SIM, {"--link", (dir / "device").string()});
    auto service = test::StartService(dir, {"TAMBERLINE_CONTROL=" + endpoint});
    ASSERT_TRUE(test::WaitFor([&] { return fs::exists(endpoint); }, 5s)) << Log();
    const auto period = [&] {
        return TIniFile((dir / "Settings.INI").string()).ReadInteger("Common Settings", "SyncroEveryHours", 0);
    };

    EXPECT_EQ(PeriodAs(65534, endpoint, 6), RefusalText());
    EXPECT_EQ(period(), 1) << "a refused command changes nothing";
    EXPECT_EQ(PeriodAs(0, endpoint, 8), "ok");
    EXPECT_EQ(period(), 8);
    service->Signal(SIGTERM);
    EXPECT_EQ(service->WaitExit(3000), std::optional<int>(0)) << Log();
    EXPECT_NE(Log().find("команда отклонена: uid 65534"), std::string::npos) << Log();
    fs::remove_all(open);
}

// chronyc's answer, or "" when it cannot ask.
std::string Chronyc(const fs::path& dir, const std::string& command) {
    const std::string cmd = "chronyc -h " + (dir / "chronyd.sock").string() + " -n " + command + " 2>&1";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

bool Selected(const std::string& sources) {
    return sources.find("#* TMBL") != std::string::npos;
}

using ServiceChrony = ServiceRun;

TEST_F(ServiceChrony, ChronydSelectsTheDeviceWhileItIsSynchronised) {
    if (geteuid() != 0 || system("command -v chronyd >/dev/null && command -v chronyc >/dev/null") != 0)
        GTEST_SKIP() << "needs root and chrony (chronyd -u root, so that its command socket answers)";
    const std::string sock = (dir / "tmbl.sock").string();
    std::ofstream(dir / "chrony.conf") << "refclock SOCK " << sock << " refid TMBL poll 0\n"
                                       << "bindcmdaddress " << (dir / "chronyd.sock").string() << "\n"
                                       << "cmdport 0\nport 0\n"
                                       << "pidfile " << (dir / "chronyd.pid").string() << "\n"
                                       << "driftfile " << (dir / "drift").string() << "\n"
                                       << "logdir " << dir.string() << "\n";
    WriteSettings("[Service]\nMode=chrony\nChronySocket=" + sock + "\n");
    TSimProcess sim(TAMBERLINE_SIM, {"--link", (dir / "device").string(), "--offset", "250", "--pace"});
    // -x: chronyd never adjusts the clock; it only tracks how far off the system time is.
    test::TChild chronyd({"chronyd", "-x", "-d", "-u", "root", "-f", (dir / "chrony.conf").string()}, dir,
                         dir / "chronyd.log");
    auto service = StartService();

    std::string sources;
    ASSERT_TRUE(test::WaitFor([&] { return Selected(sources = Chronyc(dir, "sources")); }, 40s))
        << sources << Log() << test::ReadFile(dir / "chronyd.log");
    // The device runs 250 ms ahead of the computer: chronyd finds the system time that much slow.
    const std::string tracking = Chronyc(dir, "tracking");
    double off = 0;
    char dir_[16] = {};
    const auto at = tracking.find("System time");
    ASSERT_NE(at, std::string::npos) << tracking;
    ASSERT_EQ(std::sscanf(tracking.c_str() + at, "System time : %lf seconds %15s", &off, dir_), 2) << tracking;
    EXPECT_STREQ(dir_, "slow");
    EXPECT_NEAR(off, 0.250, 0.001) << tracking;

    // Without satellites the samples stop, and chronyd lets the source go.
    sim.Command("sync off");
    EXPECT_TRUE(test::WaitFor([&] { return !Selected(sources = Chronyc(dir, "sources")); }, 20s)) << sources;
    service->Signal(SIGTERM);
    EXPECT_EQ(service->WaitExit(3000), std::optional<int>(0)) << Log();
    EXPECT_EQ(ClockLog(), "") << "chrony mode must never set the clock";
    EXPECT_NE(Log().find("время прибора передаётся chronyd через " + sock), std::string::npos) << Log();
}

}  // namespace
}  // namespace tamberline
