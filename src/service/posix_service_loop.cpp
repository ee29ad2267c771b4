#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "service/service_loop.h"

namespace tamberline {

namespace {

void Guarded(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        HandleApplicationError(e);
    }
}

}  // namespace

TServiceLoop::TServiceLoop() : wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (wake_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

TServiceLoop::~TServiceLoop() {
    close(wake_);
}

TUiPoster TServiceLoop::Poster() {
    return [this](std::function<void()> take) { Post(std::move(take)); };
}

void TServiceLoop::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(fn));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t w = write(wake_, &one, sizeof one);
}

void TServiceLoop::Watch(int fd, std::function<void()> onReadable) {
    watched_[fd] = std::move(onReadable);
}

void TServiceLoop::RunPosted() {
    // Only what waits now: a report posted meanwhile comes after the timers have been looked at.
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(posted_);
    }
    for (auto& fn : batch) {
        if (!running_) return;
        Guarded(fn);
    }
}

void TServiceLoop::Run() {
    running_ = true;
    while (running_) {
        std::vector<pollfd> fds{{wake_, POLLIN, 0}};
        for (const auto& [fd, fn] : watched_)
            fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        // The timers first: a tick due now must not wait behind a queue of reports.
        for (size_t i = 1; i < fds.size() && running_; ++i)
            if (fds[i].revents) Guarded(watched_[fds[i].fd]);
        if (fds[0].revents & POLLIN) {
            uint64_t n;
            [[maybe_unused]] const ssize_t r = read(wake_, &n, sizeof n);
        }
        if (running_) RunPosted();
    }
}

}  // namespace tamberline
