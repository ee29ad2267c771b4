// Settings, setter rules, the control block and the error texts, against a recording OS layer.
#include <gtest/gtest.h>

#include <functional>

#include "serial/comport.h"
#include "serial/fake_backend.h"

namespace tamberline {
namespace {

struct TRulesFixture {
    TFakeLog log;
    TComPort port{std::make_unique<TFakeBackend>(log)};
    TRulesFixture() { port.Events = 0; }
    void OpenFresh() {
        port.Open();
        log.Calls.clear();
    }
};

// The system's own configuration as the main window sets it up.
void ConfigureLikeTheProgram(TCustomComPort& p) {
    p.SetBaudRate(br38400);
    p.Buffer().SetInputSize(10);
    p.Buffer().SetOutputSize(10);
    p.Timeouts().SetReadInterval(2);
    p.Timeouts().SetReadTotalMultiplier(0);
    p.Timeouts().SetReadTotalConstant(0);
    p.Timeouts().SetWriteTotalMultiplier(0);
    p.Timeouts().SetWriteTotalConstant(0);
    p.SetSyncMethod(smWindowSync);
    p.Events = ComEventBit(evRxChar);
}

TEST(ComPortDcb, ProgramSettingsGiveTheDocumentedBlock) {
    TComPort port;
    ConfigureLikeTheProgram(port);
    TDcb want;
    want.DCBlength = 28;
    want.BaudRate = 38400;
    want.Flags = 1;
    want.XonLim = 2;
    want.XoffLim = 2;
    want.ByteSize = 8;
    want.XonChar = 17;
    want.XoffChar = 19;
    EXPECT_EQ(port.BuildDcb(), want);
}

TEST(ComPortDcb, FieldsFollowTheSettings) {
    struct Case {
        const char* name;
        std::function<void(TCustomComPort&)> change;
        std::function<bool(const TDcb&)> holds;
    };
    const Case cases[] = {
        {"custom rate changed", [](auto& p) { p.SetBaudRate(brCustom), p.SetCustomBaudRate(250000); },
         [](const TDcb& d) { return d.BaudRate == 250000; }},
        {"parity check", [](auto& p) { p.Parity().SetCheck(true); },
         [](const TDcb& d) { return d.Flags == 0x0003 && d.ErrorChar == 0; }},
        {"replace without check sets no error char",
         [](auto& p) { p.Parity().SetReplace(true), p.Parity().SetReplaceChar('?'); },
         [](const TDcb& d) { return d.Flags == 1 && d.ErrorChar == 0; }},
        {"replace with check",
         [](auto& p) { p.Parity().SetCheck(true), p.Parity().SetReplace(true), p.Parity().SetReplaceChar('?'); },
         [](const TDcb& d) { return d.Flags == 0x0403 && d.ErrorChar == '?'; }},
        {"hardware flow", [](auto& p) { p.FlowControl().SetFlowControl(fcHardware); },
         [](const TDcb& d) { return d.Flags == (0x0001 | 0x0004 | 0x2000); }},
        {"software flow", [](auto& p) { p.FlowControl().SetFlowControl(fcSoftware); },
         [](const TDcb& d) { return d.Flags == (0x0001 | 0x0100 | 0x0200); }},
        {"dtr enable, rts toggle",
         [](auto& p) { p.FlowControl().SetControlDTR(dtrEnable), p.FlowControl().SetControlRTS(rtsToggle); },
         [](const TDcb& d) { return d.Flags == (0x0001 | 0x0010 | 0x3000); }},
        {"dtr handshake, dsr flags",
         [](auto& p) {
             p.FlowControl().SetControlDTR(dtrHandshake), p.FlowControl().SetOutDSRFlow(true),
                 p.FlowControl().SetDSRSensitivity(true), p.FlowControl().SetTxContinueOnXoff(true);
         },
         [](const TDcb& d) { return d.Flags == (0x0001 | 0x0008 | 0x0020 | 0x0040 | 0x0080); }},
        {"discard null", [](auto& p) { p.SetDiscardNull(true); }, [](const TDcb& d) { return d.Flags == 0x0801; }},
        {"7 data bits, mark parity, 2 stop bits",
         [](auto& p) { p.SetDataBits(dbSeven), p.Parity().SetBits(prMark), p.SetStopBits(sbTwoStopBits); },
         [](const TDcb& d) { return d.ByteSize == 7 && d.Parity == 3 && d.StopBits == 2; }},
        {"5 data bits, 1.5 stop bits", [](auto& p) { p.SetDataBits(dbFive), p.SetStopBits(sbOne5StopBits); },
         [](const TDcb& d) { return d.ByteSize == 5 && d.StopBits == 1; }},
        {"xon limits from a 1024-byte queue", [](auto& p) { p.Buffer().SetInputSize(1024); },
         [](const TDcb& d) { return d.XonLim == 256 && d.XoffLim == 256; }},
        {"event and xon chars",
         [](auto& p) { p.SetEventChar('\n'), p.FlowControl().SetXonChar(1), p.FlowControl().SetXoffChar(2); },
         [](const TDcb& d) { return d.EvtChar == '\n' && d.XonChar == 1 && d.XoffChar == 2 && d.EofChar == 0; }},
    };
    for (const auto& c : cases) {
        TComPort port;
        c.change(port);
        EXPECT_TRUE(c.holds(port.BuildDcb())) << c.name;
    }
}

TEST(ComPortDcb, CharacterTimeCountsEveryBitOnTheLine) {
    struct Case {
        const char* name;
        TBaudRate rate;
        TDataBits data;
        TParityBits parity;
        TStopBits stop;
        int64_t wantNs;
    };
    const Case cases[] = {
        {"38400 8N1: 10 bits", br38400, dbEight, prNone, sbOneStopBit, 260416},
        {"9600 8E1: 11 bits", br9600, dbEight, prEven, sbOneStopBit, 1145833},
        {"1200 7N2: 10 bits", br1200, dbSeven, prNone, sbTwoStopBits, 8333333},
        {"110 5N1.5: 7.5 bits", br110, dbFive, prNone, sbOne5StopBits, 68181818},
    };
    for (const auto& c : cases) {
        TComPort port;
        port.SetBaudRate(c.rate);
        port.SetDataBits(c.data);
        port.Parity().SetBits(c.parity);
        port.SetStopBits(c.stop);
        EXPECT_EQ(port.CharacterTime().count(), c.wantNs) << c.name;
    }
}

TEST(ComPortFlowControl, CombinedView) {
    struct Case {
        const char* name;
        std::function<void(TComFlowControl&)> change;
        TFlowControl want;
    };
    const Case cases[] = {
        {"defaults", [](auto&) {}, fcNone},
        {"hardware then none clears", [](auto& f) { f.SetFlowControl(fcHardware), f.SetFlowControl(fcNone); }, fcNone},
        {"custom keeps fields", [](auto& f) { f.SetFlowControl(fcHardware), f.SetFlowControl(fcCustom); }, fcHardware},
        {"xon out only", [](auto& f) { f.SetXonXoffOut(true); }, fcCustom},
        {"rts enable", [](auto& f) { f.SetControlRTS(rtsEnable); }, fcCustom},
        {"dtr alone is not flow control", [](auto& f) { f.SetControlDTR(dtrEnable); }, fcNone},
    };
    for (const auto& c : cases) {
        TComPort port;
        c.change(port.FlowControl());
        EXPECT_EQ(port.FlowControl().FlowControl(), c.want) << c.name;
    }
}

TEST(ComPortSetters, WhichGroupReachesAnOpenPort) {
    struct Case {
        const char* name;
        std::function<void(TCustomComPort&)> change;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"equal baud rate does nothing", [](auto& p) { p.SetBaudRate(br9600); }, {}},
        {"baud rate", [](auto& p) { p.SetBaudRate(br38400); }, {"line"}},
        {"parity bits", [](auto& p) { p.Parity().SetBits(prEven); }, {"line"}},
        {"equal parity bits", [](auto& p) { p.Parity().SetBits(prNone); }, {}},
        {"xon char", [](auto& p) { p.FlowControl().SetXonChar(1); }, {"line"}},
        {"combined flow control re-applies even unchanged",
         [](auto& p) { p.FlowControl().SetFlowControl(fcNone); },
         {"line"}},
        {"read interval", [](auto& p) { p.Timeouts().SetReadInterval(2); }, {"timeouts"}},
        {"equal read interval", [](auto& p) { p.Timeouts().SetReadInterval(-1); }, {}},
        {"input size", [](auto& p) { p.Buffer().SetInputSize(10); }, {"queues"}},
        {"whole timeouts object", [](auto& p) { p.SetTimeouts(TComTimeouts()); }, {"timeouts"}},
        {"whole buffer object", [](auto& p) { p.SetBuffer(TComBuffer()); }, {"queues"}},
        {"events are stored only", [](auto& p) { p.Events = ComEventBit(evRxChar); }, {}},
        {"same port name does nothing", [](auto& p) { p.SetPort("COM1"); }, {}},
        {"port name differing in case reopens",
         [](auto& p) { p.SetPort("Com1"); },
         {"purge", "close", "open " + PlatformDevicePath("Com1"), "queues", "line", "timeouts"}},
        {"port path is taken as given",
         [](auto& p) { p.SetPort("/dev/pts/9"); },
         {"purge", "close", "open /dev/pts/9", "queues", "line", "timeouts"}},
        {"a relative path lives under /dev, not in the current directory",
         [](auto& p) { p.SetPort("pts/1"); },
         {"purge", "close", "open " + PlatformDevicePath("pts/1"), "queues", "line", "timeouts"}},
    };
    for (const auto& c : cases) {
        TRulesFixture f;
        f.OpenFresh();
        c.change(f.port);
        EXPECT_EQ(f.log.Calls, c.calls) << c.name;
    }
}

TEST(ComPortSetters, CopiedSettingsAreDetachedValues) {
    TRulesFixture f;
    f.OpenFresh();
    TComParity parity = f.port.Parity();
    TComFlowControl flow = f.port.FlowControl();
    TComTimeouts timeouts = f.port.Timeouts();
    TComBuffer buffer = f.port.Buffer();
    parity.SetBits(prOdd);
    flow.SetFlowControl(fcHardware);
    timeouts.SetReadInterval(5);
    buffer.SetInputSize(64);
    EXPECT_TRUE(f.log.Calls.empty()) << "a copy reached the port's driver";
    EXPECT_EQ(f.port.Parity().Bits(), prNone);
    f.port.SetParity(parity);
    f.port.SetFlowControl(flow);
    EXPECT_EQ(f.port.Parity().Bits(), prOdd);
    EXPECT_EQ(f.port.FlowControl().FlowControl(), fcHardware);
    EXPECT_EQ(f.log.Calls, (std::vector<std::string>{"line", "line"}));
}

TEST(ComPortSetters, ClosedPortOnlyStores) {
    TRulesFixture f;
    f.port.SetBaudRate(br115200);
    f.port.Timeouts().SetReadInterval(2);
    f.port.Buffer().SetInputSize(10);
    f.port.SetPort("ttyUSB3");
    EXPECT_TRUE(f.log.Calls.empty());
    f.port.Open();
    EXPECT_EQ(f.log.Calls,
              (std::vector<std::string>{"open " + PlatformDevicePath("ttyUSB3"), "queues", "line", "timeouts"}));
    EXPECT_EQ(f.log.LastDcb.BaudRate, 115200u);
    EXPECT_EQ(f.log.LastTimeouts.ReadIntervalTimeout, 2);
}

TEST(ComPortSetters, OddBufferSizesAreStoredEven) {
    struct Case {
        int32_t set, stored;
    };
    for (const Case c : {Case{11, 10}, Case{10, 10}, Case{1, 0}, Case{-3, -3}}) {
        TComPort port;
        port.Buffer().SetInputSize(c.set);
        port.Buffer().SetOutputSize(c.set);
        EXPECT_EQ(port.Buffer().InputSize(), c.stored) << c.set;
        EXPECT_EQ(port.Buffer().OutputSize(), c.stored) << c.set;
    }
}

TEST(ComPortSetters, SyncMethodWhileOpen) {
    TRulesFixture f;
    f.port.SetSyncMethod(smWindowSync);
    f.OpenFresh();
    EXPECT_NO_THROW(f.port.SetSyncMethod(smWindowSync)) << "same value raises nothing";
    try {
        f.port.SetSyncMethod(smNone);
        FAIL() << "no error while open";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code, 14);
        EXPECT_EQ(e.WinCode, -1);
        EXPECT_STREQ(e.what(), "Cannot set property while connected");
    }
    EXPECT_EQ(f.port.SyncMethod(), smWindowSync);
    f.port.Close();
    f.port.SetSyncMethod(smNone);
    EXPECT_EQ(f.port.SyncMethod(), smNone);
}

