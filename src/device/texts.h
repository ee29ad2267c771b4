// Number texts the device link puts on screen: two-digit clock/minute fields and signed zone hours.
#pragma once

#include <optional>
#include <string>

namespace tamberline {

// Decimal with a "0" in front below 10: 7 -> "07", 59 -> "59".
std::string TwoDigits(int value);

// Zone hours with their sign: "-5", "+0"/"-0" (sign from `plus`), "+3". Outside -12..12 there is
// no text (the field keeps what it shows).
std::optional<std::string> ZoneHoursText(int hours, bool plus);

}  // namespace tamberline
