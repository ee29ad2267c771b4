#include "pty.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tamberline::sim {

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

TPty::TPty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) Fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) Fail("grantpt/unlockpt");
    char name[256];
    if (ptsname_r(master_, name, sizeof name) != 0) Fail("ptsname_r");
    slavePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) Fail("open " + slavePath_);
    // Raw 8N1 at 38400 bit/s, the line settings of the device; no echo, no line editing, no CR/LF mapping.
    termios t{};
    if (tcgetattr(slave_, &t) != 0) Fail("tcgetattr");
    cfmakeraw(&t);
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    t.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(slave_, TCSANOW, &t) != 0) Fail("tcsetattr");
    // A device never blocks on a listener that does not read: frames that do not fit are lost.
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

TPty::~TPty() {
    if (!linkPath_.empty()) unlink(linkPath_.c_str());
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
}

void TPty::Link(const std::string& path) {
    // Only an old link is replaced: a file that happens to carry the name is the user's and stays.
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        errno = EEXIST;
        Fail("--link " + path + " exists and is not a symbolic link");
    }
    std::string tmp = path + ".tmp" + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(slavePath_.c_str(), tmp.c_str()) != 0) Fail("symlink " + tmp);
    // rename replaces an old link in one step, so a client never finds the name missing.
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        Fail("rename to " + path);
    }
    linkPath_ = path;
}

}  // namespace tamberline::sim
