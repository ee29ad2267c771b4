// tamberlined's command line: the service takes everything from Settings.INI, so the command line
// only answers --help and --version, and refuses anything else before the service starts.
#pragma once

#include <optional>

namespace tamberline {

// Prints the help or the version on standard output, or a one-line refusal on standard error. Gives
// the exit code when the command line asked for something other than a run (0, 1 when the text
// could not be written, 2 for an argument it does not know), nothing when the service should start.
std::optional<int> AnswerServiceOptions(int argc, char** argv);

}  // namespace tamberline
