// Port and baud-rate selection: item lists, what a box remembers, and what applying does
// to a port that is never opened.
#include "serial/comselect.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "serial/sysfs_portlist.h"

namespace tamberline {
namespace {

namespace fs = std::filesystem;

// A fake sysfs class directory whose entries all have a device behind them.
class TFakeTtyTree {
  public:
    explicit TFakeTtyTree(std::vector<std::string> names) {
        char pattern[] = "/tmp/comselect-XXXXXX";
        Root = mkdtemp(pattern);
        for (const auto& n : names)
            fs::create_directories(Root + "/" + n + "/device");
    }
    ~TFakeTtyTree() { fs::remove_all(Root); }
    std::function<void(std::vector<std::string>&)> Lister() const {
        return [root = Root](std::vector<std::string>& v) { ListTtyPorts(root, "/dev", v); };
    }
    std::string Root;
};

std::function<void(std::vector<std::string>&)> FailingLister() {
    return [](std::vector<std::string>& v) { ListTtyPorts("/nonexistent/class/tty", "/dev", v); };
}

struct TPortBoxCase {
    const char* Name;
    std::vector<std::string> Devices;
    const char* PortName;  // the port's current name
    std::vector<std::string> Items;
    int Index;
    const char* Applied;  // port name after ApplySelection
};

class PortBox : public testing::TestWithParam<TPortBoxCase> {};

TEST_P(PortBox, ListsSelectsAndApplies) {
    const TPortBoxCase& c = GetParam();
    TFakeTtyTree tree(c.Devices);
    TComPort port;
    port.SetPort(c.PortName);
    TComSelect box;
    box.PortLister = tree.Lister();
    box.SetComProperty(cpPort);
    box.SetComPort(&port);
    EXPECT_EQ(box.Items(), c.Items);
    EXPECT_EQ(box.ItemIndex(), c.Index);
    box.ApplySelection();
    EXPECT_EQ(port.Port(), c.Applied);
}

const TPortBoxCase kPortBoxCases[] = {
    {"SortedIgnoringCaseTenBeforeTwo",
     {"COM2", "COM10", "COM1"},
     "/dev/COM2",
     {"/dev/COM1", "/dev/COM10", "/dev/COM2"},
     2,
     "/dev/COM2"},
    {"OtherCaseShownAsListedAndAppliedAsListed",
     {"COM1", "COM2"},
     "/dev/Com1",
     {"/dev/COM1", "/dev/COM2"},
     0,
     "/dev/COM1"},
    {"BareNameFindsItsDevice", {"ttyS0", "ttyUSB0"}, "ttyUSB0", {"/dev/ttyS0", "/dev/ttyUSB0"}, 1, "/dev/ttyUSB0"},
    // Nothing remembered: applying must not replace a working name by an empty one.
    {"UnlistedNameShowsNothingAndIsKept", {"ttyS0"}, "/dev/ttyACM3", {"/dev/ttyS0"}, -1, "/dev/ttyACM3"},
    {"NoDevicesEmptyBoxKeepsName", {}, "COM1", {}, -1, "COM1"},
};

INSTANTIATE_TEST_SUITE_P(Lists, PortBox, testing::ValuesIn(kPortBoxCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(PortBoxFailure, UnreadableListRaisesCode23AndLeavesTheBoxEmpty) {
    TComSelect box;
    box.PortLister = [](std::vector<std::string>& v) { v = {"/dev/ttyS9"}; };
    box.SetComProperty(cpPort);
    ASSERT_EQ(box.Items().size(), 1u);
    box.PortLister = FailingLister();
    try {
        box.SetComProperty(cpPort);
        FAIL() << "no error raised";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code, 23);
    }
    EXPECT_TRUE(box.Items().empty());
    EXPECT_EQ(box.ItemIndex(), -1);
}

TEST(PortBoxUserPick, RemembersOnlyPicksAndAppliesTheLast) {
    TFakeTtyTree tree({"ttyS0", "ttyS1"});
    TComPort port;
    port.SetPort("/dev/ttyACM0");  // not listed
    TComSelect box;
    box.PortLister = tree.Lister();
    box.SetComProperty(cpPort);
    box.SetComPort(&port);
    box.SetItemIndex(0);  // by program: remembers nothing
    box.ApplySelection();
    EXPECT_EQ(port.Port(), "/dev/ttyACM0");
    box.Pick(1);
    EXPECT_EQ(port.Port(), "/dev/ttyACM0") << "AutoApply is off";
    box.ApplySelection();
    EXPECT_EQ(port.Port(), "/dev/ttyS1");
}

struct TRateCase {
    const char* Name;
    TBaudRate PortRate;
    int Picked;           // -1: no pick
    const char* TextSet;  // nullptr: Text not set
    int IndexAfter;
    TBaudRate RateBeforeApply;
    TBaudRate RateAfterApply;
};

class RateBox : public testing::TestWithParam<TRateCase> {};

TEST_P(RateBox, SelectsAndApplies) {
    const TRateCase& c = GetParam();
    TComPort port;
    port.SetBaudRate(c.PortRate);
    TComSelect box;
    box.SetComProperty(cpBaudRate);
    box.SetComPort(&port);
    if (c.Picked >= 0) box.Pick(c.Picked);
    if (c.TextSet) box.SetText(c.TextSet);
    EXPECT_EQ(box.ItemIndex(), c.IndexAfter);
    EXPECT_EQ(port.BaudRate(), c.RateBeforeApply);
    box.ApplySelection();
    EXPECT_EQ(port.BaudRate(), c.RateAfterApply);
}

const TRateCase kRateCases[] = {
    {"ShowsTheRateOfThePort", br38400, -1, nullptr, 10, br38400, br38400},
    {"PickAppliesOnlyWhenAsked", br38400, 13, nullptr, 13, br38400, br115200},
    {"TextSelectsWithoutRemembering", br38400, -1, "9600", 7, br38400, br38400},
    {"TextNamingNoRateChangesNothing", br38400, -1, "12345", 10, br38400, br38400},
    {"TextAfterPickKeepsThePick", br38400, 13, "9600", 7, br38400, br115200},
};

INSTANTIATE_TEST_SUITE_P(Rates, RateBox, testing::ValuesIn(kRateCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(RateBoxItems, SixteenNamesWith38400AtTen) {
    TComSelect box;
    box.SetComProperty(cpBaudRate);
    ASSERT_EQ(box.Items().size(), 16u);
    EXPECT_EQ(box.Items()[0], "Custom");
    EXPECT_EQ(box.Items()[10], "38400");
    EXPECT_EQ(box.Items()[15], "256000");
    EXPECT_EQ(box.ItemIndex(), 0) << "unbound box selects the first item";
    EXPECT_EQ(box.Text(), "Custom");
}

TEST(AutoApply, OnPutsThePickOnThePortAtOnceAndThenNotifies) {
    TComPort port;
    port.SetBaudRate(br38400);
    TComSelect box;
    box.SetComProperty(cpBaudRate);
    box.SetComPort(&port);
    box.AutoApply = true;
    TBaudRate seen = brCustom;
    box.OnChange = [&] { seen = port.BaudRate(); };
    box.Pick(7);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(seen, br9600);
}

struct TOtherCase {
    const char* Name;
    TComProperty Property;
    int Picked;
    std::function<int(TComPort&)> Read;
    int Expected;
};

class OtherBoxes : public testing::TestWithParam<TOtherCase> {};

TEST_P(OtherBoxes, PickAndApply) {
    const TOtherCase& c = GetParam();
    TComPort port;
    TComSelect box;
    box.SetComProperty(c.Property);
    box.SetComPort(&port);
    box.Pick(c.Picked);
    box.ApplySelection();
    EXPECT_EQ(c.Read(port), c.Expected);
}

const TOtherCase kOtherCases[] = {
    {"DataBitsSeven", cpDataBits, 2, [](TComPort& p) { return int(p.DataBits()); }, dbSeven},
    {"StopBitsTwo", cpStopBits, 2, [](TComPort& p) { return int(p.StopBits()); }, sbTwoStopBits},
    {"ParityEven", cpParity, 2, [](TComPort& p) { return int(p.Parity().Bits()); }, prEven},
    {"FlowSoftware", cpFlowControl, 1, [](TComPort& p) { return int(p.FlowControl().FlowControl()); }, fcSoftware},
};

INSTANTIATE_TEST_SUITE_P(Properties, OtherBoxes, testing::ValuesIn(kOtherCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(Binding, DestroyedPortUnbindsAndSelectsTheFirstItem) {
    auto port = std::make_unique<TComPort>();
    port->SetBaudRate(br38400);
    TComSelect box;
    box.SetComProperty(cpBaudRate);
    box.SetComPort(port.get());
    ASSERT_EQ(box.ItemIndex(), 10);
    port.reset();
    EXPECT_EQ(box.ComPort(), nullptr);
    EXPECT_EQ(box.ItemIndex(), 0);
    box.ApplySelection();  // must not touch the destroyed port (ASan run)
}

TEST(Binding, BoxDestroyedFirstLeavesNoListenerBehind) {
    TComPort port;
    {
        TComSelect box;
        box.SetComProperty(cpBaudRate);
        box.SetComPort(&port);
    }
    // The port's destruction at the end of scope must not call into the dead box (ASan run).
    SUCCEED();
}

TEST(Binding, RebindingMovesTheListener) {
    auto first = std::make_unique<TComPort>();
    TComPort second;
    second.SetBaudRate(br115200);
    TComSelect box;
    box.SetComProperty(cpBaudRate);
    box.SetComPort(first.get());
    box.SetComPort(&second);
    EXPECT_EQ(box.ItemIndex(), 13);
    first.reset();
    EXPECT_EQ(box.ComPort(), &second) << "the old port's end must not unbind the new one";
}

}  // namespace
}  // namespace tamberline
