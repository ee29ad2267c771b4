// Frames are closed by the shared CRC-8 (polynomial 0x31, reflected 0x8C, initial value 0xFF).
#include "sim_frames.h"

#include <cstdio>

#include "device/crc8.h"

namespace tamberline::sim {

namespace {

// Bytes 0, 1 and 3 are not examined by the program; the device uses the same ones as commands.
constexpr uint8_t kStart0 = 0xE2, kStart1 = 0xE4, kFixed = 0x03;

bool ParseTwoDigits(const std::string& text, size_t at, int max, int& out) {
    if (at + 2 > text.size()) return false;
    char a = text[at], b = text[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return false;
    out = (a - '0') * 10 + (b - '0');
    return out <= max;
}

template <size_t N>
void CloseWithCrc(std::array<uint8_t, N>& frame) {
    frame[N - 1] = Crc8(frame.data(), N - 1);
}

}  // namespace

TZone TZone::FromBytes(uint8_t signHours, uint8_t minutes, uint8_t seconds) {
    TZone z;
    z.Minus = (signHours & 0x80) != 0;
    z.Hours = signHours & 0x7F;
    z.Minutes = minutes;
    z.Seconds = seconds;
    return z;
}

uint8_t ToBcd(int value) {
    return static_cast<uint8_t>(((value / 10) % 10) << 4 | (value % 10));
}

std::array<uint8_t, 9> BuildTimeFrame(int secondOfDay, int hundredths, bool noSync) {
    int s = secondOfDay % 60, m = secondOfDay / 60 % 60, h = secondOfDay / 3600 % 24;
    std::array<uint8_t, 9> f{kStart0,
                             kStart1,
                             0x09,
                             kFixed,
                             ToBcd(hundredths),
                             ToBcd(s),
                             ToBcd(m),
                             static_cast<uint8_t>(ToBcd(h) | (noSync ? 0x80 : 0)),
                             0};
    CloseWithCrc(f);
    return f;
}

std::array<uint8_t, 8> BuildZoneFrame(const TZone& zone) {
    std::array<uint8_t, 8> f{kStart0, kStart1, 0x0C, kFixed, zone.SignHoursByte(), zone.Minutes, zone.Seconds, 0};
    CloseWithCrc(f);
    return f;
}

std::array<uint8_t, 8> BuildUnknownFrame() {
    std::array<uint8_t, 8> f{kStart0, kStart1, 0x33, kFixed, 0x00, 0x00, 0x00, 0};
    CloseWithCrc(f);
    return f;
}

std::optional<int> ParseTimeOfDay(const std::string& text) {
    int h, m, s;
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
    if (!ParseTwoDigits(text, 0, 23, h) || !ParseTwoDigits(text, 3, 59, m) || !ParseTwoDigits(text, 6, 59, s))
        return std::nullopt;
    return h * 3600 + m * 60 + s;
}

std::optional<TZone> ParseZone(const std::string& text) {
    int h, m, s;
    if (text.size() != 7 || (text[0] != '+' && text[0] != '-')) return std::nullopt;
    if (!ParseTwoDigits(text, 1, 12, h) || !ParseTwoDigits(text, 3, 59, m) || !ParseTwoDigits(text, 5, 59, s))
        return std::nullopt;
    return TZone::FromBytes(static_cast<uint8_t>((text[0] == '-' ? 0x80 : 0) | h), static_cast<uint8_t>(m),
                            static_cast<uint8_t>(s));
}

std::string FormatTimeOfDay(int secondOfDay) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", secondOfDay / 3600 % 24, secondOfDay / 60 % 60, secondOfDay % 60);
    return buf;
}

std::string HexBytes(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        if (i) out += ' ';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

}  // namespace tamberline::sim
