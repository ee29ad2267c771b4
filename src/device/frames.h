// Putting command frames on the line and taking message frames off it, one byte per call.
// Frame layout: two start bytes, a type/command byte, a fixed byte, the payload and a CRC-8
// (see device/crc8.h) over everything before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "device/state.h"
#include "serial/comport.h"

namespace tamberline {

constexpr uint8_t kFrameStart0 = 0xE2;
constexpr uint8_t kFrameStart1 = 0xE4;
constexpr uint8_t kFrameFixed = 0x03;
constexpr uint8_t kCmdSetZone = 0x0A;
constexpr uint8_t kCmdSetTime = 0x0B;
constexpr uint8_t kCmdZoneQuery = 0x0C;

constexpr uint8_t kMsgTime = 0x09;
constexpr uint8_t kMsgZone = 0x0C;
constexpr int kTimeFrameBytes = 9;

// How long the rest of a started frame may keep us waiting between two bytes, ms. Longer than
// any gap inside a frame at the slowest line rate, short enough for the UI thread.
constexpr int kFrameByteWaitMs = 200;

// Writes bytes[0..n) and then their CRC, each byte a separate Write of one byte. The bytes pass
// through s.PendingAction (the one-byte transmit buffer) and s.TxCrc runs the CRC. If a Write
// fails, the slot is emptied (0) before the EComPort goes on, so a frame byte left there is
// never served as a request.
void WriteCommandFrame(TCustomComPort& port, TSharedState& s, const uint8_t* bytes, size_t n);

struct TMessageFrame {
    uint8_t bytes[9];
    size_t size;  // 9 for a time frame, 8 for a zone frame
};

// Reads one message frame. nullopt when the CRC is wrong, the type is neither time nor zone, or
// the line fell silent for kFrameByteWaitMs before the frame was complete (the partial frame is
// dropped). EComPort from the port goes on to the caller.
std::optional<TMessageFrame> ReadMessageFrame(TCustomComPort& port);

}  // namespace tamberline