TEST(ComPortUpdate, BatchAppliesOnceAtTheEnd) {
    TRulesFixture f;
    f.OpenFresh();
    f.port.BeginUpdate();
    f.port.SetPort("ttyS1");
    f.port.SetBaudRate(br115200);
    EXPECT_EQ(f.log.Calls, (std::vector<std::string>{"purge", "close", "open " + PlatformDevicePath("ttyS1")}))
        << "reopened, nothing applied";
    f.port.EndUpdate();
    EXPECT_EQ(f.log.Count("open"), 1);
    EXPECT_EQ(f.log.Count("line"), 1);
    EXPECT_EQ(f.log.Count("queues"), 1);
    EXPECT_EQ(f.log.Count("timeouts"), 1);
    EXPECT_EQ(f.log.LastDcb.BaudRate, 115200u);
}

TEST(ComPortUpdate, NestingAndUnmatchedEnd) {
    TRulesFixture f;
    f.OpenFresh();
    f.port.EndUpdate();  // unmatched: nothing, and the counter does not go negative
    EXPECT_EQ(f.port.UpdateCount(), 0);
    EXPECT_TRUE(f.log.Calls.empty());
    f.port.BeginUpdate();
    f.port.BeginUpdate();
    f.port.SetBaudRate(br57600);
    f.port.EndUpdate();
    EXPECT_EQ(f.log.Count("line"), 0) << "inner end applies nothing";
    f.port.EndUpdate();
    EXPECT_EQ(f.log.Count("line"), 1);
}

