#include <windows.h>

#include <cstdio>

#include "app/console_output.h"

namespace tamberline {

namespace {

bool GoesSomewhere(HANDLE h) {
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

}  // namespace

bool ReachConsoleOutput() {
    // Redirected by the starter (tamberline --help >help.txt, or a pipe), the output is there already.
    if (GoesSomewhere(GetStdHandle(STD_OUTPUT_HANDLE))) return true;
    // Started from a command prompt, a GUI-subsystem program borrows the prompt's console; started
    // from the Start menu there is none.
    return AttachConsole(ATTACH_PARENT_PROCESS) && std::freopen("CONOUT$", "w", stdout) != nullptr;
}

}  // namespace tamberline
