// Standard output for a program that may have none: on Windows the window is a GUI-subsystem
// program, which starts without a console even from a command prompt.
#pragma once

namespace tamberline {

// Makes standard output reach the console of the process that started this one when it goes nowhere
// (Windows: a windowed program started from a command prompt; output redirected to a file or a pipe
// is kept). Nothing to do on POSIX. Call before the first write to stdout. False: standard output
// goes nowhere, so writing to it is pointless (Windows, started from the Start menu or Explorer).
bool ReachConsoleOutput();

// Writes `text` (the programs' --help and --version) to standard output, reached as above: 0, or 1 when
// it could not be written (a full disk, no console), which is no success.
int PrintToConsole(const char* text);

}  // namespace tamberline
