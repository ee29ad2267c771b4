// Port and baud-rate selection: item lists, what a box remembers, and what applying does
// to a port that is never opened.
#include "serial/comselect.h"

#include <gtest/gtest.h>

#include <memory>

#include "serial/fake_backend.h"

namespace tamberline {
namespace {

// A port list as the machine would give it (already sorted; the order is the lister's job).
std::function<void(std::vector<std::string>&)> ListOf(std::vector<std::string> names) {
    return [names](std::vector<std::string>& v) { v = names; };
}

// A box on `property` bound to `port`.
void Bind(TComSelect& box, TComProperty property, TComPort* port) {
    box.SetComProperty(property);
    box.SetComPort(port);
}

struct TPortCase {
    const char* Name;
    std::vector<std::string> Devices;
    const char* PortName;  // the port's current name
    int Index;
    const char* Applied;  // port name after ApplySelection
};

// Names as each system lists its ports. Windows ignores the case of device names, so there another case
// is the same device and keeps its spelling; on POSIX it is another device, which the box shows as listed.
#ifdef _WIN32
#define DEV ""
const TPortCase kSpellingCases[] = {
    {"other case is the same device and keeps its spelling", {"COM1", "COM2"}, "Com1", 0, "Com1"},
    {"device path finds its name and keeps its spelling", {"COM1", "COM3"}, "\\\\.\\COM3", 1, "\\\\.\\COM3"},
};
const char* const kSecondRespelled = "com3";  // another spelling of the second of kTwoDevices
#else
#define DEV "/dev/"
const TPortCase kSpellingCases[] = {
    {"other case shown and applied as listed", {"/dev/COM1", "/dev/COM2"}, "/dev/Com1", 0, "/dev/COM1"},
    {"bare name finds its device and keeps its spelling", {"/dev/ttyS0", "/dev/ttyUSB0"}, "ttyUSB0", 1, "ttyUSB0"},
};
const char* const kSecondRespelled = "COM3";
#endif
const std::vector<std::string> kTwoDevices = {DEV "COM1", DEV "COM3"};
const TPortCase kPortCases[] = {
    {"listed name", {DEV "COM1", DEV "COM10", DEV "COM2"}, DEV "COM2", 2, DEV "COM2"},
    // Nothing remembered: applying must not replace a working name by an empty one.
    {"unlisted name shows nothing and is kept", {DEV "COM1"}, DEV "COM7", -1, DEV "COM7"},
    {"no devices: empty box keeps the name", {}, "COM1", -1, "COM1"},
};

TEST(PortBox, ListsSelectsAndApplies) {
    std::vector<TPortCase> cases(std::begin(kPortCases), std::end(kPortCases));
    cases.insert(cases.end(), std::begin(kSpellingCases), std::end(kSpellingCases));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TComPort port;
        port.SetPort(c.PortName);
        TComSelect box;
        box.PortLister = ListOf(c.Devices);
        Bind(box, cpPort, &port);
        EXPECT_EQ(box.Items(), c.Devices);
        EXPECT_EQ(box.ItemIndex(), c.Index);
        box.ApplySelection();
        EXPECT_EQ(port.Port(), c.Applied);
    }
}

// OK with the selection the dialog opened with must not close and reopen a working port.
TEST(PortBox, SameDeviceUnderAnotherSpellingReopensNothing) {
    TFakeLog log;
    TComPort port{std::make_unique<TFakeBackend>(log)};
    port.Events = 0;
    port.SetPort(kSecondRespelled);
    port.Open();
    TComSelect box;
    box.PortLister = ListOf(kTwoDevices);
    Bind(box, cpPort, &port);
    EXPECT_EQ(box.ItemIndex(), 1);
    box.ApplySelection();
    EXPECT_EQ(log.Count("open"), 1);
    EXPECT_EQ(log.Count("close"), 0);
    EXPECT_EQ(port.Port(), kSecondRespelled);
    box.Pick(0);  // another device does reopen
    box.ApplySelection();
    EXPECT_EQ(log.Count("close"), 1);
    EXPECT_EQ(log.Count("open " + PlatformDevicePath(kTwoDevices[0])), 1);
}

TEST(PortBox, UnreadableListRaisesAndLeavesNoHalfReadNames) {
    TComSelect box;
    box.PortLister = ListOf({"/dev/ttyS9"});
    box.SetComProperty(cpPort);
    ASSERT_EQ(box.Items().size(), 1u);
    box.PortLister = [](std::vector<std::string>& v) {
        v = {"/dev/ttyS0"};
        throw EComPort(23, 2);
    };
    try {
        box.SetComProperty(cpPort);
        FAIL() << "no error raised";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code, 23);
    }
    EXPECT_TRUE(box.Items().empty());
    EXPECT_EQ(box.ItemIndex(), -1);
}

