#include "clock/pc_sync.h"

#include "clock/clock_texts.h"

namespace tamberline {

void TPcSync::Step() {
    // An impossible device time (hours byte 0x25...) ends here like a refused change: silent, with
    // nothing recorded, while the display keeps showing what came.
    const auto target = NearestWithTimeOfDay(clock_.Now(), s_.ClockHH, s_.ClockMM, s_.ClockSS);
    if (!target) return;
    const TClockSetResult r = clock_.SetLocal(*target);
    if (r == TClockSetResult::NoRight && !noRightShown_) {
        // Only the user can grant the right; the service logs what this panel shows, so once is enough.
        v_.SetStatusText(1, kNoClockRightText);
        noRightShown_ = true;
    }
    if (r != TClockSetResult::Set) return;
    const std::string stamp = SyncroStamp(clock_.Now(), clock_.TimeSeparator());
    if (writeLastSyncro_) writeLastSyncro_(stamp);
    v_.SetStatusText(1, LastSyncroText(stamp));
    noRightShown_ = false;
}

}  // namespace tamberline
