#include "clock/program_core.h"

#include "clock/clock_texts.h"
#include "device/texts.h"

namespace tamberline {

TProgramCore::TProgramCore(TCoreDeps deps)
    : deps_(std::move(deps)),
      messages_(deps_.State, deps_.View, deps_.Timer1),
      commands_(deps_.State, deps_.View, deps_.Port),
      sync_(deps_.State, deps_.View, deps_.Clock, deps_.WriteLastSyncro),
      tick_(deps_.State, deps_.View, deps_.Timer1, commands_, sync_, deps_.Clock) {}

std::string TProgramCore::DateLine() {
    return tamberline::DateLine(deps_.Clock);
}

std::string TProgramCore::ClockText(int v) {
    return TwoDigits(v);
}

std::string TProgramCore::LastSyncroPanelText(const std::string& stamp) {
    return LastSyncroText(stamp);
}

}  // namespace tamberline
