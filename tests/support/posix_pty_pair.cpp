#include "support/pty_pair.h"

#include <asm/termbits.h>  // termios2: the line speed as a number
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tamberline {

const char* const kNoSuchPort = "/dev/tamberline-no-such-port";

TPtyPair::TPtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("no pseudo-terminal available");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("ptsname failed");
    slavePath_ = name;
    // Raw on the master side too, so bytes pass unchanged in both directions (as cfmakeraw does).
    termios2 t{};
    if (ioctl(master_, TCGETS2, &t) == 0) {
        t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
        t.c_oflag &= ~OPOST;
        t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB)) | CS8;
        ioctl(master_, TCSETS2, &t);
    }
}

unsigned TPtyPair::LineSpeed() const {
    termios2 t{};
    if (ioctl(master_, TCGETS2, &t) != 0) return 0;
    return t.c_ospeed;
}

TPtyPair::~TPtyPair() {
    CloseMaster();
}

void TPtyPair::CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
}

void TPtyPair::Write(const std::string& bytes) {
    Write(bytes.data(), bytes.size());
}

void TPtyPair::Write(const void* bytes, size_t n) {
    const auto* p = static_cast<const char*>(bytes);
    while (n > 0) {
        const ssize_t w = write(master_, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) throw std::runtime_error("pty write failed");
        p += w;
        n -= static_cast<size_t>(w);
    }
}

std::string TPtyPair::ReadAvailable(int waitMs) {
    std::string out;
    int wait = waitMs;
    for (;;) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, wait) <= 0 || !(p.revents & POLLIN)) return out;
        char buf[256];
        const ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0) return out;
        out.append(buf, static_cast<size_t>(n));
        wait = 20;
    }
}

}  // namespace tamberline
