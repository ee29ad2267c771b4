// chronyd does not run on Windows: the service only sets the clock itself there (step mode).
#include <stdexcept>

#include "service/chrony_feed.h"
#include "service/service_settings.h"

namespace tamberline {

bool ChronyModeAvailable() {
    return false;
}

std::unique_ptr<TChronySocket> OpenChronySocket(const std::string&) {
    throw std::invalid_argument("режима chrony на этой системе нет");
}

}  // namespace tamberline
