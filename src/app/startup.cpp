#include "app/startup.h"

#include "app/inifile.h"
#include "clock/clock_texts.h"

namespace tamberline {

namespace {

// Hours of the time editor below 10 are shown with two blanks in front.
constexpr const char* kNewHHAtStart = "  0";

// The key has two meanings only. Any other value (a hand-edited file) reads as winter time, the
// default: taken as it comes it would match neither radio item, so start-up would ask the user
// to switch and the zone command would carry a choice the window does not show.
uint8_t WinterSummer(int32_t stored) {
    return stored == 1 ? 1 : 0;
}

void ReadSettings(TStartupContext& c) {
    TIniFile ini(SettingsPath(c.Dir));
    c.Port.SetPort(ini.ReadString(kSectionPort, "ComPort", "Com1"));
    c.Port.SetBaudRate(BaudRateFromName(ini.ReadString(kSectionPort, "BaudRate", "38400")));
    // The index first: the radio group's handler compares the new selection with it, so the
    // program's own selection below never counts as the user's switch.
    c.State.SumWntIndex = WinterSummer(ini.ReadInteger(kSectionCommon, "SumWnt", 0));
    c.View.SetSumWntItem(WinterSummer(ini.ReadInteger(kSectionCommon, "SumWnt", 0)));
    c.View.SetStatusText(1, LastSyncroText(ini.ReadString(kSectionCommon, "Last Syncro", kNoSyncroYet)));
    c.State.SyncroHours = static_cast<uint8_t>(ini.ReadInteger(kSectionCommon, "SyncroEveryHours", 1));
}

}  // namespace

void ConfigureComPort1(TCustomComPort& port) {
    port.SetPort("COM1");
    port.SetBaudRate(br38400);
    port.SetDataBits(dbEight);
    port.SetStopBits(sbOneStopBit);
    port.Parity().SetBits(prNone);
    port.FlowControl().SetFlowControl(fcNone);
    port.FlowControl().SetControlDTR(dtrDisable);
    port.Buffer().SetInputSize(10);
    port.Buffer().SetOutputSize(10);
    port.Timeouts().SetReadInterval(2);
    port.Timeouts().SetReadTotalMultiplier(0);
    port.Timeouts().SetReadTotalConstant(0);
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(0);
    port.Events = ComEventBit(evRxChar);
    port.SetSyncMethod(smWindowSync);
}

void ShowStartState(TStartupContext& c) {
    TSharedState& s = c.State;
    c.View.SetStatusText(0, DateLine(c.Clock));
    s.SputSync = 0;
    s.SputSyncShown = 0;
    s.FillNewTime = 1;
    s.ZonePlus = 1;
    s.ClockHH = s.ClockMM = s.ClockSS = 0;
    c.View.ShowClock("00", "00", "00");
    s.NewHH = s.NewMM = s.NewSS = 0;
    c.View.SetNewHHText(kNewHHAtStart);
    c.View.SetNewMMText("00");
    c.View.SetNewSSText("00");
}

void RunCreateSteps(TStartupContext& c, bool open) {
    ShowStartState(c);
    ConfigureComPort1(c.Port);
    ReadSettings(c);
    if (open && !c.Port.Connected()) c.Port.Open();
    c.State.PendingAction = paZoneQuery;
}

void RunCloseSteps(TSharedState& s, TCustomComPort& port, TCurrentDirectory& dir) {
    if (port.Connected()) port.Close();
    TIniFile ini(SettingsPath(dir));
    ini.WriteString(kSectionPort, "ComPort", port.Port());
    ini.WriteString(kSectionPort, "BaudRate", BaudRateName(port.BaudRate()));
    ini.WriteInteger(kSectionCommon, "SumWnt", s.SumWntIndex);
}

}  // namespace tamberline
