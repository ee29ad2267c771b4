// The control endpoint on POSIX: a Unix stream socket. The listener's one I/O thread polls the
// listening socket, its clients and a wake pipe; only that thread closes client sockets, so a number
// the UI thread sends to is never one the system has handed out again meanwhile.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "control/endpoint.h"
#include "control/endpoint_reports.h"
#include "control/peer_rights.h"

namespace tamberline {

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

constexpr size_t kMaxClients = 16;        // a 17th is closed at once
constexpr size_t kReadChunk = 64 * 1024;  // bytes taken from a socket at a time
constexpr int kAcceptPauseMs = 100;       // out of descriptors: the listening socket rests this long
constexpr auto kClientSendWait = 1000ms;  // a service that takes nothing for this long has stalled
constexpr int kBusyTries = 10;            // a full backlog: tries 5 ms apart before giving up
constexpr mode_t kFolderMode = 0755;
constexpr mode_t kSocketMode = 0666;  // anyone local may connect and watch; rights come per peer

[[noreturn]] void Fail(const std::string& what, int err) {
    throw EControl(what + ": " + std::generic_category().message(err));
}

class TFd {
  public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    ~TFd() { Reset(); }
    TFd(TFd&& o) noexcept : fd_(o.Release()) {}
    TFd& operator=(TFd&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    void Reset(int fd = -1) {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

sockaddr_un Address(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        throw EControl("control endpoint path is empty or longer than " + std::to_string(sizeof addr.sun_path - 1) +
                       " bytes: " + path);
    path.copy(addr.sun_path, path.size());
    return addr;
}

// A non-blocking connection attempt: the socket, or an empty one with the reason in err.
TFd TryConnect(const std::string& path, int& err) {
    const sockaddr_un addr = Address(path);
    TFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.Get() < 0) Fail("socket", errno);
    err = 0;
    if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return fd;
    err = errno;
    return TFd();
}

// What lies at `path` before we bind: a live service refuses us, a dead one's socket file goes, and
// anything that is no socket stays (it is not ours to remove).
void ClaimPath(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return;
        Fail("control endpoint " + path, errno);
    }
    if (!S_ISSOCK(st.st_mode)) throw EControl("control endpoint " + path + " exists and is no socket");
    int err = 0;
    // A full backlog (EAGAIN) is a live service too.
    if (TryConnect(path, err).Get() >= 0 || err == EAGAIN) throw EControl("another service listens on " + path);
    if (err != ECONNREFUSED) Fail("control endpoint " + path, err);
    if (unlink(path.c_str()) != 0 && errno != ENOENT) Fail("stale control endpoint " + path, errno);
}

// /run is a tmpfs: the service's own folder is gone after each boot. Only the last component is made.
void MakeFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    const std::string folder = path.substr(0, slash);
    if (mkdir(folder.c_str(), kFolderMode) == 0)
        chmod(folder.c_str(), kFolderMode);  // whatever the umask took away
    else if (errno != EEXIST)
        Fail("control endpoint folder " + folder, errno);
}

// Wakes a thread that sits in poll().
class TWakePipe {
  public:
    TWakePipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) Fail("pipe2", errno);
        read_.Reset(fds[0]);
        write_.Reset(fds[1]);
    }
    int Fd() const { return read_.Get(); }
    void Wake() const {
        const char one = 1;
        [[maybe_unused]] const ssize_t w = write(write_.Get(), &one, 1);  // a full pipe wakes as well
    }
    void Drain() const {
        char buf[64];
        while (read(read_.Get(), buf, sizeof buf) > 0) {
        }
    }

  private:
    TFd read_, write_;
};

