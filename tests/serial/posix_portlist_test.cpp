// The port list read from a fake sysfs tree in a temporary directory.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "serial/comport.h"
#include "serial/portlist.h"
#include "serial/sysfs_portlist.h"

namespace tamberline {
namespace {

namespace fs = std::filesystem;

// A temporary /sys/class/tty: each entry may have a device link and a port type file.
struct TFakeTtyClass {
    fs::path root;
    TFakeTtyClass() {
        char dir[] = "/tmp/tamberline-tty-XXXXXX";
        root = mkdtemp(dir);
        fs::create_directories(root / "devices" / "hw");
    }
    ~TFakeTtyClass() { fs::remove_all(root); }
    std::string ClassDir() const { return (root / "class").string(); }
    void Add(const std::string& name, bool device, int type = -1) {
        const fs::path e = root / "class" / name;
        fs::create_directories(e);
        if (device) fs::create_directory_symlink(root / "devices" / "hw", e / "device");
        if (type >= 0) std::ofstream(e / "type") << type << "\n";
    }
};

TEST(PortList, DevicesFromTheTree) {
    struct Entry {
        const char* name;
        bool device;
        int type;
    };
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {"empty machine", {}, {}},
        {"virtual consoles and ptmx have no device",
         {{"tty0", false, -1}, {"tty1", false, -1}, {"ptmx", false, -1}},
         {}},
        {"usb adapters listed",
         {{"ttyUSB0", true, -1}, {"ttyACM0", true, -1}, {"tty5", false, -1}},
         {"/dev/ttyACM0", "/dev/ttyUSB0"}},
        {"8250 placeholders of type 0 left out",
         {{"ttyS0", true, 4}, {"ttyS1", true, 0}, {"ttyS2", true, 0}, {"ttyS3", true, 4}},
         {"/dev/ttyS0", "/dev/ttyS3"}},
        {"sorted ignoring case",
         {{"COM2", true, -1}, {"COM10", true, -1}, {"com1", true, -1}},
         {"/dev/com1", "/dev/COM10", "/dev/COM2"}},
    };
    for (const auto& c : cases) {
        TFakeTtyClass tree;
        fs::create_directories(tree.ClassDir());
        for (const auto& e : c.entries)
            tree.Add(e.name, e.device, e.type);
        std::vector<std::string> got{"stale"};
        ListTtyPorts(tree.ClassDir(), "/dev", got);
        EXPECT_EQ(got, c.want) << c.name;
    }
}

TEST(PortList, UnreadableTreeRaisesRegistryErrorAndLeavesTheListEmpty) {
    std::vector<std::string> got{"stale"};
    try {
        ListTtyPorts("/nonexistent/class/tty", "/dev", got);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code, 23);
        EXPECT_EQ(e.WinCode, ENOENT);
    }
    EXPECT_TRUE(got.empty());
}

// Names equal but for case are equivalent, as the sort needs of its ordering.
TEST(PortList, NamesEqualButForCaseAreNotLess) {
    EXPECT_FALSE(PortNameLess("COM1", "com1"));
    EXPECT_FALSE(PortNameLess("com1", "COM1"));
}

TEST(PortList, MachineListOpensAsNamed) {
    std::vector<std::string> names;
    ASSERT_NO_THROW(ListPortNames(names));
    for (const auto& n : names)
        EXPECT_EQ(n.rfind("/dev/", 0), 0u) << n;
}

}  // namespace
}  // namespace tamberline
