#include "control/remote_core.h"

#include "app/startup.h"
#include "device/messages.h"
#include "device/time_editor.h"
#include "serial/delivery.h"

namespace tamberline {

namespace {

// A command the service could not take (or a panel that cannot reach it) is shown in the general error
// box, as the window's own errors are.
void Report(const std::string& text) {
    HandleApplicationError(std::runtime_error(text));
}

int Field(const std::string& clock, size_t at) {
    return (clock[at] - '0') * 10 + (clock[at + 1] - '0');
}

TCommand CommandOf(TCommandKind kind) {
    TCommand c;
    c.Kind = kind;
    return c;
}

bool ZoneDiffers(const TStatus& a, const TStatus& b) {
    return a.ZoneKnown != b.ZoneKnown || a.ZoneHours != b.ZoneHours || a.ZoneMinutes != b.ZoneMinutes ||
           a.ZoneSeconds != b.ZoneSeconds || a.ZonePlus != b.ZonePlus;
}

}  // namespace

TRemoteCore::TRemoteCore(TWindowCoreDeps deps, std::string endpoint, std::unique_ptr<TServiceLink> link)
    : d_(deps), endpoint_(std::move(endpoint)), link_(std::move(link)) {
    reattach_.OnTimer = [this] {
        if (!link_ && !closed_) TryReattach();
    };
}

TRemoteCore::~TRemoteCore() = default;

void TRemoteCore::Start() {
    TStartupContext c{d_.State, d_.View, d_.Port, d_.Dir, d_.Clock};
    ShowStartState(c);
    const auto now = std::chrono::steady_clock::now();
    reattach_.SetInterval(kReattachPeriodMs, now);
    reattach_.SetEnabled(true, now);
    if (link_) Use(std::move(link_));
}

void TRemoteCore::Close() {
    closed_ = true;
    reattach_.SetEnabled(false, std::chrono::steady_clock::now());
    link_.reset();  // the service keeps the device and its settings; the panel writes nothing
}

void TRemoteCore::Use(std::unique_ptr<TServiceLink> link) {
    link_ = std::move(link);
    Apply(link_->FirstStatus(), true);
    link_->Start({[this](const TStatus& s) { Apply(s, false); }, [this](const TResult& r) { Resulted(r); },
                  [](const TErrorNote& e) { Report(e.Text); }, [this] { Detach(); }});
}

void TRemoteCore::Detach() {
    if (!link_) return;
    // Let go of it outside its own report, which may be what brought us here.
    std::shared_ptr<TServiceLink> gone(std::move(link_));
    CurrentUiPoster()([gone] {});
    d_.View.ShowNoService();
    lossShown_ = true;
}

void TRemoteCore::TryReattach() {
    if (auto link = TServiceLink::Attach(endpoint_, std::chrono::milliseconds(kAttachWaitMs))) Use(std::move(link));
}

void TRemoteCore::Apply(const TStatus& s, bool whole) {
    ApplySettings(s, whole);
    if (whole || s.DateLine != last_.DateLine) d_.View.SetStatusText(0, s.DateLine);
    if (whole || s.LastSyncro != last_.LastSyncro) d_.View.SetStatusText(1, s.LastSyncro);
    ApplyDeviceState(s, whole);
    last_ = s;
}

// What the editors and dialogs change: after a refusal they go back to the service's values.
void TRemoteCore::ApplySettings(const TStatus& s, bool whole) {
    TSharedState& st = d_.State;
    TMainView& v = d_.View;
    if (whole || s.PortName != last_.PortName) d_.Port.SetPort(s.PortName);
    if (whole || s.BaudRateName != last_.BaudRateName) d_.Port.SetBaudRate(BaudRateFromName(s.BaudRateName));
    // Only what changed there: the period dialog steps this value in place while it is open.
    if (whole || s.SyncroHours != last_.SyncroHours) st.SyncroHours = s.SyncroHours;
    if (whole || s.SumWnt != last_.SumWnt) {
        st.SumWntIndex = s.SumWnt;  // first, so the selection below asks nothing
        v.SetSumWntItem(s.SumWnt);
    }
    if (s.ZoneKnown && (whole || ZoneDiffers(s, last_))) {
        st.ZoneHours = s.ZoneHours;
        st.ZoneMinutes = s.ZoneMinutes;
        st.ZoneSeconds = s.ZoneSeconds;
        st.ZonePlus = s.ZonePlus;
        ShowZone(st, v);
    }
}

// The same view calls as the standalone core makes for frames, ticks and the link watch.
void TRemoteCore::ApplyDeviceState(const TStatus& s, bool whole) {
    TSharedState& st = d_.State;
    TMainView& v = d_.View;
    const bool ticked = s.Tick != last_.Tick;
    if (whole || s.Clock != last_.Clock) {
        st.ClockHH = Field(s.Clock, 0), st.ClockMM = Field(s.Clock, 3), st.ClockSS = Field(s.Clock, 6);
        v.ShowClock(s.Clock.substr(0, 2), s.Clock.substr(3, 2), s.Clock.substr(6, 2));
    }
    if ((whole || ticked) && s.Tick > 0 && !s.LinkLost && st.FillNewTime) {
        FillNewTimeFromClock(st, v, v.TimeModeSelected());
        st.FillNewTime = 0;
    }
    // While a loss is shown, a device the service has not heard yet (no mode) counts as lost too.
    if (s.LinkLost || (s.Mode < 0 && lossShown_)) {
        if (whole || !lossShown_) v.ShowLinkLost();
        lossShown_ = true;
        return;
    }
    if (s.Mode >= 0 && (whole || ticked || s.Mode != last_.Mode)) {
        v.ApplyOperatingMode(s.Mode == 1);
        st.SputSync = static_cast<uint8_t>(s.Mode);
    }
    if (whole || lossShown_ || s.TraySync != (st.SputSyncShown == 1)) {
        v.UpdateTray(s.TraySync);
        st.SputSyncShown = s.TraySync ? 1 : 0;
    }
    lossShown_ = false;
}

void TRemoteCore::RequestStored() {
    TSharedState& st = d_.State;
    const uint8_t action = st.PendingAction;
    st.PendingAction = paNone;  // the service's slot holds it from now on
    if (!IsUserRequest(action)) return;
    TCommand c = CommandOf(TCommandKind::Action);
    c.Values = {action,         st.ZoneHours, st.ZoneMinutes,
                st.ZoneSeconds, st.ZonePlus,  st.NewHH,
                st.NewMM,       st.NewSS,     d_.View.TimeModeSelected()};
    Send(c);
}

void TRemoteCore::SumWntAccepted() {
    SendValue(TCommandKind::SumWnt, d_.State.SumWntIndex);
}

void TRemoteCore::PeriodAccepted() {
    SendValue(TCommandKind::Period, d_.State.SyncroHours);
}

void TRemoteCore::CorrectionAccepted() {
    SendValue(TCommandKind::Correction, d_.State.ZoneSeconds);
}

void TRemoteCore::SendValue(TCommandKind kind, int32_t value) {
    TCommand c = CommandOf(kind);
    c.Value = value;
    Send(c);
}

void TRemoteCore::PortAccepted() {
    TCommand c = CommandOf(TCommandKind::Port);
    c.PortName = d_.Port.Port();
    c.BaudRateName = BaudRateName(d_.Port.BaudRate());
    Send(c);
}

void TRemoteCore::Send(TCommand c) {
    if (link_) {
        try {
            link_->Send(std::move(c));
            return;
        } catch (const EControl&) {
            Detach();
        }
    }
    // Nothing was stored: what the editors changed goes back to the service's values.
    ApplySettings(last_, true);
    throw std::runtime_error(kNoServiceText);
}

void TRemoteCore::Resulted(const TResult& r) {
    if (r.Ok) return;
    // A refused command changed nothing there; the editors go back to what the service has.
    ApplySettings(last_, true);
    Report(r.Error);
}

}  // namespace tamberline
