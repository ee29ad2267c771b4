// The POSIX source of the port list: terminal devices under a sysfs tree (normally /sys/class/tty)
// that have real hardware behind them. The roots are parameters so a test can use a fake tree.
#pragma once

#include <string>
#include <vector>

namespace tamberline {

// Fills target with devDir + "/" + name for each listed device, sorted; throws EComPort 23 (with errno)
// when classDir cannot be read, leaving target empty.
void ListTtyPorts(const std::string& classDir, const std::string& devDir, std::vector<std::string>& target);

}  // namespace tamberline
