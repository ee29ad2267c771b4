// Byte layouts of the frames the simulated clock device sends, and the values they carry.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tamberline::sim {

constexpr int kSecondsPerDay = 86400;

// Time-zone offset as the device stores it: sign plus three plain magnitudes.
struct TZone {
    bool Minus = false;
    uint8_t Hours = 3;    // 0..127 (bit 7 of the wire byte is the sign)
    uint8_t Minutes = 0;  // as received; not range checked, like the device
    uint8_t Seconds = 0;
    int OffsetSeconds() const { return (Minus ? -1 : 1) * (Hours * 3600 + Minutes * 60 + Seconds); }
    uint8_t SignHoursByte() const { return static_cast<uint8_t>((Minus ? 0x80 : 0) | (Hours & 0x7F)); }
    static TZone FromBytes(uint8_t signHours, uint8_t minutes, uint8_t seconds);
};

uint8_t ToBcd(int value);  // 0..99

// 9 bytes: E2 E4 09 03, hundredths, seconds, minutes, hours | 0x80 without sync (BCD), CRC.
std::array<uint8_t, 9> BuildTimeFrame(int secondOfDay, int hundredths, bool noSync);
// 8 bytes: E2 E4 0C 03, sign|hours, minutes, seconds (plain numbers), CRC.
std::array<uint8_t, 8> BuildZoneFrame(const TZone& zone);
// 8 bytes of a type the program does not know (0x33), with a good CRC.
std::array<uint8_t, 8> BuildUnknownFrame();

// "HH:MM:SS" (00..23, 00..59, 00..59) -> second of the day.
std::optional<int> ParseTimeOfDay(const std::string& text);
// "+HHMMSS" or "-HHMMSS" (hours 00..12, minutes and seconds 00..59).
std::optional<TZone> ParseZone(const std::string& text);
std::string FormatTimeOfDay(int secondOfDay);
std::string HexBytes(const uint8_t* data, size_t size);  // "E2 E4 0C 03 53"

}  // namespace tamberline::sim
