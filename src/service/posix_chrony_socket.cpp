#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "service/chrony_feed.h"
#include "service/service_settings.h"

namespace tamberline {

namespace {

// Unconnected: each datagram is addressed by path, so a chronyd that was restarted (a new socket
// under the same name) is reached again without any reconnecting.
class TPosixChronySocket : public TChronySocket {
  public:
    explicit TPosixChronySocket(const std::string& path) {
        if (path.size() >= sizeof addr_.sun_path)
            throw std::invalid_argument("путь сокета chronyd длиннее " + std::to_string(sizeof addr_.sun_path - 1) +
                                        " байт: " + path);
        addr_.sun_family = AF_UNIX;
        path.copy(addr_.sun_path, path.size());
        // Never blocks the tick: a chronyd that does not read loses samples, not our second.
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "socket");
    }
    ~TPosixChronySocket() override { close(fd_); }

    int Send(const TChronySample& s) override {
        const ssize_t n = sendto(fd_, &s, sizeof s, 0, reinterpret_cast<const sockaddr*>(&addr_), sizeof addr_);
        if (n == static_cast<ssize_t>(sizeof s)) return 0;
        return n < 0 ? errno : EMSGSIZE;
    }

  private:
    sockaddr_un addr_{};
    int fd_ = -1;
};

}  // namespace

bool ChronyModeAvailable() {
    return true;
}

std::unique_ptr<TChronySocket> OpenChronySocket(const std::string& path) {
    return std::make_unique<TPosixChronySocket>(path);
}

}  // namespace tamberline
