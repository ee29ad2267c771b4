#include "clock/pc_sync.h"

#include "clock/clock_texts.h"

namespace tamberline {

void TPcSync::Step() {
    // An impossible device time (hours byte 0x25...) ends here like a refused change: silent, with
    // nothing recorded, while the display keeps showing what came.
    const auto target = NearestWithTimeOfDay(clock_.Now(), s_.ClockHH, s_.ClockMM, s_.ClockSS);
    if (!target || !clock_.SetLocal(*target)) return;
    const std::string stamp = SyncroStamp(clock_.Now(), clock_.TimeSeparator());
    if (writeLastSyncro_) writeLastSyncro_(stamp);
    v_.SetStatusText(1, LastSyncroText(stamp));
}

}  // namespace tamberline
