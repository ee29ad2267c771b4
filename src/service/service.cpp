#include "service/service.h"

#include "app/error_text.h"
#include "app/inifile.h"
#include "app/startup.h"

namespace tamberline {

TService::TService(TServiceOs os, TLogLine log)
    : os_(os),
      log_(std::move(log)),
      view_(log_),
      core_({state_, view_, port_, timer1_, linkTimer_, os_.Clock, [this](const std::string& stamp) {
                 TIniFile(SettingsPath(os_.Dir)).WriteString(kSectionCommon, "Last Syncro", stamp);
             }}) {}

TService::~TService() {
    endRequests_.reset();
    // The event thread must stop before the units it delivers to are gone.
    port_.OnRxChar = nullptr;
    if (port_.Connected()) port_.Close();
    SetUiPoster(nullptr);
    SetApplicationErrorHandler(nullptr);
}

int TService::Run() {
    SetUiPoster(loop_.Poster());
    SetApplicationErrorHandler([this](const std::exception& e) { log_("error: " + GeneralErrorText(e.what())); });
    // Listening before the port opens: a request that comes during start-up still ends us cleanly.
    endRequests_ = ListenForEndRequests([this] { End(); });
    if (!Start()) return exitCode_;
    // An error escaping a step goes to the log, and the service goes on with the next, as the
    // window's message loop does.
    for (;;) {
        try {
            loop_.Run();
            return exitCode_;
        } catch (const std::exception& e) {
            HandleApplicationError(e);
        }
    }
}

bool TService::Start() {
    const std::string path = SettingsPath(os_.Dir);
    log_("tamberlined 1.05 starting with " + path);
    try {
        settings_ = ReadServiceSettings(path);
        if (settings_.Mode == TServiceMode::Chrony) {
            socket_ = OpenChronySocket(settings_.ChronySocket);
            feed_ = std::make_unique<TChronyFeed>(*socket_, os_.Realtime, settings_.ChronySocket, log_);
        }
    } catch (const std::exception& e) {
        log_("error: " + GeneralErrorText(e.what()));
        exitCode_ = 2;
        return false;
    }

    port_.OnRxChar = [this](TCustomComPort& sender, int count) { core_.ComPort1RxChar(sender, count); };
    port_.OnAfterOpen = [this](TCustomComPort& p) {
        log_("port " + p.Port() + " opened at " + BaudRateName(p.BaudRate()) + " bit/s");
    };
    timer1_.OnTimer = [this] { OnTick(); };
    linkTimer_.OnTimer = [this] { core_.LinkTimerTimer(); };
    core_.SetFrameDelay(std::chrono::milliseconds(settings_.OffsetMs));

    TStartupContext c{state_, view_, port_, os_.Dir, os_.Clock};
    try {
        RunCreateSteps(c);
    } catch (const EComPort& e) {
        // Unlike the window, which keeps a port it could not open closed for the run, an unattended
        // service waits for its device (an adapter plugged in after boot) and opens it when it comes.
        log_("error: " + GeneralErrorText(e.what()) + "; looking for " + port_.Port() + " again each second");
    } catch (const std::exception& e) {
        log_("error: " + GeneralErrorText(e.what()));
        exitCode_ = 1;
        return false;
    }
    if (feed_) {
        // The clock is chronyd's: nothing here may set it.
        state_.SyncroHours = 0;
        log_("chrony mode: one sample per device second to " + settings_.ChronySocket);
    } else {
        log_("step mode: the computer's clock is set every " + std::to_string(state_.SyncroHours) + " h");
    }
    core_.StartLinkWatch();
    view_.StartupDone();
    return true;
}

void TService::OnTick() {
    core_.Timer1Timer();
    if (feed_) feed_->Tick(state_, !core_.Link().Lost() && !core_.NewerFrameWaits(), timer1_.FiredDue());
}

void TService::End() {
    if (ended_) return;
    ended_ = true;
    core_.StopLinkWatch();  // nothing may reopen the port behind the close steps
    try {
        RunCloseSteps(state_, port_, os_.Dir);
    } catch (const std::exception& e) {
        log_("error: " + GeneralErrorText(e.what()));
        exitCode_ = 1;
    }
    log_("stopped");
    loop_.Quit();
}

}  // namespace tamberline
