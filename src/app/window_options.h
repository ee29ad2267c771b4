// The window's command line. --help and --version are answered before Qt starts, so they need no
// display; every other argument is left to Qt (its own options such as -platform or -style, and the
// session manager's -session), and the program itself reads none.
#pragma once

#include <optional>

namespace tamberline {

// Prints the help or the version on standard output when either is asked for (the first of them
// counts) and gives the exit code: 0, or 1 when the text could not be written. Nothing: start the
// window.
std::optional<int> AnswerWindowOptions(int argc, char** argv);

}  // namespace tamberline
