// CPU time the test process has used so far (all threads, user and system), to tell a waiting
// thread from a spinning one. One implementation per OS.
#pragma once

#include <chrono>

namespace tamberline {

std::chrono::nanoseconds ProcessCpuTime();

}  // namespace tamberline