TEST(PortBox, RemembersOnlyPicksAndAppliesTheLast) {
    TComPort port;
    port.SetPort("/dev/ttyACM0");  // not listed
    TComSelect box;
    box.PortLister = ListOf({"/dev/ttyS0", "/dev/ttyS1"});
    Bind(box, cpPort, &port);
    box.SetItemIndex(0);  // by program: remembers nothing
    box.ApplySelection();
    EXPECT_EQ(port.Port(), "/dev/ttyACM0");
    box.Pick(1);
    EXPECT_EQ(port.Port(), "/dev/ttyACM0") << "AutoApply is off";
    box.ApplySelection();
    EXPECT_EQ(port.Port(), "/dev/ttyS1");
}

TEST(RateBox, SelectsAndApplies) {
    const struct {
        const char* Name;
        int Picked;           // -1: no pick
        const char* TextSet;  // nullptr: Text not set
        int IndexAfter;
        TBaudRate RateAfterApply;  // the port is at 38400 until then
    } cases[] = {
        {"shows the rate of the port", -1, nullptr, 10, br38400},
        {"pick applies only when asked", 13, nullptr, 13, br115200},
        {"text selects without remembering", -1, "9600", 7, br38400},
        {"text naming no rate changes nothing", -1, "12345", 10, br38400},
        {"text after a pick keeps the pick", 13, "9600", 7, br115200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TComPort port;
        port.SetBaudRate(br38400);
        TComSelect box;
        Bind(box, cpBaudRate, &port);
        if (c.Picked >= 0) box.Pick(c.Picked);
        if (c.TextSet) box.SetText(c.TextSet);
        EXPECT_EQ(box.ItemIndex(), c.IndexAfter);
        EXPECT_EQ(port.BaudRate(), br38400);
        box.ApplySelection();
        EXPECT_EQ(port.BaudRate(), c.RateAfterApply);
    }
}

TEST(RateBox, AutoApplyPutsThePickOnThePortBeforeNotifying) {
    TComPort port;
    port.SetBaudRate(br38400);
    TComSelect box;
    Bind(box, cpBaudRate, &port);
    box.AutoApply = true;
    TBaudRate seen = brCustom;
    box.OnChange = [&] { seen = port.BaudRate(); };
    box.Pick(7);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(seen, br9600);
}

TEST(OtherBoxes, PickAndApply) {
    const struct {
        TComProperty Property;
        int Picked;
        int (*Read)(TComPort&);
        int Expected;
    } cases[] = {
        {cpDataBits, 2, [](TComPort& p) { return int(p.DataBits()); }, dbSeven},
        {cpStopBits, 2, [](TComPort& p) { return int(p.StopBits()); }, sbTwoStopBits},
        {cpParity, 2, [](TComPort& p) { return int(p.Parity().Bits()); }, prEven},
        {cpFlowControl, 1, [](TComPort& p) { return int(p.FlowControl().FlowControl()); }, fcSoftware},
    };
    for (const auto& c : cases) {
        TComPort port;
        TComSelect box;
        Bind(box, c.Property, &port);
        box.Pick(c.Picked);
        box.ApplySelection();
        EXPECT_EQ(c.Read(port), c.Expected) << "property " << c.Property;
    }
}

// Binding lifetimes; the ASan run catches a call into a destroyed port or box.
TEST(Binding, DestroyedPortUnbindsAndSelectsTheFirstItem) {
    auto port = std::make_unique<TComPort>();
    port->SetBaudRate(br38400);
    TComSelect box;
    Bind(box, cpBaudRate, port.get());
    ASSERT_EQ(box.ItemIndex(), 10);
    port.reset();
    EXPECT_EQ(box.ComPort(), nullptr);
    EXPECT_EQ(box.ItemIndex(), 0);
    box.ApplySelection();  // must not touch the destroyed port
}

TEST(Binding, BoxDestroyedFirstLeavesNoListenerBehind) {
    TComPort port;
    {
        TComSelect box;
        Bind(box, cpBaudRate, &port);
    }
    // The port's destruction at the end of scope must not call into the dead box.
}

TEST(Binding, RebindingMovesTheListener) {
    auto first = std::make_unique<TComPort>();
    TComPort second;
    second.SetBaudRate(br115200);
    TComSelect box;
    Bind(box, cpBaudRate, first.get());
    box.SetComPort(&second);
    EXPECT_EQ(box.ItemIndex(), 13);
    first.reset();
    EXPECT_EQ(box.ComPort(), &second) << "the old port's end must not unbind the new one";
}

}  // namespace
}  // namespace tamberline
