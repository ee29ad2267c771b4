// The real tamberlined against the simulator. Step mode runs under the recording clock (an
// LD_PRELOAD that records clock_settime and never sets the machine's clock); chrony mode feeds a
// real chronyd started with -x, which cannot touch the clock either.
#include <gtest/gtest.h>

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
#include "support/sim_process.h"

namespace tamberline {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A program started in `dir` with its standard error in a file; it dies with the test, and is
// stopped (SIGTERM, then SIGKILL) when the object goes, whichever way the test ends.
class TChild {
  public:
    TChild(std::vector<std::string> argv, const fs::path& dir, const fs::path& errPath,
           std::vector<std::string> env = {}) {
        pid_ = fork();
        if (pid_ != 0) return;
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (chdir(dir.c_str()) != 0) _exit(126);
        for (auto& e : env)
            putenv(e.data());
        if (FILE* f = std::fopen(errPath.c_str(), "w")) dup2(fileno(f), STDERR_FILENO), dup2(fileno(f), STDOUT_FILENO);
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    ~TChild() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        if (!WaitExit(2000)) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    void Signal(int sig) { kill(pid_, sig); }
    // The exit code (128 + signal when killed), or nothing while it still runs after waitMs.
    std::optional<int> WaitExit(int waitMs) {
        for (int waited = 0; pid_ > 0; waited += 10) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (waited >= waitMs) return std::nullopt;
            usleep(10000);
        }
        return std::nullopt;
    }

  private:
    pid_t pid_ = -1;
};

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

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
    // tamberlined through the scripts' own helper, without the right to set the clock, and with the
    // recording clock in its place; in C locale (":" between hours and minutes).
    std::unique_ptr<TChild> StartService() {
        const std::vector<std::string> argv{"bash", "-c",
                                            ". " TAMBERLINE_SOURCE_DIR
                                            "/scripts/without_clock.sh && tamberline_exec_without_clock \"$0\"",
                                            TAMBERLINED};
        std::string asan = "ASAN_OPTIONS=verify_asan_link_order=0";
        if (const char* a = std::getenv("ASAN_OPTIONS")) asan += std::string(":") + a;
        return std::make_unique<TChild>(
            argv, dir, dir / "service.log",
            std::vector<std::string>{"LD_PRELOAD=" TAMBERLINE_CLOCK_RECORDER,
                                     "TAMBERLINE_CLOCK_LOG=" + (dir / "clock.log").string(), "LC_ALL=C", asan});
    }
    std::string Log() { return ReadFile(dir / "service.log"); }
    std::string ClockLog() { return ReadFile(dir / "clock.log"); }

    fs::path dir;
};

using ServiceStep = ServiceRun;

TEST_F(ServiceStep, SetsTheClockOnTheHourAndClosesLikeTheWindow) {
    WriteSettings("");
    TSimProcess sim(TAMBERLINE_SIM, {"--link", (dir / "device").string(), "--tod", "10:59:55"});
    auto service = StartService();
    ASSERT_TRUE(WaitFor([&] { return !ClockLog().empty(); }, 12s)) << Log();
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
    for (const char* line :
         {"port ", "device synchronised from satellites", "computer's clock set from the device at ", "stopped"})
        EXPECT_NE(Log().find(line), std::string::npos) << line << " missing in:\n" << Log();
}

TEST_F(ServiceStep, SettingsItCannotFollowStopTheStart) {
    WriteSettings("[Service]\nMode=chronyd\n");
    const std::string before = ReadFile(dir / "Settings.INI");
    auto service = StartService();
    EXPECT_EQ(service->WaitExit(3000), std::optional<int>(2));
    EXPECT_NE(Log().find("Mode=chronyd is not step or chrony"), std::string::npos) << Log();
    EXPECT_EQ(ReadFile(dir / "Settings.INI"), before);
    EXPECT_EQ(ClockLog(), "");
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
    TChild chronyd({"chronyd", "-x", "-d", "-u", "root", "-f", (dir / "chrony.conf").string()}, dir,
                   dir / "chronyd.log");
    auto service = StartService();

    std::string sources;
    ASSERT_TRUE(WaitFor([&] { return Selected(sources = Chronyc(dir, "sources")); }, 40s))
        << sources << Log() << ReadFile(dir / "chronyd.log");
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
    EXPECT_TRUE(WaitFor([&] { return !Selected(sources = Chronyc(dir, "sources")); }, 20s)) << sources;
    service->Signal(SIGTERM);
    EXPECT_EQ(service->WaitExit(3000), std::optional<int>(0)) << Log();
    EXPECT_EQ(ClockLog(), "") << "chrony mode must never set the clock";
    EXPECT_NE(Log().find("sending the device's time to chronyd at " + sock), std::string::npos) << Log();
}

}  // namespace
}  // namespace tamberline
