// The device's time of day, counted in whole simulated seconds (second k begins at t0 + k s).
#pragma once

#include <cstdint>

#include "sim_frames.h"

namespace tamberline::sim {

class TDeviceClock {
  public:
    // Time of day shown during simulated second k.
    int At(int64_t k) const {
        int64_t v = (baseTod_ + (k - baseK_)) % kSecondsPerDay;
        return static_cast<int>(v < 0 ? v + kSecondsPerDay : v);
    }
    // From second k on, the device shows `tod` in second k, tod + 1 in second k + 1, ...
    void Set(int64_t k, int tod) {
        baseK_ = k;
        baseTod_ = tod;
    }
    // A zone change moves the local time shown by the offset difference (seconds, may be negative).
    void Shift(int64_t k, int deltaSeconds) { Set(k, (At(k) + deltaSeconds) % kSecondsPerDay + kSecondsPerDay); }

  private:
    int64_t baseK_ = 0;
    int64_t baseTod_ = 0;
};

}  // namespace tamberline::sim
