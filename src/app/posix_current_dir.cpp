#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "app/current_dir.h"

namespace tamberline {

TCurrentDirectory::~TCurrentDirectory() = default;

std::string TProcessCurrentDirectory::Get() {
    std::vector<char> buf(256);
    for (;;) {
        if (getcwd(buf.data(), buf.size())) return buf.data();
        if (errno != ERANGE) throw std::system_error(errno, std::generic_category(), "getcwd");
        buf.resize(buf.size() * 2);
    }
}

std::string SettingsPath(TCurrentDirectory& dir) {
    std::string d = dir.Get();
    // The root directory already ends in a slash; "//Settings.INI" would still work but reads oddly.
    if (!d.empty() && d.back() == '/') d.pop_back();
    return d + "/Settings.INI";
}

}  // namespace tamberline
