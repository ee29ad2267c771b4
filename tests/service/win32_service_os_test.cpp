// The service on Windows. A panel may point it, who holds rights the panel's user may lack, at serial ports
// only: COM names and the names the system lists, never a path to another device or a file. And there is no
// chronyd to feed: Mode=chrony stops the start rather than leave the clock to nobody.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "serial/portlist.h"
#include "service/host_checks.h"
#include "service/service_settings.h"

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

TEST(ServiceSettings, ChronyModeIsRefusedNamingTheKey) {
    ASSERT_FALSE(ChronyModeAvailable());
    const auto path = std::filesystem::path(::testing::TempDir()) / "svc-chrony.INI";
    std::ofstream(path) << "[Service]\nMode=Chrony\n";
    try {
        ReadServiceSettings(path.string());
        ADD_FAILURE() << "Mode=Chrony was taken";
    } catch (const EServiceSettings& e) {
        EXPECT_NE(std::string(e.what()).find("Mode=Chrony"), std::string::npos) << e.what();
    }
    std::ofstream(path) << "[Service]\nMode=step\n";
    EXPECT_EQ(ReadServiceSettings(path.string()).Mode, TServiceMode::Step);
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace tamberline
