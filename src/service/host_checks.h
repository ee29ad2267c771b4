// What the service asks of the machine around it: other programs that also set the clock, and whether a
// port name a panel sends names a serial device. One implementation per OS.
#pragma once

#include <string>
#include <vector>

namespace tamberline {

// The time services running now that set the computer's clock themselves (chronyd, ntpd,
// systemd-timesyncd; Windows' own time service), by the names the README gives for them. `chronyFed`:
// the service feeds chronyd, which is then no rival.
std::vector<std::string> OtherTimeServices(bool chronyFed);

// A panel may only point the service at a serial device: the service holds rights a panel's user may
// not, and opening some other device can have effects of its own. Throws std::runtime_error with a
// message for the panel's error box when `name` is none.
void CheckSerialDeviceName(const std::string& name);

}  // namespace tamberline
