// Date and time texts of the status bar and the settings file, and the date chosen for the device's
// time of day when the PC clock is set.
#pragma once

#include <optional>
#include <string>

#include "clock/system_clock.h"

namespace tamberline {

inline const std::string kLastSyncroPrefix = " Последняя синхронизация времени на ПК: ";
inline const std::string kNoSyncroYet = "еще не проводилась...";
// Panel 1 while the system refuses to let the program change its clock, until a change succeeds.
inline const std::string kNoClockRightText = " Часы ПК не установлены: нет права менять системное время";

// "dd.mm.yyyy hh:nn" with the locale's time separator between hours and minutes.
std::string SyncroStamp(const TLocalDateTime& t, const std::string& timeSeparator);

// Panel 1 text for a stored or fresh stamp.
inline std::string LastSyncroText(const std::string& stamp) {
    return kLastSyncroPrefix + stamp;
}

// " " + weekday + ": " + "dd.mm.yyyy", all from the computer's clock.
std::string DateLine(TSystemClock& clock);

// The computer's date with the device's time of day hh:mm:ss.000. When the two times of day lie on
// either side of midnight and at most an hour apart across it, the date moves to the previous or
// next day instead: the device and the computer then disagree on the date, and the clock must move
// by seconds, not by a day. DayOfWeek follows the date.
// nullopt when hh:mm:ss is no time of day (hours above 23, minutes or seconds above 59): the
// device's digits are taken as they come, and such a time must set nothing.
std::optional<TLocalDateTime> NearestWithTimeOfDay(const TLocalDateTime& now, int hh, int mm, int ss);

}  // namespace tamberline
