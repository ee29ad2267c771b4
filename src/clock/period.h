// Period of the scheduled PC clock synchronisation as the period dialog steps it: the
// divisors of 24 hours, and the Russian words that agree with the number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tamberline {

// Next period up/down in 1, 2, 3, 4, 6, 8, 12, 24; stays at the ends. A value outside the
// list (hand-edited settings) does not move.
uint8_t PeriodStepUp(uint8_t hours);
uint8_t PeriodStepDown(uint8_t hours);

struct TPeriodLabels {
    std::string Every;  // "Синхронизировать время ПК каждый/каждые"
    std::string Hours;  // "час." / "часа." / "часов."
};

// Nothing for a period outside the list: the labels then keep what they show.
std::optional<TPeriodLabels> PeriodLabels(uint8_t hours);

}  // namespace tamberline
