#include <csignal>

#include "support/end_requests.h"

namespace tamberline::test {

std::vector<TSystemEndRequest> SystemEndRequests() {
    return {{"SIGTERM", [] { raise(SIGTERM); }}, {"SIGINT", [] { raise(SIGINT); }}, {"SIGHUP", [] { raise(SIGHUP); }}};
}

std::string EndHandling() {
    std::string seen;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction now {};
        sigaction(sig, nullptr, &now);
        seen += std::to_string(reinterpret_cast<uintptr_t>(now.sa_handler)) + " ";
    }
    return seen;
}

}  // namespace tamberline::test
