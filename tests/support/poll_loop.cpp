#include "support/poll_loop.h"

namespace tamberline {

void TPollLoop::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(fn));
    }
    posted_cv_.notify_one();
}

TUiPoster TPollLoop::Poster() {
    return [this](std::function<void()> take) { Post(std::move(take)); };
}

void TPollLoop::RunOnce(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!posted_cv_.wait_until(lock, deadline, [&] { return !posted_.empty(); })) return;
    while (!posted_.empty()) {
        auto fn = std::move(posted_.front());
        posted_.pop_front();
        lock.unlock();
        fn();
        lock.lock();
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
