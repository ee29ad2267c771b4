#include "support/poll_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace tamberline {

TPollLoop::TPollLoop() : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (wake_ < 0) throw std::runtime_error("eventfd failed");
}

TPollLoop::~TPollLoop() {
    close(wake_);
}

void TPollLoop::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(fn));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t w = write(wake_, &one, sizeof one);
}

void TPollLoop::Watch(int fd, std::function<void()> onReadable) {
    watched_[fd] = std::move(onReadable);
}

void TPollLoop::Unwatch(int fd) {
    watched_.erase(fd);
}

TUiPoster TPollLoop::Poster() {
    return [this](std::function<void()> take) { Post(std::move(take)); };
}

void TPollLoop::RunOnce(std::chrono::steady_clock::time_point deadline) {
    std::vector<pollfd> fds{{wake_, POLLIN, 0}};
    for (const auto& [fd, fn] : watched_)
        fds.push_back({fd, POLLIN, 0});
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const int ms = static_cast<int>(std::max<long long>(0, left.count() + 1));
    if (poll(fds.data(), fds.size(), ms) <= 0) return;
    if (fds[0].revents & POLLIN) {
        uint64_t n;
        [[maybe_unused]] const ssize_t r = read(wake_, &n, sizeof n);
    }
    for (size_t i = 1; i < fds.size(); ++i) {
        if (!fds[i].revents) continue;
        auto it = watched_.find(fds[i].fd);
        if (it != watched_.end()) {
            auto fn = it->second;
            fn();
        }
    }
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty()) break;
            fn = std::move(posted_.front());
            posted_.pop_front();
        }
        fn();
    }
}

void TPollLoop::RunFor(std::chrono::milliseconds d) {
    const auto deadline = std::chrono::steady_clock::now() + d;
    while (std::chrono::steady_clock::now() < deadline)
        RunOnce(deadline);
}

bool TPollLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return done();
        RunOnce(deadline);
    }
    return true;
}

}  // namespace tamberline