class TPosixListener final : public TEndpointListener {
  public:
    TPosixListener(const std::string& path, TListenerEvents events) : path_(path), reports_(std::move(events)) {
        ClaimPath(path);
        MakeFolder(path);
        const sockaddr_un addr = Address(path);
        listen_.Reset(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (listen_.Get() < 0) Fail("socket", errno);
        if (bind(listen_.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            if (errno == EADDRINUSE) throw EControl("another service listens on " + path);
            Fail("control endpoint " + path, errno);
        }
        struct stat st {};
        if (chmod(path.c_str(), kSocketMode) != 0 || stat(path.c_str(), &st) != 0 ||
            listen(listen_.Get(), static_cast<int>(kMaxClients)) != 0) {
            const int e = errno;
            unlink(path.c_str());
            Fail("control endpoint " + path, e);
        }
        device_ = st.st_dev;
        inode_ = st.st_ino;
        thread_ = std::thread([this] { Run(); });
    }

    ~TPosixListener() override {
        reports_.Close();
        stopping_ = true;
        wake_.Wake();
        thread_.join();
        for (auto& [id, c] : clients_)
            close(c.Fd);
        // Another listener may have replaced a socket file it took for stale: that one stays.
        struct stat st {};
        if (stat(path_.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_) unlink(path_.c_str());
    }

    bool Send(int client, const std::string& bytes) override {
        std::lock_guard lock(mutex_);
        const auto it = clients_.find(client);
        if (it == clients_.end() || it->second.Dropped) return false;
        if (bytes.empty()) return true;
        const ssize_t n = send(it->second.Fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        return n == static_cast<ssize_t>(bytes.size());
    }

    void Drop(int client) override {
        reports_.Drop(client);
        std::lock_guard lock(mutex_);
        const auto it = clients_.find(client);
        if (it == clients_.end() || it->second.Dropped) return;
        it->second.Dropped = true;
        // The I/O thread then reads the end, closes the socket and posts a Gone that nobody sees.
        shutdown(it->second.Fd, SHUT_RDWR);
    }

  private:
    struct TClient {
        int Fd = -1;
        TPeer Peer;
        bool Dropped = false;
    };

    void Run() {
        std::vector<pollfd> fds;
        std::vector<int> ids;
        auto acceptFrom = TClock::time_point();
        while (!stopping_) {
            const bool accepting = TClock::now() >= acceptFrom;
            fds.assign({{wake_.Fd(), POLLIN, 0}, {accepting ? listen_.Get() : -1, POLLIN, 0}});
            ids.clear();
            // Only this thread changes the map, so it reads it without the lock.
            for (const auto& [id, c] : clients_) {
                fds.push_back({c.Fd, POLLIN, 0});
                ids.push_back(id);
            }
            if (poll(fds.data(), fds.size(), accepting ? -1 : kAcceptPauseMs) < 0) continue;  // EINTR
            if (fds[0].revents) wake_.Drain();
            if (fds[1].revents && !Accept()) acceptFrom = TClock::now() + std::chrono::milliseconds(kAcceptPauseMs);
            for (size_t i = 0; i < ids.size(); ++i)
                if (fds[i + 2].revents) ReadFrom(ids[i]);
        }
    }

    // false when the system had no descriptor to spare: the waiting peer would wake poll at once again.
    bool Accept() {
        for (;;) {
            TFd fd(accept4(listen_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (fd.Get() < 0) return errno == EAGAIN || errno == EINTR || errno == ECONNABORTED;
            if (clients_.size() >= kMaxClients) continue;  // closed at once
            TPeer peer = UnixSocketPeer(fd.Get(), kControlGroup);
            const int id = nextId_++;
            {
                std::lock_guard lock(mutex_);
                clients_.emplace(id, TClient{fd.Release(), std::move(peer)});
            }
            reports_.Connected(id);
        }
    }

    void ReadFrom(int id) {
        const TClient& c = clients_.at(id);
        std::string buf(kReadChunk, '\0');
        const ssize_t n = recv(c.Fd, buf.data(), buf.size(), MSG_DONTWAIT);
        if (n > 0) {
            buf.resize(static_cast<size_t>(n));
            reports_.Received(id, c.Peer, std::move(buf));
            return;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        {
            std::lock_guard lock(mutex_);
            close(c.Fd);
            clients_.erase(id);
        }
        reports_.Gone(id);
    }

    std::string path_;
    TListenerReports reports_;
    TFd listen_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    TWakePipe wake_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;                // the map against the UI thread's Send and Drop
    std::map<int, TClient> clients_;  // changed by the I/O thread only
    int nextId_ = 1;                  // I/O thread
    std::thread thread_;
};

class TPosixConnection final : public TEndpointConnection {
  public:
    explicit TPosixConnection(TFd fd) : fd_(std::move(fd)) {}

    ~TPosixConnection() override {
        reports_.Close();
        if (!thread_.joinable()) return;
        stopping_ = true;
        wake_.Wake();
        thread_.join();
    }

    void Send(const std::string& bytes) override {
        const auto deadline = TClock::now() + kClientSendWait;
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = send(fd_.Get(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) Fail("the service's connection", errno);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
            pollfd p{fd_.Get(), POLLOUT, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) == 0)
                throw EControl("the service takes no messages (stalled for 1 s)");
        }
    }

    std::string Read(std::chrono::milliseconds timeout) override {
        pollfd p{fd_.Get(), POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return "";
        std::string buf(kReadChunk, '\0');
        const ssize_t n = recv(fd_.Get(), buf.data(), buf.size(), MSG_DONTWAIT);
        if (n == 0) throw EControl("the service closed the connection");
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) return "";
            Fail("the service's connection", errno);
        }
        buf.resize(static_cast<size_t>(n));
        return buf;
    }

    void Start(TConnectionEvents events) override {
        reports_.Start(std::move(events));
        thread_ = std::thread([this] { Run(); });
    }

  private:
    void Run() {
        std::string buf;
        while (!stopping_) {
            pollfd fds[2] = {{fd_.Get(), POLLIN, 0}, {wake_.Fd(), POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 || fds[1].revents || !fds[0].revents) continue;
            buf.resize(kReadChunk);
            const ssize_t n = recv(fd_.Get(), buf.data(), buf.size(), MSG_DONTWAIT);
            if (n > 0) {
                buf.resize(static_cast<size_t>(n));
                reports_.Received(std::move(buf));
                buf = std::string();
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                reports_.Gone();
                return;
            }
        }
    }

    TFd fd_;
    TConnectionReports reports_;
    TWakePipe wake_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace

std::string ControlEndpoint() {
    const char* set = std::getenv("TAMBERLINE_CONTROL");
    return set != nullptr && *set != '\0' ? set : "/run/tamberline/control";
}

std::unique_ptr<TEndpointListener> ListenOnEndpoint(const std::string& endpoint, TListenerEvents events) {
    return std::make_unique<TPosixListener>(endpoint, std::move(events));
}

std::unique_ptr<TEndpointConnection> ConnectToEndpoint(const std::string& endpoint) {
    for (int attempt = 1;; ++attempt) {
        int err = 0;
        TFd fd = TryConnect(endpoint, err);
        if (fd.Get() >= 0) return std::make_unique<TPosixConnection>(std::move(fd));
        if (err == ENOENT || err == ECONNREFUSED) return nullptr;
        if (err != EAGAIN) Fail("control endpoint " + endpoint, err);
        if (attempt == kBusyTries) throw EControl("the service at " + endpoint + " takes no connections (busy)");
        std::this_thread::sleep_for(5ms);
    }
}

}  // namespace tamberline
