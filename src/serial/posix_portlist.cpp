#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>

#include "serial/comport.h"
#include "serial/portlist.h"
#include "serial/sysfs_portlist.h"

namespace tamberline {
namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// The 8250 driver registers placeholder ports that have no UART behind them; their port type is 0.
bool IsPlaceholder(const std::string& entry) {
    std::ifstream type(entry + "/type");
    int value = -1;
    return type >> value && value == 0;
}

}  // namespace

void ListTtyPorts(const std::string& classDir, const std::string& devDir, std::vector<std::string>& target) {
    target.clear();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(classDir.c_str()), closedir);
    if (!dir) throw EComPort(23, errno);
    std::vector<std::string> names;
    while (const dirent* d = readdir(dir.get())) {
        const std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        const std::string entry = classDir + "/" + name;
        // Virtual consoles and pseudo-terminals have no device link: no hardware, no serial line.
        if (!Exists(entry + "/device")) continue;
        if (IsPlaceholder(entry)) continue;
        names.push_back(devDir + "/" + name);
    }
    std::sort(names.begin(), names.end(), PortNameLess);
    target = std::move(names);
}

void ListPortNames(std::vector<std::string>& target) {
    ListTtyPorts("/sys/class/tty", "/dev", target);
}

}  // namespace tamberline
