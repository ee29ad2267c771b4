// CRC-8: polynomial x^8 + x^5 + x^4 + 1, processed least significant bit first
// (reflected 0x8C, 0x31 unreflected), register initialised to 0xFF, no final XOR.
// Check values: "123456789" -> 0x0B, "abc" -> 0x90. Running the register over a
// whole frame, CRC byte included, leaves 0 exactly when the CRC fits.
#include "device/crc8.h"

namespace tamberline {

namespace {

constexpr std::array<uint8_t, 256> MakeTable() {
    std::array<uint8_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned r = i;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 1) ? (r >> 1) ^ 0x8C : r >> 1;
        table[i] = static_cast<uint8_t>(r);
    }
    return table;
}

}  // namespace

const std::array<uint8_t, 256> CrcTable = MakeTable();

uint8_t Crc8(const uint8_t* data, size_t size) {
    uint8_t reg = kCrcInit;
    for (size_t i = 0; i < size; ++i)
        reg = CrcStep(reg, data[i]);
    return reg;
}

}  // namespace tamberline
