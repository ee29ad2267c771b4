#include "app/console_output.h"

#include <cstdio>

namespace tamberline {

int PrintToConsole(const char* text) {
    if (!ReachConsoleOutput()) return 1;
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace tamberline
