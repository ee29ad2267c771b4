// CRC-8 that closes every frame to and from the clock device.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tamberline {

extern const std::array<uint8_t, 256> CrcTable;

constexpr uint8_t kCrcInit = 0xFF;

inline uint8_t CrcStep(uint8_t reg, uint8_t byte) {
    return CrcTable[reg ^ byte];
}

// CRC of `size` bytes starting from the initial register value.
uint8_t Crc8(const uint8_t* data, size_t size);

}  // namespace tamberline
