// A socket for one test, in a temporary folder of its own that others may pass through.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "control/endpoint_test_os.h"

namespace tamberline {

TTestEndpoint::TTestEndpoint() {
    char dir[] = "/tmp/tamberline-endpoint-XXXXXX";
    if (mkdtemp(dir) == nullptr) throw std::runtime_error("mkdtemp");
    root_ = dir;
    chmod(dir, 0755);                // the rights cases connect as another user
    name_ = root_ + "/run/control";  // the listener makes "run"
}

TTestEndpoint::~TTestEndpoint() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

}  // namespace tamberline
