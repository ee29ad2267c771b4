#include <windows.h>

#include "support/end_requests.h"

namespace tamberline::test {

// Ctrl+C goes to a console's processes, and a test run may have a console that takes none (wine's
// for a program whose output is a pipe): the test gets a console of its own first.
std::vector<TSystemEndRequest> SystemEndRequests() {
    static const bool ownConsole = (FreeConsole(), AllocConsole() != FALSE);
    if (!ownConsole) return {};
    return {{"Ctrl+C", [] { GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0); }}};
}

std::string EndHandling() {
    return {};
}

}  // namespace tamberline::test
