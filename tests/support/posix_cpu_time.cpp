#include <time.h>

#include "support/cpu_time.h"

namespace tamberline {

std::chrono::nanoseconds ProcessCpuTime() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

}  // namespace tamberline
