// What both benchmarks share: the device's time frame and the percentile of a set of figures.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "device/crc8.h"

namespace tamberline {

inline uint8_t BenchBcd(int v) {
    return static_cast<uint8_t>((v / 10) << 4 | (v % 10));
}

// A time frame as the device sends it: hundredths, seconds, minutes, hours, then the CRC byte.
inline std::array<uint8_t, 9> BenchTimeFrame(int hundredths, int seconds, int minutes, int hours) {
    std::array<uint8_t, 9> f = {
        0xE2, 0xE4, 0x09, 0x03, BenchBcd(hundredths), BenchBcd(seconds), BenchBcd(minutes), BenchBcd(hours)};
    f[8] = Crc8(f.data(), 8);
    return f;
}

// p in [0, 1] of the figures, nearest rank.
inline double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

}  // namespace tamberline
