#include "support/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace tamberline {

TSimProcess::TSimProcess(const std::string& program, const std::vector<std::string>& args, int startMs) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> argvStore{program};
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toSim_ = in[1];
    fromSim_ = out[0];
    if (pid_ < 0) throw std::runtime_error("fork failed");
    auto first = ReadLine(startMs);
    if (!first || first->empty()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        close(toSim_);
        close(fromSim_);
        throw std::runtime_error("simulator printed no pty path: " + program);
    }
    ptyPath_ = *first;
}

TSimProcess::~TSimProcess() {
    if (toSim_ >= 0) close(toSim_);
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            usleep(10000);
        }
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    if (fromSim_ >= 0) close(fromSim_);
}

void TSimProcess::Command(const std::string& line) {
    const std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t w = write(toSim_, text.data() + done, text.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) throw std::runtime_error("simulator stdin closed");
        done += static_cast<size_t>(w);
    }
}

void TSimProcess::CloseCommands() {
    if (toSim_ >= 0) close(toSim_);
    toSim_ = -1;
}

std::optional<int> TSimProcess::WaitExit(int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;  // reaped: the destructor has nothing left to stop
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        usleep(10000);
    }
    return std::nullopt;
}

std::optional<std::string> TSimProcess::ReadLine(int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (auto line = TakeLine()) return line;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        // A short or spent wait still looks once at what is already there.
        pollfd p{fromSim_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0) {
            if (left <= 0) return std::nullopt;
            continue;
        }
        char buf[512];
        const ssize_t n = read(fromSim_, buf, sizeof buf);
        if (n <= 0) return std::nullopt;
        buffered_.append(buf, static_cast<size_t>(n));
    }
}

std::string TSimProcess::LaterPort(const std::string& dir) {
    return dir + "/later-device";
}

std::vector<std::string> TSimProcess::LaterArgs(const std::string& dir) {
    return {"--link", LaterPort(dir)};
}

}  // namespace tamberline
