// POSIX serial layer: termios for the line, poll for the timeout rules, epoll + eventfd for the
// event thread. Every function returns 0 or errno.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>

#include "serial/backend.h"
#include "serial/posix_baudrate.h"

namespace tamberline {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kAllOnes = 0xFFFFFFFFu;

// A pseudo-terminal has no modem lines; asking it to move them is not an error worth reporting.
int SetModemLine(int fd, int line, bool on) {
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return 0;
    return (errno == ENOTTY || errno == EINVAL) ? 0 : errno;
}

// A USB adapter holds received bytes up to its latency timer (16 ms on FTDI chips) before it hands
// them on; low-latency mode brings that to 1 ms, and a frame's arrival then tells its time. Ports
// without the request (a pty, most built-in UARTs) are used as they are.
void AskForLowLatency(int fd) {
    serial_struct ss{};
    if (ioctl(fd, TIOCGSERIAL, &ss) != 0 || (ss.flags & ASYNC_LOW_LATENCY)) return;
    ss.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd, TIOCSSERIAL, &ss);
}

// Waits for `events` until `deadline` (none: no limit). Returns the revents, 0 on time-out, -1 on error.
int PollUntil(int fd, short events, std::optional<Clock::time_point> deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        timespec ts{};
        timespec* tsp = nullptr;
        if (deadline) {
            const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            ts.tv_sec = static_cast<time_t>(ns / 1000000000);
            ts.tv_nsec = static_cast<long>(ns % 1000000000);
            tsp = &ts;
        }
        const int r = ppoll(&p, 1, tsp, nullptr);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        return r == 0 ? 0 : p.revents;
    }
}

class TPosixEventWaiter : public TComEventWaiter {
  public:
    TPosixEventWaiter(int deviceFd, int stopFd, int epollFd) : device_(deviceFd), stop_(stopFd), epoll_(epollFd) {}
    ~TPosixEventWaiter() override {
        close(epoll_);
        close(stop_);
    }

    TWaitResult Wait(int timeoutMs) override {
        if (gone_) {
            const int r = PollUntil(stop_, POLLIN, Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0)));
            return r > 0 ? TWaitResult::Stopped : TWaitResult::TimedOut;
        }
        epoll_event ev[2];
        int n;
        do {
            n = epoll_wait(epoll_, ev, 2, timeoutMs);
        } while (n < 0 && errno == EINTR);
        if (n == 0) return TWaitResult::TimedOut;
        if (n < 0) return GoneNow();
        bool readable = false;
        for (int i = 0; i < n; ++i) {
            if (ev[i].data.fd == stop_) return TWaitResult::Stopped;
            if (ev[i].events & (EPOLLHUP | EPOLLERR)) return GoneNow();
            if (ev[i].events & EPOLLIN) readable = true;
        }
        return readable ? TWaitResult::Readable : TWaitResult::TimedOut;
    }

    void Stop() override {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t w = write(stop_, &one, sizeof one);
    }

    bool DevicePresent() override {
        pollfd p{device_, POLLIN, 0};
        if (poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return false;
        if (!Watch()) return false;
        gone_ = false;
        return true;
    }

    // Edge-triggered: one report per arrival of new bytes, not one per wait while old bytes still
    // sit unread in the queue (which would keep two threads busy handing empty reports around).
    bool Watch() {
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLET;
        ev.data.fd = device_;
        return epoll_ctl(epoll_, EPOLL_CTL_ADD, device_, &ev) == 0;
    }

  private:
    TWaitResult GoneNow() {
        epoll_ctl(epoll_, EPOLL_CTL_DEL, device_, nullptr);
        gone_ = true;
        return TWaitResult::DeviceGone;
    }

    int device_, stop_, epoll_;
    bool gone_ = false;
};

class TPosixComBackend : public TComBackend {
  public:
    ~TPosixComBackend() override { CloseDevice(); }

