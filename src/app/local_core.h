// The standalone program's core: the window's own port, second tick and link watch, and the settings
// file in the current directory.
#pragma once

#include "app/window_core.h"
#include "clock/precise_timer.h"
#include "clock/program_core.h"

namespace tamberline {

class TLocalCore : public TWindowCore {
  public:
    explicit TLocalCore(TWindowCoreDeps deps);
    // Leaves the port to its own destructor, which releases it even where a close is refused.
    ~TLocalCore() override;

    void Start() override;
    void Close() override;
    void RequestStored() override { core_.RequestStored(); }
    void SumWntAccepted() override;
    void PeriodAccepted() override;
    void CorrectionAccepted() override {}  // the zone command carries it
    void PortAccepted() override {}        // the port dialog changed the port itself

  private:
    void WriteCommon(const char* key, int value);

    TWindowCoreDeps d_;
    TPreciseTimer timer1_;
    TPreciseTimer linkTimer_{false};  // the link watch's check, about once a second
    TProgramCore core_;
    bool closed_ = false;
};

std::unique_ptr<TWindowCore> MakeLocalCore(TWindowCoreDeps deps);

}  // namespace tamberline
