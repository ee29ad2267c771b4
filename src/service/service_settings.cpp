#include "service/service_settings.h"

#include "app/inifile.h"

namespace tamberline {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

[[noreturn]] void Bad(const std::string& path, const std::string& key, const std::string& value,
                      const std::string& want) {
    throw EServiceSettings(path + ": [" + kSectionService + "] " + key + "=" + value + ": нужно " + want);
}

}  // namespace

TServiceSettings ReadServiceSettings(const std::string& path) {
    const TIniFile ini(path);
    TServiceSettings s;
    const std::string mode = ini.ReadString(kSectionService, "Mode", "");
    if (Lower(mode) == "chrony" && !ChronyModeAvailable())
        Bad(path, "Mode", mode, "step (режима chrony на этой системе нет)");
    if (Lower(mode) == "chrony")
        s.Mode = TServiceMode::Chrony;
    else if (!mode.empty() && Lower(mode) != "step")
        Bad(path, "Mode", mode, "step или chrony");

    const std::string socket = ini.ReadString(kSectionService, "ChronySocket", "");
    if (!socket.empty()) {
        // chronyd names the socket in its own configuration by an absolute path; a relative one here
        // would depend on where the program was started.
        if (socket.front() != '/') Bad(path, "ChronySocket", socket, "абсолютный путь");
        s.ChronySocket = socket;
    }

    const std::string offset = ini.ReadString(kSectionService, "OffsetMs", "");
    if (!offset.empty()) {
        int32_t v = 0;
        if (!ini::ParseInteger(offset, v) || v < -kMaxOffsetMs || v > kMaxOffsetMs)
            Bad(path, "OffsetMs", offset, "целое число миллисекунд от -500 до 500");
        s.OffsetMs = v;
    }
    return s;
}

}  // namespace tamberline
