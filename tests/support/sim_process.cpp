#include "support/sim_process.h"

namespace tamberline {

std::optional<std::string> TSimProcess::TakeLine() {
    const auto nl = buffered_.find('\n');
    if (nl == std::string::npos) return std::nullopt;
    std::string line = buffered_.substr(0, nl);
    buffered_.erase(0, nl + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace tamberline
