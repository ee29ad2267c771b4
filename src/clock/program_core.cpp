#include "clock/program_core.h"

namespace tamberline {

TProgramCore::TProgramCore(TCoreDeps deps)
    : deps_(std::move(deps)),
      messages_(deps_.State, deps_.View, deps_.Timer1),
      commands_(deps_.State, deps_.View, deps_.Port),
      sync_(deps_.State, deps_.View, deps_.Clock, deps_.WriteLastSyncro),
      tick_(deps_.State, deps_.View, deps_.Timer1, commands_, sync_, deps_.Clock) {}

}  // namespace tamberline
