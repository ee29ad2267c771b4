// The panel's core: the service's, reached over the control endpoint. The window's editors change the
// shared values and store their request as always; this hands them to the service as commands, and shows
// the service's state through the same view calls as the standalone core makes. When the service goes
// away the panel says so and attaches again, by itself, once it is back.
#pragma once

#include <memory>
#include <string>

#include "app/window_core.h"
#include "clock/precise_timer.h"
#include "control/service_link.h"

namespace tamberline {

inline const char* const kNoServiceText = "Нет связи со службой.";

class TRemoteCore : public TWindowCore {
  public:
    // `link` has shaken hands already (the window chose to be a panel because it answered).
    TRemoteCore(TWindowCoreDeps deps, std::string endpoint, std::unique_ptr<TServiceLink> link);
    ~TRemoteCore() override;

    void Start() override;
    void Close() override;
    void RequestStored() override;
    void SumWntAccepted() override;
    void PeriodAccepted() override;
    void CorrectionAccepted() override;
    void PortAccepted() override;

    // How often a gone service is looked for, ms.
    static constexpr uint32_t kReattachPeriodMs = 1000;
    // How long an attach waits for the service's answer, ms: a live service answers at once.
    static constexpr uint32_t kAttachWaitMs = 300;

    bool Attached() const { return link_ != nullptr; }

  private:
    void Use(std::unique_ptr<TServiceLink> link);
    void Detach();
    void TryReattach();
    // `whole`: everything, as after an attach; otherwise what changed since the last state.
    void Apply(const TStatus& s, bool whole);
    void ApplySettings(const TStatus& s, bool whole);
    void ApplyDeviceState(const TStatus& s, bool whole);
    void Resulted(const TResult& r);
    void Send(TCommand c);
    void SendValue(TCommandKind kind, int32_t value);  // the commands that carry one value

    TWindowCoreDeps d_;
    std::string endpoint_;
    std::unique_ptr<TServiceLink> link_;
    TStatus last_;  // the state shown
    TPreciseTimer reattach_{false};
    bool lossShown_ = false;  // the view shows the device or the service as gone
    bool closed_ = false;
};

}  // namespace tamberline
