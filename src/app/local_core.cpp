#include "app/local_core.h"

#include "app/inifile.h"
#include "app/startup.h"
#include "serial/delivery.h"

namespace tamberline {

namespace {

// The timers' expiries come through the same poster as the port's reports: an error there ends that
// step and goes to the general error box, as every handler's does.
template <class F>
void ReportErrors(F&& step) {
    try {
        step();
    } catch (const std::exception& e) {
        HandleApplicationError(e);
    }
}

}  // namespace

TLocalCore::TLocalCore(TWindowCoreDeps deps)
    : d_(deps), core_({d_.State, d_.View, d_.Port, timer1_, linkTimer_, d_.Clock, [this](const std::string& stamp) {
                           TIniFile(SettingsPath(d_.Dir)).WriteString(kSectionCommon, "Last Syncro", stamp);
                       }}) {
    d_.Port.OnRxChar = [this](TCustomComPort& sender, int count) { core_.ComPort1RxChar(sender, count); };
    timer1_.OnTimer = [this] { ReportErrors([&] { core_.Timer1Timer(); }); };
    linkTimer_.OnTimer = [this] { ReportErrors([&] { core_.LinkTimerTimer(); }); };
}

TLocalCore::~TLocalCore() {
    // The event thread may still deliver until the port goes; nothing may reach this core then.
    d_.Port.OnRxChar = nullptr;
}

void TLocalCore::Start() {
    TStartupContext c{d_.State, d_.View, d_.Port, d_.Dir, d_.Clock};
    try {
        RunCreateSteps(c);
    } catch (const std::exception&) {
        // The port stays closed for now: the watch shows the loss and opens it once it can, which then
        // goes on as a start would (the zone query first).
        core_.StartLinkWatch();
        throw;
    }
    core_.StartLinkWatch();
}

void TLocalCore::Close() {
    if (closed_) return;
    closed_ = true;
    core_.StopLinkWatch();  // nothing may reopen the port behind the close steps
    RunCloseSteps(d_.State, d_.Port, d_.Dir);
}

void TLocalCore::SumWntAccepted() {
    WriteCommon("SumWnt", d_.State.SumWntIndex);
}

void TLocalCore::PeriodAccepted() {
    WriteCommon("SyncroEveryHours", d_.State.SyncroHours);
}

void TLocalCore::WriteCommon(const char* key, int value) {
    TIniFile(SettingsPath(d_.Dir)).WriteInteger(kSectionCommon, key, value);
}

std::unique_ptr<TWindowCore> MakeLocalCore(TWindowCoreDeps deps) {
    return std::make_unique<TLocalCore>(deps);
}

}  // namespace tamberline
