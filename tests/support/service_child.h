// Programs a POSIX test runs beside itself: a child in a folder of the test's own, with its output in a
// file, stopped whichever way the test ends; and tamberlined as the tests run it, without the right to set
// the clock and with the recording clock in its place. The includer defines TAMBERLINED,
// TAMBERLINE_CLOCK_RECORDER and TAMBERLINE_SOURCE_DIR.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tamberline::test {

namespace fs = std::filesystem;

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
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// tamberlined in `dir` (its Settings.INI there), through the scripts' own helper without the right to set
// the clock, with the recording clock (dir/clock.log) in its place; its log in dir/service.log, in C
// locale (":" between hours and minutes).
inline std::unique_ptr<TChild> StartService(const fs::path& dir, std::vector<std::string> env = {}) {
    const std::vector<std::string> argv{
        "bash", "-c", ". " TAMBERLINE_SOURCE_DIR "/scripts/without_clock.sh && tamberline_exec_without_clock \"$0\"",
        TAMBERLINED};
    std::string asan = "ASAN_OPTIONS=verify_asan_link_order=0";
    if (const char* a = std::getenv("ASAN_OPTIONS")) asan += std::string(":") + a;
    // Panels reach it in its own folder, never at the system's endpoint.
    bool ownEndpoint = false;
    for (const auto& e : env)
        ownEndpoint = ownEndpoint || e.rfind("TAMBERLINE_CONTROL=", 0) == 0;
    if (!ownEndpoint) env.push_back("TAMBERLINE_CONTROL=" + (dir / "control").string());
    env.insert(env.end(), {"LD_PRELOAD=" TAMBERLINE_CLOCK_RECORDER,
                           "TAMBERLINE_CLOCK_LOG=" + (dir / "clock.log").string(), "LC_ALL=C", asan});
    return std::make_unique<TChild>(argv, dir, dir / "service.log", env);
}

}  // namespace tamberline::test
