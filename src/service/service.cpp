#include "service/service.h"

#include "app/error_text.h"
#include "app/inifile.h"
#include "app/startup.h"
#include "device/zone_editor.h"
#include "service/host_checks.h"

namespace tamberline {

namespace {

const char* const kChronyKeepsTheClock = "Служба работает в режиме chrony: часы компьютера ведёт chronyd.";

}  // namespace

TService::TService(TServiceOs os, TLogLine log)
    : os_(os),
      log_(std::move(log)),
      clock_(os_.Clock),
      view_(log_),
      core_({state_, view_, port_, timer1_, linkTimer_, clock_,
             [this](const std::string& stamp) {
                 TIniFile(SettingsPath(os_.Dir)).WriteString(kSectionCommon, "Last Syncro", stamp);
             }}),
      control_(*this, log_) {}

TService::~TService() {
    endRequests_.reset();
    // The event thread must stop before the units it delivers to are gone; the port itself is released
    // by its own destructor, which a refused close cannot stop.
    port_.OnRxChar = nullptr;
    SetUiPoster(nullptr);
    SetApplicationErrorHandler(nullptr);
}

int TService::Run(std::function<void()> serving) {
    SetUiPoster(loop_.Poster());
    SetApplicationErrorHandler([this](const std::exception& e) {
        const std::string text = GeneralErrorText(e.what());
        log_(kLogError + text);
        control_.Broadcast(text);  // the panels show it as the window shows its own
    });
    // Listening before the port opens: a request that comes during start-up still ends us cleanly.
    const auto listen = os_.ListenForEnd ? os_.ListenForEnd : ListenForEndRequests;
    endRequests_ = listen([this] { End(); });
    if (!Start()) return exitCode_;
    if (serving) serving();
    // An error escaping a step goes to the log and the panels, and the service goes on with the next,
    // as the window's message loop does.
    for (;;) {
        try {
            loop_.Run();
            return exitCode_;
        } catch (const std::exception& e) {
            HandleApplicationError(e);
            Stepped();
        }
    }
}

void TService::RequestEnd() {
    loop_.Post([this] { End(); });
}

bool TService::Start() {
    const std::string path = SettingsPath(os_.Dir);
    log_("tamberlined 1.05 запускается, файл настроек " + path);
    try {
        settings_ = ReadServiceSettings(path);
        if (settings_.Mode == TServiceMode::Chrony) {
            socket_ = OpenChronySocket(settings_.ChronySocket);
            feed_ = std::make_unique<TChronyFeed>(*socket_, os_.Realtime, settings_.ChronySocket, log_);
        }
    } catch (const std::exception& e) {
        log_(kLogError + GeneralErrorText(e.what()));
        exitCode_ = 2;
        return false;
    }
    for (const std::string& other : OtherTimeServices(feed_ != nullptr))
        log_(kLogWarning + other + " тоже ставит часы компьютера; две службы времени будут спорить (см. README)");

    port_.OnRxChar = [this](TCustomComPort& sender, int count) {
        core_.ComPort1RxChar(sender, count);
        Stepped();
    };
    port_.OnAfterOpen = [this](TCustomComPort& p) {
        log_("порт " + p.Port() + " открыт, " + BaudRateName(p.BaudRate()) + " бит/с");
    };
    timer1_.OnTimer = [this] { OnTick(); };
    linkTimer_.OnTimer = [this] {
        control_.Check(std::chrono::steady_clock::now());
        core_.LinkTimerTimer();
        Stepped();
    };
    core_.SetFrameDelay(std::chrono::milliseconds(settings_.OffsetMs));

    // Until a port is chosen (by a panel, or in the settings file) the service waits quietly.
    const bool portChosen = !TIniFile(path).ReadString(kSectionPort, "ComPort", "").empty();
    TStartupContext c{state_, view_, port_, os_.Dir, clock_};
    try {
        RunCreateSteps(c, portChosen);
    } catch (const EComPort& e) {
        // Unlike a window, an unattended service waits for its device (an adapter plugged in after
        // boot) and opens it when it comes.
        log_(kLogError + GeneralErrorText(e.what()) + "; порт " + port_.Port() + " ищется снова каждую секунду");
    } catch (const std::exception& e) {
        log_(kLogError + GeneralErrorText(e.what()));
        exitCode_ = 1;
        return false;
    }
    if (!portChosen) {
        port_.SetPort("");
        log_("порт не выбран: служба ждёт, пока его выберут в окне программы или в файле настроек");
    }
    if (feed_) {
        clock_.Sets = false;  // the clock is chronyd's
        state_.SyncroHours = 0;
        log_("режим chrony: по одному замеру на секунду прибора в " + settings_.ChronySocket);
    } else {
        log_("режим step: часы компьютера ставятся каждые " + std::to_string(state_.SyncroHours) + " ч");
        if (!os_.ClockRights)
            log_(kLogWarning + "у службы нет права ставить часы компьютера: она следит за прибором, но часы не ставит");
    }
    StartControl();
    core_.StartLinkWatch();
    view_.StartupDone();
    return true;
}

void TService::StartControl() {
    const std::string endpoint = ControlEndpoint();
    try {
        control_.Listen(endpoint);
        log_("панели подключаются через " + endpoint);
    } catch (const EControl& e) {
        // The device and the clock come first: without panels the service still does its work.
        log_(kLogError + e.what() + "; служба работает без панелей");
    }
}

void TService::OnTick() {
    core_.Timer1Timer();
    if (feed_) feed_->Tick(state_, !core_.Link().Lost() && !core_.NewerFrameWaits(), timer1_.FiredDue());
    Stepped();
}

TStatus TService::Status() {
    TStatus s;
    s.Tick = view_.Ticks();
    s.Clock = view_.Clock();
    s.Mode = view_.Mode();
    s.TraySync = state_.SputSyncShown == 1;
    s.LinkLost = core_.Link().Lost();
    s.ZoneKnown = view_.ZoneShown();
    s.ZoneHours = state_.ZoneHours;
    s.ZoneMinutes = state_.ZoneMinutes;
    s.ZoneSeconds = state_.ZoneSeconds;
    s.ZonePlus = state_.ZonePlus;
    s.SumWnt = state_.SumWntIndex;
    s.SyncroHours = state_.SyncroHours;
    s.DateLine = view_.StatusText(0);
    s.LastSyncro = view_.StatusText(1);
    s.PortName = port_.Port();
    s.BaudRateName = BaudRateName(port_.BaudRate());
    return s;
}

void TService::Execute(const TCommand& c) {
    switch (c.Kind) {
        case TCommandKind::Hello:
            return;
        case TCommandKind::Action:
            return ExecuteAction(c.Values);
        case TCommandKind::SumWnt:
            state_.SumWntIndex = static_cast<uint8_t>(c.Value);
            view_.SetSumWntItem(c.Value);
            WriteCommon("SumWnt", c.Value);
            log_(c.Value == 1 ? "выбрано летнее время" : "выбрано зимнее время");
            return;
        case TCommandKind::Period:
            if (feed_) throw std::runtime_error(kChronyKeepsTheClock);
            state_.SyncroHours = static_cast<uint8_t>(c.Value);
            WriteCommon("SyncroEveryHours", c.Value);
            log_("часы компьютера ставятся каждые " + std::to_string(c.Value) + " ч");
            return;
        case TCommandKind::Correction:
            TZoneEditor(state_, view_).ApplyReceiverCorrection(c.Value);
            return;
        case TCommandKind::Port:
            return ChangePort(c.PortName, c.BaudRateName);
    }
}

void TService::ExecuteAction(const TActionValues& a) {
    if (feed_ && a.Action == paSyncNow) throw std::runtime_error(kChronyKeepsTheClock);
    if (a.Action == paSendZone) {
        state_.ZoneHours = a.ZoneHours;
        state_.ZoneMinutes = a.ZoneMinutes;
        state_.ZoneSeconds = a.ZoneSeconds;
        state_.ZonePlus = a.ZonePlus;
    } else if (a.Action == paSendTime) {
        state_.NewHH = a.NewHH, state_.NewMM = a.NewMM, state_.NewSS = a.NewSS;
        view_.SetTimeModeSelected(a.TimeMode);
    }
    state_.PendingAction = a.Action;
    core_.RequestStored();
}

void TService::ChangePort(const std::string& name, const std::string& baudRate) {
    CheckSerialDeviceName(name);
    if (port_.Connected()) port_.Close();
    port_.SetPort(name);
    port_.SetBaudRate(BaudRateFromName(baudRate));
    TIniFile ini(SettingsPath(os_.Dir));
    ini.WriteString(kSectionPort, "ComPort", name);
    ini.WriteString(kSectionPort, "BaudRate", baudRate);
    log_("выбран порт " + name + ", " + baudRate + " бит/с");
    // A port that does not open now is looked for each second; the panel hears why it did not.
    port_.Open();
    state_.PendingAction = paZoneQuery;  // another device may keep another zone
}

void TService::WriteCommon(const char* key, int value) {
    TIniFile(SettingsPath(os_.Dir)).WriteInteger(kSectionCommon, key, value);
}

void TService::End() {
    if (ended_) return;
    ended_ = true;
    core_.StopLinkWatch();  // nothing may reopen the port behind the close steps
    try {
        RunCloseSteps(state_, port_, os_.Dir);
    } catch (const std::exception& e) {
        log_(kLogError + GeneralErrorText(e.what()));
        exitCode_ = 1;
    }
    log_("служба остановлена");
    loop_.Quit();
}

}  // namespace tamberline
