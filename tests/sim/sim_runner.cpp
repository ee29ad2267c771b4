#include "sim_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "device/crc8.h"

namespace tamberline::simtest {

namespace {

bool Readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0;
}

int Bcd(uint8_t b) {
    return (b >> 4) * 10 + (b & 15);
}

}  // namespace

int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

std::string TTimeFrame::Clock() const {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", Hours, Minutes, Seconds);
    return buf;
}

std::optional<TTimeFrame> DecodeTimeFrame(const std::vector<uint8_t>& b) {
    if (b.size() != 9 || b[2] != 0x09) return std::nullopt;
    TTimeFrame t;
    t.CrcOk = Crc8(b.data(), b.size()) == 0;
    t.Hundredths = Bcd(b[4]);
    t.Seconds = Bcd(b[5]);
    t.Minutes = Bcd(b[6]);
    t.Hours = Bcd(b[7] & 0x7F);
    t.NoSync = (b[7] & 0x80) != 0;
    return t;
}

std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes) {
    bytes.push_back(Crc8(bytes.data(), bytes.size()));
    return bytes;
}

TSimRun::TSimRun(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    startNs_ = NowNs();
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(TAMBERLINE_SIM)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(TAMBERLINE_SIM, argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    out_ = out[0];
    auto first = NextLine(5000);
    if (!first) return;  // the test sees an empty first line
    firstLine_ = *first;
    line_ = open(firstLine_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line_ < 0) return;
    termios t{};
    tcgetattr(line_, &t);
    cfmakeraw(&t);
    tcsetattr(line_, TCSANOW, &t);
}

TSimRun::~TSimRun() {
    if (!exited_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {in_, out_, line_})
        if (fd >= 0) close(fd);
}

void TSimRun::Control(const std::string& line) {
    std::string l = line + "\n";
    if (write(in_, l.data(), l.size()) != static_cast<ssize_t>(l.size())) throw std::runtime_error("control write");
}

void TSimRun::CloseControl() {
    close(in_);
    in_ = -1;
}

void TSimRun::Send(const std::vector<uint8_t>& bytes) {
    if (write(line_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("line write");
}

std::optional<TChunk> TSimRun::NextChunk(int timeoutMs) {
    if (line_ < 0 || !Readable(line_, timeoutMs)) return std::nullopt;
    TChunk c;
    c.ArrivalNs = NowNs();
    // One write of the simulator arrives at once; 20 ms of quiet ends the chunk.
    do {
        uint8_t buf[256];
        ssize_t n = read(line_, buf, sizeof buf);
        if (n <= 0) break;
        c.Bytes.insert(c.Bytes.end(), buf, buf + n);
    } while (Readable(line_, 20));
    return c;
}

std::optional<TTimeFrame> TSimRun::NextTimeFrame(int timeoutMs) {
    int64_t end = NowNs() + timeoutMs * 1'000'000LL;
    while (NowNs() < end) {
        auto c = NextChunk(static_cast<int>((end - NowNs()) / 1'000'000));
        if (!c) return std::nullopt;
        if (auto t = DecodeTimeFrame(c->Bytes)) return t;
    }
    return std::nullopt;
}

std::optional<std::string> TSimRun::NextLine(int timeoutMs) {
    int64_t end = NowNs() + timeoutMs * 1'000'000LL;
    for (;;) {
        size_t eol = outBuf_.find('\n');
        if (eol != std::string::npos) {
            std::string l = outBuf_.substr(0, eol);
            outBuf_.erase(0, eol + 1);
            return l;
        }
        int64_t left = (end - NowNs()) / 1'000'000;
        if (left <= 0 || !Readable(out_, static_cast<int>(left))) return std::nullopt;
        char buf[512];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0) return std::nullopt;
        outBuf_.append(buf, n);
    }
}

std::optional<int> TSimRun::WaitExit(int timeoutMs) {
    int64_t end = NowNs() + timeoutMs * 1'000'000LL;
    do {
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        usleep(10'000);
    } while (NowNs() < end);
    return std::nullopt;
}

void TSimRun::Signal(int sig) {
    kill(pid_, sig);
}

}  // namespace tamberline::simtest
