// A pipe name of this process for one test.
#include <windows.h>

#include <atomic>
#include <string>

#include "control/endpoint_test_os.h"

namespace tamberline {

TTestEndpoint::TTestEndpoint() {
    static std::atomic<int> count{0};
    name_ = "\\\\.\\pipe\\tamberline-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
}

TTestEndpoint::~TTestEndpoint() = default;

}  // namespace tamberline
