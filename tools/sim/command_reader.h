// Assembles command frames from the byte stream the program writes, the way the device's receiver does.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tamberline::sim {

struct TCommandEvent {
    bool Good = false;           // a whole command with a fitting CRC
    std::vector<uint8_t> Bytes;  // the command, or the bytes thrown away
};

class TCommandReader {
  public:
    // nowMs: monotonic time of the byte; a gap longer than kGapMs drops a half-received command,
    // so one lost byte cannot glue two commands together.
    std::vector<TCommandEvent> Feed(uint8_t byte, int64_t nowMs);
    // Bytes that cannot start a command, reported as one event (call after each batch of input).
    std::optional<TCommandEvent> TakeJunk();

    static constexpr int64_t kGapMs = 500;

  private:
    void Scan(uint8_t byte, std::vector<TCommandEvent>& out);
    static size_t ExpectedLength(uint8_t code);  // 0: not a command code
    std::vector<uint8_t> frame_;
    std::vector<uint8_t> junk_;
    int64_t lastMs_ = 0;
};

}  // namespace tamberline::sim
