#include "clock/second_tick.h"

#include "clock/clock_texts.h"
#include "device/texts.h"
#include "device/time_editor.h"

namespace tamberline {

bool ScheduledSyncDue(int hh, int mm, int ss, uint8_t syncroHours) {
    if (syncroHours == 0 || mm != 0 || ss != 0) return false;
    const int r = hh % syncroHours;
    return r == 0 || (syncroHours == 24 && r == 12);
}

void TSecondTick::Timer1Timer() {
    Advance();
    v_.ShowClock(TwoDigits(s_.ClockHH), TwoDigits(s_.ClockMM), TwoDigits(s_.ClockSS));
    timer_.SetEnabled(false, std::chrono::steady_clock::now());
    FillTimeEditor();
    ServePendingAction();
    if (ScheduledSyncDue(s_.ClockHH, s_.ClockMM, s_.ClockSS, s_.SyncroHours)) s_.PendingAction = paScheduledSync;
    if (s_.ClockHH == 0 && s_.ClockMM == 0 && s_.ClockSS == 1) v_.SetStatusText(0, DateLine(clock_));
}

void TSecondTick::Advance() {
    if (++s_.ClockSS > 59) {
        s_.ClockSS = 0;
        if (++s_.ClockMM > 59) {
            s_.ClockMM = 0;
            if (++s_.ClockHH > 23) s_.ClockHH = 0;
        }
    }
}

void TSecondTick::FillTimeEditor() {
    if (!s_.FillNewTime) return;
    // The seconds field holds a correction, not a time, while "Скорректировать секунды" is on.
    FillNewTimeFromClock(s_, v_, v_.TimeModeSelected());
    s_.FillNewTime = 0;
}

void TSecondTick::ServePendingAction() {
    switch (s_.PendingAction) {
        case paScheduledSync:
            if (s_.SputSync != 1) return;  // waits in the slot for synchronisation
            if (NewerFrameWaits && NewerFrameWaits()) return;
            sync_.Step();
            s_.PendingAction = paNone;
            return;
        case paSyncNow:
            if (NewerFrameWaits && NewerFrameWaits()) return;
            sync_.Step();
            s_.PendingAction = paNone;
            return;
        case paSendZone:
            commands_.SendZoneCommand();
            return;
        case paSendTime:
            commands_.SendTimeCommand();
            return;
        case paZoneQuery:
            commands_.SendZoneQuery();
            return;
        default:
            return;
    }
}

}  // namespace tamberline
