#include "sim_loop.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <vector>

namespace tamberline::sim {

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000LL;

void PrintLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The host's local time of day shifted by offsetMs, in whole seconds and the ns into that second.
int HostTimeOfDay(int offsetMs, int64_t& nsIntoSecond) {
    timespec rt{};
    clock_gettime(CLOCK_REALTIME, &rt);
    tm local{};
    localtime_r(&rt.tv_sec, &local);
    constexpr int64_t kDayNs = int64_t{kSecondsPerDay} * kNsPerSecond;
    int64_t ns = (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * kNsPerSecond + rt.tv_nsec +
                 int64_t{offsetMs} * 1'000'000;
    ns = (ns % kDayNs + kDayNs) % kDayNs;
    nsIntoSecond = ns % kNsPerSecond;
    return static_cast<int>(ns / kNsPerSecond);
}

}  // namespace

int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * kNsPerSecond + ts.tv_nsec;
}

TSimulator::TSimulator(const TOptions& options, TPty& pty, int signalFd)
    : options_(options),
      pty_(pty),
      signalFd_(signalFd),
      phase_(options.Phase),
      noSync_(options.NoSync),
      zone_(options.Zone),
      line_(pty.MasterFd(), options.Pace),
      random_(std::random_device{}()) {
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    if (timerFd_ < 0) throw std::runtime_error("timerfd_create failed");
    int64_t now = MonotonicNs();
    if (options.TimeOfDay) {
        t0Ns_ = now;
        clock_.Set(0, *options.TimeOfDay);
    } else {
        // Without --tod the simulated seconds begin with the host's seconds (moved by --offset), so the
        // device agrees with the host.
        int64_t into = 0;
        clock_.Set(0, HostTimeOfDay(options.OffsetMs, into));
        t0Ns_ = now - into;
    }
    SkipPastFrames(now);
}

TSimulator::~TSimulator() {
    close(timerFd_);
}

int64_t TSimulator::SecondAt(int64_t nowNs) const {
    int64_t d = nowNs - t0Ns_;
    return d >= 0 ? d / kNsPerSecond : -((-d + kNsPerSecond - 1) / kNsPerSecond);
}

void TSimulator::SkipPastFrames(int64_t nowNs) {
    while (DueNs(nextK_) < nowNs)
        ++nextK_;
}

void TSimulator::ArmTimer() {
    int64_t due = DueNs(nextK_) - kLeadNs;
    itimerspec its{};
    its.it_value.tv_sec = due / kNsPerSecond;
    its.it_value.tv_nsec = due % kNsPerSecond;
    timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &its, nullptr);
}

bool TSimulator::Paused() const {
    return MonotonicNs() < pauseUntilNs_;
}

void TSimulator::Write(const uint8_t* data, size_t size, int64_t startNs) {
    line_.Send(data, size, startNs ? startNs : MonotonicNs());
}

void TSimulator::OnTimer() {
    uint64_t expirations;
    if (read(timerFd_, &expirations, sizeof expirations) < 0) return;
    if (MonotonicNs() < DueNs(nextK_) - kLeadNs) return ArmTimer();  // re-armed meanwhile for a later moment
    SendTimeFrame(nextK_);
    ++nextK_;
    ArmTimer();
}

void TSimulator::SendTimeFrame(int64_t k) {
    ++framesDue_;
    if (Paused()) return;
    int tod = clock_.At(k);
    auto f = BuildTimeFrame(tod, phase_, noSync_);
    bool everyK = options_.BadCrcEvery > 0 && framesDue_ % options_.BadCrcEvery == 0;
    if (badCrcOnce_ || everyK) f[8] ^= 0x5A;  // any non-zero change makes the CRC check fail
    badCrcOnce_ = false;
    const uint8_t* p = f.data();
    size_t n = f.size();
    if (shortOnce_) {
        n = 5;
    } else if (midFrameOnce_) {
        p += 5;
        n = 4;
    }
    shortOnce_ = midFrameOnce_ = false;
    Write(p, n, DueNs(k));
    if (options_.Stamp) {
        // The moment the device starts sending, which its hundredths field describes.
        char buf[96];
        std::snprintf(buf, sizeof buf, "sent %lld %s %02d", static_cast<long long>(DueNs(k)),
                      FormatTimeOfDay(tod).c_str(), phase_);
        PrintLine(buf);
    }
}

