#include "service/scm_status.h"

namespace tamberline {

void TScmProgress::Report(TScmState state, bool acceptsStop, uint32_t waitHintMs) {
    // A pending state reported again moves its checkpoint on: the SCM then knows the service is alive.
    status_.CheckPoint = state == status_.State && status_.CheckPoint > 0 ? status_.CheckPoint + 1 : 1;
    if (state == TScmState::Running || state == TScmState::Stopped) status_.CheckPoint = 0;
    status_.State = state;
    status_.AcceptsStop = acceptsStop;
    status_.WaitHintMs = waitHintMs;
    report_(status_);
}

void TScmProgress::Starting() {
    std::lock_guard lock(mutex_);
    Report(TScmState::StartPending, false, kScmStartWaitMs);
}

void TScmProgress::Serving() {
    std::lock_guard lock(mutex_);
    // A service that is already stopping never reports itself running again.
    if (status_.State == TScmState::StartPending) Report(TScmState::Running, true, 0);
}

void TScmProgress::StopRequested() {
    std::lock_guard lock(mutex_);
    if (status_.State != TScmState::Stopped) Report(TScmState::StopPending, false, kScmStopWaitMs);
}

bool TScmProgress::Ended(int exitCode) {
    std::lock_guard lock(mutex_);
    // Asked to stop, it stays stopped whatever failed in the close steps: the report carries the code.
    if (exitCode != 0 && exitCode != 2 && status_.State != TScmState::StopPending) return false;
    status_.ServiceExitCode = static_cast<uint32_t>(exitCode);
    Report(TScmState::Stopped, false, 0);
    return true;
}

}  // namespace tamberline
