// The main window's shared program state: plain variables, touched by the UI thread only.
#pragma once

#include <cstdint>

namespace tamberline {

// PendingAction values: the one-request slot served by the second tick.
enum : uint8_t {
    paNone = 0,
    paScheduledSync = 1,
    paSyncNow = 2,
    paSendZone = 3,
    paSendTime = 4,
    paZoneQuery = 5,
};

// The requests a user's action stores (the menu, the editors' buttons, the winter/summer switch); the
// others are the program's own.
constexpr bool IsUserRequest(uint8_t action) {
    return action == paSyncNow || action == paSendZone || action == paSendTime;
}

struct TSharedState {
    int32_t ClockHH = 0, ClockMM = 0, ClockSS = 0;  // device time of day
    uint8_t SputSync = 0, SputSyncShown = 0;        // 0/1
    int32_t ZoneHours = 0;                          // signed whole hours
    uint8_t ZoneMinutes = 0;                        // magnitude 0..59
    int32_t ZoneSeconds = 0;                        // receiver correction, s
    uint8_t ZonePlus = 0;                           // 1 = plus
    uint8_t NewHH = 0, NewMM = 0, NewSS = 0;        // autonomous time editor
    uint8_t FillNewTime = 0;
    uint8_t PendingAction = 0;
    uint8_t TxCrc = 0;
    uint8_t SyncroHours = 0;  // PC sync period, h
    uint8_t SumWntIndex = 0;  // 0 winter, 1 summer
    uint8_t HideOnActivate = 0;
};

}  // namespace tamberline
