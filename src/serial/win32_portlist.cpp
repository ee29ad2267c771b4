#include <windows.h>

#include <algorithm>

#include "serial/comport.h"
#include "serial/portlist.h"
#include "serial/registry_portlist.h"
#include "serial/wide_text.h"

namespace tamberline {
namespace {

class TRegKey {
  public:
    ~TRegKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

}  // namespace

void ListRegistryPorts(const std::string& keyPath, std::vector<std::string>& target) {
    target.clear();
    TRegKey key;
    LSTATUS r = RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(keyPath).c_str(), 0, KEY_READ, key.Out());
    if (r != ERROR_SUCCESS) throw EComPort(23, static_cast<int>(r));
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD nameLength = 256;  // characters
        BYTE data[256];
        DWORD dataBytes = sizeof data;
        DWORD type = 0;
        r = RegEnumValueW(key.Get(), index, valueName, &nameLength, nullptr, &type, data, &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS) throw EComPort(23, static_cast<int>(r));
        // The device name up to its terminating zero (the stored data need not carry one).
        const auto* text = reinterpret_cast<const wchar_t*>(data);
        const size_t chars = dataBytes / sizeof(wchar_t);
        names.push_back(Narrow(text, std::find(text, text + chars, L'\0') - text));
    }
    std::sort(names.begin(), names.end(), PortNameLess);
    target = std::move(names);
}

void ListPortNames(std::vector<std::string>& target) {
    ListRegistryPorts("HARDWARE\\DEVICEMAP\\SERIALCOMM", target);
}

}  // namespace tamberline
