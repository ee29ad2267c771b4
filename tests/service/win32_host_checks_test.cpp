// A panel may point the service, which holds rights its user may lack, at serial ports only: COM names and
// the names the system lists, never a path to another device or a file.
#include <gtest/gtest.h>

#include <stdexcept>

#include "serial/portlist.h"
#include "service/host_checks.h"

namespace tamberline {
namespace {

bool Taken(const std::string& name) {
    try {
        CheckSerialDeviceName(name);
        return true;
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        return false;
    }
}

TEST(CheckSerialDeviceName, ComPortsAndListedNamesOnly) {
    const struct {
        const char* name;
        bool taken;
    } cases[] = {
        {"COM1", true},
        {"com12", true},
        {"COM256", true},
        {"COM0", false},
        {"COM257", false},
        {"COM05", false},
        {"COM5:", false},
        {"\\\\.\\COM5", false},
        {"\\\\.\\PhysicalDrive0", false},
        {"C:\\Windows\\win.ini", false},
        {"..\\Settings.INI", false},
        {"NUL", false},
        {"", false},
        {"COM", false},
        {"COM1 ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Taken(c.name), c.taken) << "«" << c.name << "»";
    std::vector<std::string> listed;
    ListPortNames(listed);
    for (const std::string& name : listed)
        EXPECT_TRUE(Taken(name)) << name << " is in the system's list";
}

}  // namespace
}  // namespace tamberline
