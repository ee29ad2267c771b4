// SIGTERM, SIGINT and SIGHUP through a self-pipe: the handler only writes one byte, a small thread
// waits on the pipe and posts the request to the UI thread.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <system_error>
#include <thread>

#include "app/end_requests.h"
#include "serial/delivery.h"

namespace tamberline {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end for the handler; a signal may come on any thread at any moment.
volatile sig_atomic_t requestFd = -1;

void OnSignal(int) {
    const int saved = errno;
    const char one = 1;
    if (requestFd >= 0) {
        [[maybe_unused]] const ssize_t w = write(requestFd, &one, 1);
    }
    errno = saved;
}

class TPosixEndRequests : public TEndRequests {
  public:
    explicit TPosixEndRequests(std::function<void()> onEnd) : onEnd_(std::move(onEnd)) {
        if (pipe2(signalPipe_, O_CLOEXEC | O_NONBLOCK) != 0 || pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0)
            throw std::system_error(errno, std::generic_category(), "pipe2");
        requestFd = signalPipe_[1];
        thread_ = std::thread([this] { Run(); });
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        for (size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &sa, &previous_[i]);
    }

    ~TPosixEndRequests() override {
        for (size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &previous_[i], nullptr);
        requestFd = -1;
        const char one = 1;
        [[maybe_unused]] const ssize_t w = write(stopPipe_[1], &one, 1);
        thread_.join();
        for (int fd : {signalPipe_[0], signalPipe_[1], stopPipe_[0], stopPipe_[1]})
            close(fd);
    }

  private:
    void Run() {
        for (;;) {
            pollfd fds[2] = {{signalPipe_[0], POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents) return;
            char buf[16];
            // Several signals before the UI thread got to the first make one request.
            if (read(signalPipe_[0], buf, sizeof buf) > 0) CurrentUiPoster()(onEnd_);
        }
    }

    std::function<void()> onEnd_;
    int signalPipe_[2] = {-1, -1};
    int stopPipe_[2] = {-1, -1};
    struct sigaction previous_[std::size(kSignals)]{};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<TEndRequests> ListenForEndRequests(std::function<void()> onEnd) {
    return std::make_unique<TPosixEndRequests>(std::move(onEnd));
}

}  // namespace tamberline