TEST(ComPortOpenClose, FailuresAndStates) {
    struct Case {
        const char* name;
        std::string failing;
        int code;
        bool connectedAfter;
    };
    const Case cases[] = {
        {"device does not open", "open", 1, false},
        {"queue sizes refused", "queues", 9, false},
        {"line settings refused", "line", 7, false},
        {"timeouts refused", "timeouts", 8, false},
    };
    for (const auto& c : cases) {
        TRulesFixture f;
        f.log.FailWith[c.failing] = 22;
        try {
            f.port.Open();
            ADD_FAILURE() << c.name << ": no error";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.Code, c.code) << c.name;
            EXPECT_EQ(e.WinCode, 22) << c.name;
        }
        EXPECT_EQ(f.port.Connected(), c.connectedAfter) << c.name;
        EXPECT_EQ(f.log.Count("open"), f.log.Count("close") + (c.failing == "open" ? 1 : 0))
            << c.name << ": device released";
    }
}

TEST(ComPortOpenClose, PurgeFailureKeepsAPresentDeviceOpenButReleasesAVanishedOne) {
    struct Case {
        const char* name;
        int error;
        bool throws;
    };
    // System codes of either kind, whichever numbering this system's backend uses.
    auto first = [](bool gone) {
        for (int e : {5, 22, 31, 87, 995, 1167})
            if (IsDeviceGoneError(e) == gone) return e;
        return 0;
    };
    for (const Case c : {Case{"device refuses", first(false), true}, Case{"device gone", first(true), false}}) {
        TRulesFixture f;
        f.OpenFresh();
        f.log.FailWith["purge"] = c.error;
        if (c.throws) {
            try {
                f.port.Close();
                ADD_FAILURE() << c.name;
            } catch (const EComPort& e) {
                EXPECT_EQ(e.Code, 5) << c.name;
            }
        } else {
            EXPECT_NO_THROW(f.port.Close()) << c.name;
        }
        EXPECT_EQ(f.port.Connected(), c.throws) << c.name;
    }
}

