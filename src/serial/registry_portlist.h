// The Windows source of the port list: the device names stored as the values of a key under
// HKEY_LOCAL_MACHINE (normally HARDWARE\DEVICEMAP\SERIALCOMM). The key is a parameter so a test can
// use a key of its own.
#pragma once

#include <string>
#include <vector>

namespace tamberline {

// Fills target with the values' data, sorted; throws EComPort 23 with the registry's result code
// when the key cannot be read or a value does not fit (256 characters of name, 256 bytes of data),
// leaving target empty.
void ListRegistryPorts(const std::string& keyPath, std::vector<std::string>& target);

}  // namespace tamberline
