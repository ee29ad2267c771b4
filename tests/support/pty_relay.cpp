// The device end of a test's line under wine; built for the host, never for Windows. A Windows
// program cannot make a pseudo-terminal, so this one makes two, each mapped to a COM port: the port
// under test opens the first, the test plays the device on the second, and the bytes pass between
// them unchanged. The rate the port sets on its line is carried over to the device's end, where the
// test reads it as a real device would see it. When the test closes its end, this program ends and
// the port sees the line hang up, as when a device goes away.
//
//   pty_relay PORT_LINK DEVICE_LINK READY
//
// READY is made once both links name this relay's terminals. The relay ends when READY is removed
// (wine may hold the device's end open for seconds after the test has closed it) or when the device's
// end has been open and no one has it any more; at the end it removes what it made.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

struct TEnd {
    int Master = -1;
    std::string Link;
    std::string Tty;  // the slave's own name
};

// A relay started later for the same pair has its own links and marker by now: those stay.
void RemoveIfOurs(const std::string& path, const std::string& content, bool isLink) {
    char buf[256] = {};
    const int fd = isLink ? -1 : open(path.c_str(), O_RDONLY);
    const ssize_t n = isLink ? readlink(path.c_str(), buf, sizeof buf - 1) : read(fd, buf, sizeof buf - 1);
    if (fd >= 0) close(fd);
    if (n > 0 && std::string(buf, static_cast<size_t>(n)) == content) unlink(path.c_str());
}

bool Open(TEnd& end, bool keepSlave) {
    int slave = -1;
    if (openpty(&end.Master, &slave, nullptr, nullptr, nullptr) != 0) return false;
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    end.Tty = ttyname(slave);
    const std::string tmp = end.Link + ".new";
    unlink(tmp.c_str());
    if (symlink(end.Tty.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), end.Link.c_str()) != 0) return false;
    // The port's end stays open here too, so its master never reads as hung up while the port is
    // closed between reopens; the device's end closes, so the test's leaving shows as a hang-up.
    if (!keepSlave) close(slave);
    return fcntl(end.Master, F_SETFL, O_NONBLOCK) == 0;
}

// Copies what one master has to the other.
void Pass(int from, int to) {
    char buf[4096];
    const ssize_t n = read(from, buf, sizeof buf);
    if (n <= 0) return;
    for (ssize_t done = 0; done < n;) {
        const ssize_t w = write(to, buf + done, static_cast<size_t>(n - done));
        if (w > 0) {
            done += w;
            continue;
        }
        if (errno != EAGAIN && errno != EINTR) break;
        // Its reader is slow: wait for room, but a line no one reads loses bytes (100 ms).
        pollfd out{to, POLLOUT, 0};
        if (poll(&out, 1, 100) <= 0) break;
    }
}

// A master's termios are its slave's: the device's end gets the port's rate.
void CarryRate(int port, int device) {
    termios p{}, d{};
    if (tcgetattr(port, &p) != 0 || tcgetattr(device, &d) != 0) return;
    if (cfgetospeed(&p) == cfgetospeed(&d)) return;
    cfsetispeed(&d, cfgetospeed(&p));
    cfsetospeed(&d, cfgetospeed(&p));
    tcsetattr(device, TCSANOW, &d);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PORT_LINK DEVICE_LINK READY\n", argv[0]);
        return 2;
    }
    TEnd port{-1, argv[1], ""}, device{-1, argv[2], ""};
    const std::string ready = argv[3], pid = std::to_string(getpid());
    const std::string readyTmp = ready + ".new";
    const int marker = open(readyTmp.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (!Open(port, true) || !Open(device, false) || marker < 0 ||
        write(marker, pid.data(), pid.size()) != static_cast<ssize_t>(pid.size()) || close(marker) != 0 ||
        rename(readyTmp.c_str(), ready.c_str()) != 0) {
        std::perror("pty_relay");
        return 1;
    }
    // A test that never comes to its end must not leave this running: 20 s is far more than any
    // start of a test takes.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool deviceSeen = false;
    for (;;) {
        pollfd p[2] = {{port.Master, POLLIN, 0}, {device.Master, POLLIN, 0}};
        poll(p, 2, 1);  // 1 ms: the rate follows the port within one turn
        const bool deviceOpen = !(p[1].revents & POLLHUP);
        if (deviceOpen) deviceSeen = true;
        struct stat st {};
        if ((deviceSeen && !deviceOpen) || stat(ready.c_str(), &st) != 0) break;
        if (!deviceSeen && std::chrono::steady_clock::now() > giveUp) break;
        if (p[0].revents & POLLIN) Pass(port.Master, device.Master);
        if (p[1].revents & POLLIN) Pass(device.Master, port.Master);
        if (deviceOpen) CarryRate(port.Master, device.Master);
        if (!deviceOpen) usleep(2000);  // a hung-up master polls ready at once
    }
    RemoveIfOurs(ready, pid, false);
    RemoveIfOurs(port.Link, port.Tty, true);
    RemoveIfOurs(device.Link, device.Tty, true);
    return 0;
}
