// The operating system's own ways of asking a program to end, for the tests of what the program does
// then, and a look at the process's handling of them, to see that a program leaves it as it found it.
#pragma once

#include <string>
#include <vector>

namespace tamberline::test {

struct TSystemEndRequest {
    const char* Name;
    void (*Raise)();  // asks this process to end, as the system would
};

std::vector<TSystemEndRequest> SystemEndRequests();
// Equal before and after a program listened for end requests when it restored the handling; empty
// where the system does not show it (Windows keeps its console handlers to itself).
std::string EndHandling();

}  // namespace tamberline::test
