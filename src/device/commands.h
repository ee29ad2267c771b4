// The three commands to the device (set zone, set time, zone query): their payloads and writing
// them as whole frames. Each leaves the action slot at the value that follows it.
#pragma once

#include <cstdint>

#include "device/state.h"
#include "device/view.h"
#include "serial/comport.h"

namespace tamberline {

struct TPayload {
    uint8_t Hours, Minutes, Seconds;
    bool operator==(const TPayload&) const = default;
};

// Set-zone payload (sign bit 7 + hours, minutes, seconds) of the zone values; `summer` adds the
// summer hour. Reads the state only: the zero-hours sign rule is applied by SendZoneCommand.
TPayload ZonePayload(const TSharedState& s, bool summer);

// Set-time payload: one second before the time the device is to show. `timeMode`: NewHH/MM/SS is
// the wanted time; otherwise NewSS is a correction (0..30 plus, 31..59 minus 60) of the clock.
TPayload TimePayload(const TSharedState& s, bool timeMode);

class TDeviceCommands {
  public:
    TDeviceCommands(TSharedState& s, TMainView& v, TCustomComPort& port) : s_(s), v_(v), port_(port) {}
    void SendZoneCommand();  // leaves paSyncNow: the next tick sets the PC clock
    void SendTimeCommand();  // leaves paNone
    void SendZoneQuery();    // leaves paNone; quiet when the device has gone

  private:
    void Send(uint8_t command, const TPayload* payload);

    TSharedState& s_;
    TMainView& v_;
    TCustomComPort& port_;
};

}  // namespace tamberline