TEST(ComPortOpenClose, HandlerOrder) {
    TRulesFixture f;
    std::vector<std::string> seen;
    f.port.OnBeforeOpen = [&](auto&) { seen.push_back("before open"); };
    f.port.OnAfterOpen = [&](auto&) { seen.push_back("after open"); };
    f.port.OnBeforeClose = [&](auto&) { seen.push_back("before close"); };
    f.port.OnAfterClose = [&](auto&) { seen.push_back("after close"); };
    f.port.OnCTSChange = [&](auto&, bool on) { seen.push_back(on ? "cts on" : "cts off"); };
    f.port.Open();
    f.port.Open();
    f.port.Close();
    f.port.Close();
    EXPECT_EQ(seen, (std::vector<std::string>{"before open", "after open", "cts off", "cts off", "before close",
                                              "after close"}));
    EXPECT_EQ(f.log.Count("modem"), 1) << "lines read at open because a line handler is set";
}

TEST(ComPortOpenClose, ModemLinesNotReadWithoutListeners) {
    TRulesFixture f;
    f.log.FailWith["modem"] = ENOTTY;
    EXPECT_NO_THROW(f.port.Open());
    EXPECT_EQ(f.log.Count("modem"), 0);
}

TEST(ComPortOpenClose, DestroyListenersAreTold) {
    int told = 0;
    {
        TComPort port;
        port.AddDestroyListener(&told, [&] { ++told; });
        port.AddDestroyListener(&told, [&] { told += 10; });  // same key replaces
        int other = 0;
        port.AddDestroyListener(&other, [&] { told += 100; });
        port.RemoveDestroyListener(&other);
    }
    EXPECT_EQ(told, 10);
}

