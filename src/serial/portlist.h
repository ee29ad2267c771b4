// The machine's serial devices, as names that TCustomComPort::Open accepts.
#pragma once

#include <string>
#include <vector>

namespace tamberline {

// Replaces target with the device names, sorted ignoring letter case ("COM10" before "COM2").
// Throws EComPort 23 when the list cannot be read; target is then left empty.
void ListPortNames(std::vector<std::string>& target);

// Case-insensitive (ASCII) text order used for the list.
bool PortNameLess(const std::string& a, const std::string& b);

}  // namespace tamberline
