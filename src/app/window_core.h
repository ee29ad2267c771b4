// What the main window asks of the core that owns the device. The standalone program owns it itself
// (TLocalCore: the port, the second tick, the settings file); a panel reaches the service's core over the
// control endpoint (TRemoteCore). Either way the window's editors change the shared values and store their
// request in PendingAction as they always did; these calls hand that on, and the core drives the view.
#pragma once

#include <functional>
#include <memory>

#include "app/current_dir.h"
#include "clock/system_clock.h"
#include "device/state.h"
#include "device/view.h"
#include "serial/comport.h"

namespace tamberline {

struct TWindowCoreDeps {
    TSharedState& State;
    TMainView& View;
    // The window's port. The local core opens it; the remote one keeps the service's port name and rate
    // in it (never opened), so that the port dialog shows and changes them.
    TCustomComPort& Port;
    TSystemClock& Clock;
    TCurrentDirectory& Dir;
};

class TWindowCore {
  public:
    virtual ~TWindowCore() = default;

    // The creation steps: the start state, the settings, the device. An error propagates for the general
    // error box, with the core already in the lost state, looking for its device again each second.
    virtual void Start() = 0;
    // The close steps, once: nothing is looked for any more, the port is closed and the settings written.
    // A settings error propagates after the port is closed.
    virtual void Close() = 0;

    // An editor or menu command stored a request in State.PendingAction. A request that cannot reach the
    // device now is taken back out of the slot and refused with an error.
    virtual void RequestStored() = 0;
    // The confirmed winter/summer switch left its choice in State.SumWntIndex: store it.
    virtual void SumWntAccepted() = 0;
    // The period dialog's OK left the period in State.SyncroHours: store it.
    virtual void PeriodAccepted() = 0;
    // The correction dialog's OK changed State.ZoneSeconds (and with a 0:00 zone, ZonePlus).
    virtual void CorrectionAccepted() = 0;
    // The port dialog's OK changed the port's name or rate.
    virtual void PortAccepted() = 0;
};

using TWindowCoreFactory = std::function<std::unique_ptr<TWindowCore>(TWindowCoreDeps)>;

}  // namespace tamberline
