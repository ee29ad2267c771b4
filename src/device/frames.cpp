#include "device/frames.h"

#include "device/crc8.h"

namespace tamberline {

void WriteCommandFrame(TCustomComPort& port, TSharedState& s, const uint8_t* bytes, size_t n) {
    try {
        s.TxCrc = kCrcInit;
        for (size_t i = 0; i < n; ++i) {
            s.TxCrc = CrcStep(s.TxCrc, bytes[i]);
            s.PendingAction = bytes[i];
            port.Write(&s.PendingAction, 1);
        }
        const uint8_t crc = s.TxCrc;
        port.Write(&crc, 1);
    } catch (const EComPort&) {
        // The slot may hold a frame byte such as 0x03 or 0x0C, which the tick would read as a request.
        s.PendingAction = paNone;
        throw;
    }
}

namespace {

// One byte within the inter-byte bound; false when the line stayed silent.
bool ReadByte(TCustomComPort& port, uint8_t& byte) {
    return port.ReadWithin(&byte, 1, kFrameByteWaitMs) == 1;
}

}  // namespace

std::optional<TMessageFrame> ReadMessageFrame(TCustomComPort& port) {
    TMessageFrame frame{};
    uint8_t reg = kCrcInit;
    frame.size = 8;
    for (size_t i = 0; i < frame.size; ++i) {
        if (!ReadByte(port, frame.bytes[i])) return std::nullopt;
        reg = CrcStep(reg, frame.bytes[i]);
        if (i == 2 && frame.bytes[2] == kMsgTime) frame.size = 9;
    }
    if (reg != 0) return std::nullopt;
    if (frame.bytes[2] != kMsgTime && frame.bytes[2] != kMsgZone) return std::nullopt;
    return frame;
}

}  // namespace tamberline
