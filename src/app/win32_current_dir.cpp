#include <windows.h>

#include <system_error>

#include "app/current_dir.h"
#include "serial/wide_text.h"

namespace tamberline {

TCurrentDirectory::~TCurrentDirectory() = default;

std::string TProcessCurrentDirectory::Get() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
        if (n == 0)
            throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "GetCurrentDirectoryW");
        // Too small: n is the size needed, terminating zero included.
        if (n < buf.size()) return Narrow(buf.data(), n);
        buf.resize(n);
    }
}

std::string SettingsPath(TCurrentDirectory& dir) {
    std::string d = dir.Get();
    // A drive's root ("C:\") already ends in the separator.
    if (!d.empty() && (d.back() == '\\' || d.back() == '/')) d.pop_back();
    return d + "\\Settings.INI";
}

}  // namespace tamberline
