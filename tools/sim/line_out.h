// The device's transmitter: bytes reach the program when they would have finished arriving over a
// real serial line at the rate the program set, one character after another when paced, or the
// whole write at the moment its first character is through when not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace tamberline::sim {

// One character on the wire: start bit, data bits, parity bit, stop bits.
struct TLineTiming {
    uint32_t BitsPerSecond = 38400;
    int BitsPerChar = 10;
    int64_t CharNs() const { return int64_t{BitsPerChar} * 1'000'000'000LL / BitsPerSecond; }
};

// The line settings the program on the slave side chose (both ends of a pty share them); 38400 8N1
// when the terminal cannot tell.
TLineTiming ReadLineTiming(int masterFd);

class TLineOut {
  public:
    TLineOut(int masterFd, bool paced);  // throws std::runtime_error without a timer
    ~TLineOut();
    TLineOut(const TLineOut&) = delete;
    TLineOut& operator=(const TLineOut&) = delete;

    // The device starts sending `data` at `startNs` (monotonic), or once the line is free if it is
    // still busy with earlier bytes; a start in the past goes out at once.
    void Send(const uint8_t* data, size_t size, int64_t startNs);
    int TimerFd() const { return timer_; }
    void OnTimer();  // writes what is due

  private:
    struct TChunk {
        int64_t DueNs;
        std::vector<uint8_t> Bytes;
        bool First;  // the first character of a write: its moment tells the frame's time
    };
    void Arm();
    void WriteChunk(const TChunk& c);

    // For a write's first character the timer wakes this much early and the rest is waited out on
    // the CPU, so it leaves within microseconds of its moment (ns). The characters after it take the
    // timer's own wake-up: spinning for them would keep the CPU from the kernel's work that hands the
    // first one to the reader.
    static constexpr int64_t kEarlyWakeNs = 1'000'000;

    int master_;
    int timer_ = -1;
    bool paced_;
    std::deque<TChunk> queue_;
    int64_t freeAtNs_ = 0;  // when the last queued character is through
};

}  // namespace tamberline::sim