TEST(ComPortErrors, Messages) {
    struct Case {
        int code, win;
        const char* text;
    };
    const Case cases[] = {
        {1, 2, "Unable to open com port (win error code: 2)"},
        {1, -1, "Unable to open com port"},
        {2, 5, "WriteFile function failed (win error code: 5)"},
        {5, 22, "PurgeComm function failed (win error code: 22)"},
        {7, 22, "SetCommState function failed (win error code: 22)"},
        {8, 0, "SetCommTimeouts failed (win error code: 0)"},
        {10, 9, "ClearCommError function failed (win error code: 9)"},
        {11, 25, "GetCommModemStatus function failed (win error code: 25)"},
        {23, 2, "Registry error (win error code: 2)"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(EComPort(c.code, c.win).what(), c.text);
}

TEST(ComPortBaudNames, BothDirections) {
    struct Case {
        const char* text;
        TBaudRate rate;
    };
    // Every name both ways is the loop below; here the names that are not in the list.
    const Case fromName[] = {{"CUSTOM", brCustom}, {"", br9600}, {"38400 ", br9600}, {"9601", br9600}};
    for (const auto& c : fromName)
        EXPECT_EQ(BaudRateFromName(c.text), c.rate) << '"' << c.text << '"';
    const char* names[] = {"Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
                           "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(BaudRateName(static_cast<TBaudRate>(i)), names[i]);
        EXPECT_EQ(BaudRateFromName(names[i]), static_cast<TBaudRate>(i));
    }
}

}  // namespace
}  // namespace tamberline
