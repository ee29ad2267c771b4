#include "clock/period.h"

#include <array>

namespace tamberline {

namespace {

constexpr std::array<uint8_t, 8> kPeriods = {1, 2, 3, 4, 6, 8, 12, 24};

int PeriodIndex(uint8_t hours) {
    for (size_t i = 0; i < kPeriods.size(); ++i)
        if (kPeriods[i] == hours) return static_cast<int>(i);
    return -1;
}

}  // namespace

uint8_t PeriodStepUp(uint8_t hours) {
    const int i = PeriodIndex(hours);
    if (i < 0 || i + 1 == static_cast<int>(kPeriods.size())) return hours;
    return kPeriods[i + 1];
}

uint8_t PeriodStepDown(uint8_t hours) {
    const int i = PeriodIndex(hours);
    if (i <= 0) return hours;
    return kPeriods[i - 1];
}

std::optional<TPeriodLabels> PeriodLabels(uint8_t hours) {
    switch (hours) {
        case 1:
            return TPeriodLabels{"Синхронизировать время ПК каждый", "час."};
        case 2:
        case 3:
        case 4:
        case 24:
            return TPeriodLabels{"Синхронизировать время ПК каждые", "часа."};
        case 6:
        case 8:
        case 12:
            return TPeriodLabels{"Синхронизировать время ПК каждые", "часов."};
        default:
            return std::nullopt;
    }
}

}  // namespace tamberline
