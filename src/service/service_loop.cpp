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

TUiPoster TServiceLoop::Poster() {
    return [this](std::function<void()> take) { Post(std::move(take)); };
}

void TServiceLoop::Post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(fn));
    }
    posted_cv_.notify_one();
}

void TServiceLoop::Run() {
    running_ = true;
    while (running_) {
        // Everything that waits now, in the order it came: the timers' expiries arrive through the
        // same queue as the port's reports, so a tick is never passed by a report posted after it.
        std::deque<std::function<void()>> batch;
        {
            std::unique_lock lock(mutex_);
            posted_cv_.wait(lock, [this] { return !posted_.empty(); });
            batch.swap(posted_);
        }
        for (auto& fn : batch) {
            if (!running_) return;
            Guarded(fn);
        }
    }
}

}  // namespace tamberline
