#include <windows.h>

#include "support/cpu_time.h"

namespace tamberline {

std::chrono::nanoseconds ProcessCpuTime() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto ticks = [](const FILETIME& f) { return (static_cast<long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    return std::chrono::nanoseconds((ticks(kernel) + ticks(user)) * 100);  // 100 ns units
}

}  // namespace tamberline
