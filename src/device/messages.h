// Turning the device's message frames into the program's state: time frames set the clock, the
// synchronisation state and arm the second tick; zone frames set the zone editor's values.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "device/frames.h"
#include "device/state.h"
#include "device/timer1.h"
#include "device/view.h"

namespace tamberline {

// Packed decimal: high nibble tens, low nibble units, nibbles above 9 count with their weight.
constexpr int BcdValue(uint8_t b) {
    return (b >> 4) * 10 + (b & 0x0F);
}

// Tick interval for a frame sent `hundredths` into its second, ms: the rest of that second.
// Hundredths above 99 (bad BCD digits) mean the second is already over: 0, never a wrapped value.
uint32_t RestOfSecondMs(int hundredths);

// Zone offset split as the editor keeps it; summer time takes one hour off (winter values).
struct TZoneValues {
    int32_t Hours;
    uint8_t Minutes;
    int32_t Seconds;
    uint8_t Plus;
};
TZoneValues DecodeZone(uint8_t hoursByte, uint8_t minutes, uint8_t seconds, bool summer);

// The zone values of the state in the zone editor's fields, as a zone frame leaves them.
void ShowZone(const TSharedState& s, TMainView& v);

class TMessageHandler {
  public:
    TMessageHandler(TSharedState& s, TMainView& v, TTimer1& timer) : s_(s), v_(v), timer_(timer) {}

    // Reads one frame from the port and applies it; bad frames change nothing. A time frame with a
    // newer one already queued behind it is not applied (only OnTimeFrame hears of it).
    void ComPort1RxChar(TCustomComPort& sender, int count);

    // `rxTime`: when the frame's bytes were seen; the tick counts from there.
    void ApplyFrame(const TMessageFrame& f, TMonoTime rxTime);

    // Told of every good time frame, before it is applied (the link watch).
    std::function<void(TMonoTime rxTime)> OnTimeFrame;

    // What the way to us adds beyond the line itself (the device's own delay, an adapter's latency):
    // a frame began that much earlier than its first byte's arrival shows.
    std::chrono::microseconds FrameDelay{0};

  private:
    void ApplyTimeFrame(const TMessageFrame& f, TMonoTime rxTime);
    void ApplyZoneFrame(const TMessageFrame& f);

    TSharedState& s_;
    TMainView& v_;
    TTimer1& timer_;
};

}  // namespace tamberline