void TSimulator::HandleCommand(const TCommandEvent& e) {
    std::string hex = HexBytes(e.Bytes.data(), e.Bytes.size());
    if (!e.Good) return PrintLine("badcmd " + hex);
    PrintLine("cmd " + hex);
    const auto& b = e.Bytes;
    int64_t k = SecondAt(MonotonicNs());
    switch (b[2]) {
        case 0x0C: {
            if (Paused()) return;
            auto z = BuildZoneFrame(zone_);
            Write(z.data(), z.size());
            return;
        }
        case 0x0A: {
            TZone z = TZone::FromBytes(b[4], b[5], b[6]);
            clock_.Shift(k, z.OffsetSeconds() - zone_.OffsetSeconds());
            zone_ = z;
            return;
        }
        case 0x0B:
            // The device keeps a time of day it can show; anything else it leaves alone.
            if (b[4] > 23 || b[5] > 59 || b[6] > 59) {
                std::fprintf(stderr, "tamberline-sim: set-time out of range ignored: %s\n", hex.c_str());
                return;
            }
            clock_.Set(k, b[4] * 3600 + b[5] * 60 + b[6]);
            return;
    }
}

void TSimulator::OnLineInput() {
    uint8_t buf[512];
    ssize_t n = read(pty_.MasterFd(), buf, sizeof buf);
    if (n <= 0) return;
    int64_t nowMs = MonotonicNs() / 1'000'000;
    for (ssize_t i = 0; i < n; ++i)
        for (const auto& e : reader_.Feed(buf[i], nowMs))
            HandleCommand(e);
    if (auto junk = reader_.TakeJunk()) HandleCommand(*junk);
}

void TSimulator::HandleControl(const std::string& raw) {
    std::string line = raw;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) return;
    std::string error;
    auto c = ParseControl(line, error);
    if (!c) {
        std::fprintf(stderr, "tamberline-sim: %s\n", error.c_str());
        return;
    }
    int64_t now = MonotonicNs();
    switch (c->Kind) {
        case TControlKind::BadCrc:
            badCrcOnce_ = true;
            break;
        case TControlKind::Short:
            shortOnce_ = true;
            break;
        case TControlKind::MidFrame:
            midFrameOnce_ = true;
            break;
        case TControlKind::BadType: {
            auto f = BuildUnknownFrame();
            Write(f.data(), f.size());
            break;
        }
        case TControlKind::Garbage: {
            std::vector<uint8_t> bytes(c->Number);
            for (auto& b : bytes)
                b = static_cast<uint8_t>(random_());
            if (!bytes.empty()) Write(bytes.data(), bytes.size());
            break;
        }
        case TControlKind::Pause:
            pauseUntilNs_ = now + static_cast<int64_t>(c->Seconds * 1e9);
            break;
        case TControlKind::Sync:
            noSync_ = c->Number == 0;
            break;
        case TControlKind::Tod:
            clock_.Set(nextK_, c->Number);
            break;  // the next time frame shows it
        case TControlKind::Phase:
            phase_ = c->Number;
            SkipPastFrames(now);
            ArmTimer();
            break;
        case TControlKind::Zone:
            zone_ = c->Zone;
            break;
        case TControlKind::Quit:
            running_ = false;
            break;
    }
}

void TSimulator::OnStdinInput() {
    char buf[1024];
    ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        // Without a controller the device just goes on; it ends on quit, a signal or the parent's death.
        stdinOpen_ = false;
        if (!stdinBuf_.empty()) HandleControl(stdinBuf_);
        stdinBuf_.clear();
        return;
    }
    stdinBuf_.append(buf, n);
    size_t eol;
    while ((eol = stdinBuf_.find('\n')) != std::string::npos) {
        std::string line = stdinBuf_.substr(0, eol);
        stdinBuf_.erase(0, eol + 1);
        HandleControl(line);
        if (!running_) return;
    }
    if (stdinBuf_.size() > 4096) stdinBuf_.clear();  // no sane control line is that long
}

void TSimulator::Run() {
    ArmTimer();
    while (running_) {
        pollfd fds[5] = {{timerFd_, POLLIN, 0},
                         {pty_.MasterFd(), POLLIN, 0},
                         {signalFd_, POLLIN, 0},
                         {stdinOpen_ ? STDIN_FILENO : -1, POLLIN, 0},
                         {line_.TimerFd(), POLLIN, 0}};
        if (poll(fds, 5, -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        if (fds[2].revents & POLLIN) {
            signalfd_siginfo si;
            if (read(signalFd_, &si, sizeof si) > 0) running_ = false;
            continue;
        }
        if (fds[4].revents & POLLIN) line_.OnTimer();
        if (fds[0].revents & POLLIN) OnTimer();
        if (fds[1].revents & POLLIN) OnLineInput();
        if (fds[3].revents & (POLLIN | POLLHUP | POLLERR)) OnStdinInput();
    }
}

}  // namespace tamberline::sim
