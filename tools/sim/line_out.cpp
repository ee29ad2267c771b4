#include "line_out.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "sim_loop.h"

namespace tamberline::sim {

TLineOut::TLineOut(int masterFd, bool paced) : master_(masterFd), paced_(paced) {
    timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (timer_ < 0) throw std::runtime_error("timerfd_create failed");
}

TLineOut::~TLineOut() {
    close(timer_);
}

void TLineOut::Send(const uint8_t* data, size_t size, int64_t startNs) {
    if (size == 0) return;
    // Asked at every write: the program may change the rate at any time.
    const int64_t c = ReadLineTiming(master_).CharNs();
    const int64_t start = std::max(startNs, freeAtNs_);
    if (paced_) {
        for (size_t i = 0; i < size; ++i)
            queue_.push_back({start + static_cast<int64_t>(i + 1) * c, {data[i]}, i == 0});
        freeAtNs_ = start + static_cast<int64_t>(size) * c;
    } else {
        // A pty hands over a whole write at once; it comes when a real line would have delivered
        // the first character, so the frame's time can be taken from it in both modes alike.
        queue_.push_back({start + c, std::vector<uint8_t>(data, data + size), true});
        freeAtNs_ = start + c;
    }
    Arm();
}

void TLineOut::Arm() {
    itimerspec its{};
    if (!queue_.empty()) {
        const TChunk& next = queue_.front();
        const int64_t wake = std::max<int64_t>(next.DueNs - (next.First ? kEarlyWakeNs : 0), 1);
        its.it_value.tv_sec = wake / 1'000'000'000LL;
        its.it_value.tv_nsec = wake % 1'000'000'000LL;
    }
    timerfd_settime(timer_, TFD_TIMER_ABSTIME, &its, nullptr);
}

void TLineOut::OnTimer() {
    uint64_t expirations;
    [[maybe_unused]] const ssize_t r = read(timer_, &expirations, sizeof expirations);
    // What is due goes now; a first character due within the early wake is waited for.
    for (;;) {
        if (queue_.empty()) break;
        const TChunk& next = queue_.front();
        const int64_t left = next.DueNs - MonotonicNs();
        if (left > (next.First ? kEarlyWakeNs : 0)) break;
        while (MonotonicNs() < next.DueNs) {
        }
        WriteChunk(next);
        queue_.pop_front();
    }
    Arm();
}

void TLineOut::WriteChunk(const TChunk& c) {
    const ssize_t n = write(master_, c.Bytes.data(), c.Bytes.size());
    if (n == static_cast<ssize_t>(c.Bytes.size())) return;
    std::fprintf(stderr, "tamberline-sim: line full, %zu bytes dropped\n", n < 0 ? c.Bytes.size() : c.Bytes.size() - n);
}

}  // namespace tamberline::sim