    int OpenDevice(const std::string& path) override {
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return errno;
        int e = 0;
        if (!isatty(fd)) {
            e = ENOTTY;
        } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            // Another program holds the line: no sharing, as with the exclusive open elsewhere.
            e = errno == EWOULDBLOCK ? EBUSY : errno;
        } else if (ioctl(fd, TIOCEXCL) != 0) {
            e = errno;
        }
        if (e != 0) {
            close(fd);
            return e;
        }
        AskForLowLatency(fd);
        fd_ = fd;
        return 0;
    }

    void CloseDevice() override {
        if (fd_ < 0) return;
        ioctl(fd_, TIOCNXCL);
        close(fd_);
        fd_ = -1;
    }

    bool IsOpen() const override { return fd_ >= 0; }

    // POSIX drivers have fixed queues; the sizes are only remembered.
    int SetQueueSizes(int inputBytes, int outputBytes) override {
        inputSize_ = inputBytes;
        outputSize_ = outputBytes;
        return 0;
    }

    int SetLine(const TDcb& dcb) override;

    int SetTimeouts(const TCommTimeouts& t) override {
        timeouts_ = t;
        return 0;
    }

    int Purge() override { return tcflush(fd_, TCIOFLUSH) == 0 ? 0 : errno; }

    int Read(void* buf, int count, int giveUpMs, int& got) override;
    int Write(const void* buf, int count, int& done) override;

    int InputCount(int& count) override { return ioctl(fd_, FIONREAD, &count) == 0 ? 0 : errno; }

    int ModemStatus(TModemSignals& s) override {
        int bits = 0;
        if (ioctl(fd_, TIOCMGET, &bits) != 0) return errno;
        s.CTS = bits & TIOCM_CTS;
        s.DSR = bits & TIOCM_DSR;
        s.Ring = bits & TIOCM_RNG;
        s.RLSD = bits & TIOCM_CAR;
        return 0;
    }

    std::unique_ptr<TComEventWaiter> CreateEventWaiter(int& error) override {
        const int stop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (stop < 0) {
            error = errno;
            return nullptr;
        }
        const int ep = epoll_create1(EPOLL_CLOEXEC);
        if (ep < 0) {
            error = errno;
            close(stop);
            return nullptr;
        }
        auto waiter = std::make_unique<TPosixEventWaiter>(fd_, stop, ep);
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = stop;
        if (epoll_ctl(ep, EPOLL_CTL_ADD, stop, &ev) != 0 || !waiter->Watch()) {
            error = errno;
            return nullptr;
        }
        return waiter;
    }

  private:
    int fd_ = -1;
    int inputSize_ = 0, outputSize_ = 0;
    TCommTimeouts timeouts_{};
};

int TPosixComBackend::SetLine(const TDcb& dcb) {
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return errno;
    // Raw bytes both ways: no echo, no line editing, no translation, no signals.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                        IXANY | INPCK | IGNPAR);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8) return EINVAL;
    t.c_cflag |= sizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
        case 0:
            break;
        case 1:
            t.c_cflag |= PARENB | PARODD;
            break;
        case 2:
            t.c_cflag |= PARENB;
            break;
        case 3:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case 4:
            t.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            return EINVAL;
    }
    if (dcb.Flags & 0x0002) t.c_iflag |= INPCK;
    // 1.5 stop bits exist only for 5-bit words on some UARTs; POSIX offers one or two.
    if (dcb.StopBits != 0) t.c_cflag |= CSTOPB;
    const uint32_t rts = (dcb.Flags >> 12) & 3;
    if ((dcb.Flags & 0x0004) || rts == 2) t.c_cflag |= CRTSCTS;
    if (dcb.Flags & 0x0100) t.c_iflag |= IXON;
    if (dcb.Flags & 0x0200) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    // Reads never block in the driver (O_NONBLOCK): the timeout rules are kept with poll.
    t.c_cc[VMIN] = 1;  // with O_NONBLOCK an empty queue then reads as EAGAIN, and 0 means hang-up
    t.c_cc[VTIME] = 0;
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return errno;
    if (const int e = SetPosixBaudRate(fd_, dcb.BaudRate); e != 0) return e;
    const uint32_t dtr = (dcb.Flags >> 4) & 3;
    if (const int e = SetModemLine(fd_, TIOCM_DTR, dtr != 0); e != 0) return e;
    if (rts != 2) {
        if (const int e = SetModemLine(fd_, TIOCM_RTS, rts != 0); e != 0) return e;
    }
    return 0;
}

