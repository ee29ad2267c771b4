#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "service/host_checks.h"

namespace tamberline {

std::vector<std::string> OtherTimeServices(bool chronyFed) {
    // The kernel keeps 15 characters of a program's name: "systemd-timesyncd" reads "systemd-timesyn".
    const struct {
        const char* comm;
        const char* name;
    } known[] = {{"chronyd", "chronyd"}, {"ntpd", "ntpd"}, {"systemd-timesyn", "systemd-timesyncd"}};
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        std::ifstream in(entry.path() / "comm");
        std::string comm;
        if (!std::getline(in, comm)) continue;
        for (const auto& k : known) {
            if (comm != k.comm || (chronyFed && comm == "chronyd")) continue;
            if (std::find(found.begin(), found.end(), k.name) == found.end()) found.push_back(k.name);
        }
    }
    return found;
}

void CheckSerialDeviceName(const std::string& name) {
    // A bare name ("ttyUSB0") means the device of that name, as in the settings file.
    const std::string path = name.find('/') == std::string::npos ? "/dev/" + name : name;
    char real[PATH_MAX];
    struct stat st {};
    const bool terminal = realpath(path.c_str(), real) && stat(real, &st) == 0 && S_ISCHR(st.st_mode) &&
                          (std::string(real).rfind("/dev/tty", 0) == 0 || std::string(real).rfind("/dev/pts/", 0) == 0);
    if (!terminal) throw std::runtime_error("«" + name + "» — не последовательный порт.");
}

}  // namespace tamberline
