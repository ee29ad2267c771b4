#include "serial/posted_loop.h"

namespace tamberline {

void TPostedLoop::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(fn));
    }
    posted_cv_.notify_one();
}

TUiPoster TPostedLoop::Poster() {
    return [this](std::function<void()> take) { Post(std::move(take)); };
}

void TPostedLoop::RunPosted(TClock::time_point deadline) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return !posted_.empty(); };
    if (deadline == TClock::time_point::max())
        posted_cv_.wait(lock, ready);
    else if (!posted_cv_.wait_until(lock, deadline, ready))
        return;
    while (!posted_.empty() && !quit_) {
        auto fn = std::move(posted_.front());
        posted_.pop_front();
        lock.unlock();
        fn();
        lock.lock();
    }
}

void TPostedLoop::Run() {
    while (!quit_)
        RunPosted(TClock::time_point::max());
}

void TPostedLoop::RunFor(std::chrono::milliseconds d) {
    const auto deadline = TClock::now() + d;
    while (TClock::now() < deadline)
        RunPosted(deadline);
}

bool TPostedLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = TClock::now() + timeout;
    while (!done()) {
        if (TClock::now() >= deadline) return done();
        RunPosted(deadline);
    }
    return true;
}

}  // namespace tamberline
