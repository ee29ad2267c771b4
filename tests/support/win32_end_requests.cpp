#include <windows.h>

#include "support/end_requests.h"

namespace tamberline::test {

std::vector<TSystemEndRequest> SystemEndRequests() {
    return {{"Ctrl+C", [] {
                 // Ctrl+C goes to a console's processes, and a test run may have a console that takes
                 // none (wine's for a program whose output is a pipe): a console of the test's own.
                 static const bool own = (FreeConsole(), AllocConsole() != FALSE);
                 if (own) GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
             }}};
}

std::string EndHandling() {
    return {};
}

}  // namespace tamberline::test
