#include "app/console_output.h"

namespace tamberline {

// A POSIX program keeps the standard output its starter gave it, windowed or not.
bool ReachConsoleOutput() {
    return true;
}

}  // namespace tamberline
