#include "clock/program_core.h"

namespace tamberline {

TProgramCore::TProgramCore(TCoreDeps deps)
    : deps_(std::move(deps)),
      messages_(deps_.State, deps_.View, deps_.Timer1),
      commands_(deps_.State, deps_.View, deps_.Port),
      sync_(deps_.State, deps_.View, deps_.Clock, deps_.WriteLastSyncro),
      tick_(deps_.State, deps_.View, deps_.Timer1, commands_, sync_, deps_.Clock),
      link_(deps_.State, deps_.View, deps_.Port, deps_.LinkTimer) {
    messages_.OnTimeFrame = [this](TMonoTime at) { link_.FrameSeen(at); };
    tick_.NewerFrameWaits = [this] { return NewerFrameWaits(); };
}

void TProgramCore::RequestStored() {
    uint8_t& slot = deps_.State.PendingAction;
    if (!link_.Lost() || !IsUserRequest(slot)) return;
    slot = paNone;
    throw ENoLink();
}

bool TProgramCore::NewerFrameWaits() {
    if (!deps_.Port.Connected()) return false;  // tests and a closed port: nothing can wait
    try {
        return deps_.Port.InputCount() >= kTimeFrameBytes;
    } catch (const EComPort&) {
        return true;  // a device that cannot say what waits is not one to set the clock from
    }
}

}  // namespace tamberline
