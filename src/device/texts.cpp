#include "device/texts.h"

namespace tamberline {

std::string TwoDigits(int value) {
    return value >= 0 && value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}

std::optional<std::string> ZoneHoursText(int hours, bool plus) {
    if (hours < -12 || hours > 12) return std::nullopt;
    if (hours < 0) return std::to_string(hours);
    if (hours == 0) return plus ? "+0" : "-0";
    return "+" + std::to_string(hours);
}

}  // namespace tamberline
