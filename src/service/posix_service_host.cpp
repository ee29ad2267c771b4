// systemd starts the service as a plain process in its working directory and keeps standard error in
// the journal; signals are its end requests.
#include <cstdio>

#include "service/service_host.h"

namespace tamberline {

int HostService(const std::function<int(const TServiceHosting&)>& service) {
    return service(
        {[](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }, ListenForEndRequests, [] {}});
}

}  // namespace tamberline