// The timeout record's rules: with an interval set, a read that has its first byte ends when more than
// that many ms pass without another; a total limit (multiplier * count + constant) ends it in any case;
// interval all-ones with zero totals returns at once with what is there; interval all-ones with
// multiplier all-ones returns as soon as any byte is there, waiting up to the constant for the first.
int TPosixComBackend::Read(void* buf, int count, int giveUpMs, int& got) {
    got = 0;
    auto* out = static_cast<unsigned char*>(buf);
    const auto interval = static_cast<uint32_t>(timeouts_.ReadIntervalTimeout);
    const auto mult = static_cast<uint32_t>(timeouts_.ReadTotalTimeoutMultiplier);
    const auto constant = static_cast<uint32_t>(timeouts_.ReadTotalTimeoutConstant);
    const bool immediate = interval == kAllOnes && mult == 0 && constant == 0;
    const bool anyByte = interval == kAllOnes && mult == kAllOnes && constant != 0 && constant != kAllOnes;
    const auto start = Clock::now();
    std::optional<Clock::time_point> totalDeadline;
    if (anyByte)
        totalDeadline = start + std::chrono::milliseconds(constant);
    else if (!immediate && (mult != 0 || constant != 0))
        totalDeadline = start + std::chrono::milliseconds(uint64_t{mult} * static_cast<uint64_t>(count) + constant);
    const bool useInterval = interval != 0 && interval != kAllOnes;
    auto lastByte = start;
    for (;;) {
        const ssize_t n = ::read(fd_, out + got, static_cast<size_t>(count - got));
        if (n > 0) {
            got += static_cast<int>(n);
            lastByte = Clock::now();
            if (got == count || anyByte) return 0;
            continue;
        }
        // End of file on a terminal means it was hung up; bytes already taken are still handed over.
        if (n == 0) return got > 0 ? 0 : EIO;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return got > 0 ? 0 : errno;
        if (immediate) return 0;
        std::optional<Clock::time_point> deadline = totalDeadline;
        auto earliest = [&](Clock::time_point t) { deadline = deadline ? std::min(*deadline, t) : t; };
        // "More than interval ms": the extra microsecond keeps an exactly-on-time byte inside the read.
        if (got > 0 && useInterval)
            earliest(lastByte + std::chrono::milliseconds(interval) + std::chrono::microseconds(1));
        if (giveUpMs >= 0) earliest(lastByte + std::chrono::milliseconds(giveUpMs));
        if (deadline && Clock::now() >= *deadline) return 0;
        const int r = PollUntil(fd_, POLLIN, deadline);
        if (r < 0) return got > 0 ? 0 : errno;
        if (r == 0) return 0;
        if ((r & (POLLHUP | POLLERR | POLLNVAL)) && !(r & POLLIN)) return got > 0 ? 0 : EIO;
    }
}

int TPosixComBackend::Write(const void* buf, int count, int& done) {
    done = 0;
    const auto* in = static_cast<const unsigned char*>(buf);
    const auto mult = static_cast<uint32_t>(timeouts_.WriteTotalTimeoutMultiplier);
    const auto constant = static_cast<uint32_t>(timeouts_.WriteTotalTimeoutConstant);
    std::optional<Clock::time_point> deadline;
    if (mult != 0 || constant != 0)
        deadline = Clock::now() + std::chrono::milliseconds(uint64_t{mult} * static_cast<uint64_t>(count) + constant);
    while (done < count) {
        const ssize_t n = ::write(fd_, in + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return errno;
        const int r = PollUntil(fd_, POLLOUT, deadline);
        if (r < 0) return errno;
        if (r == 0) return 0;  // the write time limit ended it: report what went out
        if ((r & (POLLHUP | POLLERR | POLLNVAL)) && !(r & POLLOUT)) return EIO;
    }
    return 0;
}

}  // namespace

std::unique_ptr<TComBackend> CreatePlatformComBackend() {
    return std::make_unique<TPosixComBackend>();
}

// Device names that are not absolute live under /dev ("ttyS0", "pts/1"), as "COM1" lives under "\\.\"
// on Windows; taken from the current directory they would name whatever happens to lie there.
std::string PlatformDevicePath(const std::string& name) {
    return (name.empty() || name.front() == '/') ? name : "/dev/" + name;
}

std::string PlatformDeviceKey(const std::string& name) {
    return PlatformDevicePath(name);
}

bool IsDeviceGoneError(int systemError) {
    return systemError == EIO || systemError == ENXIO || systemError == ENODEV;
}

int NotOpenError() {
    return EBADF;
}

}  // namespace tamberline
