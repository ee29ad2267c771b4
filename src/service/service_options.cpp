#include "service/service_options.h"

#include <cstdio>
#include <string>

namespace tamberline {

namespace {

constexpr const char* kHelp =
    "Usage: tamberlined [--help | --version]\n"
    "The Tamberline service for machines without a desktop. It reads the GPS clock device on the port\n"
    "named in Settings.INI in its working directory and, as the file's [Service] section says, either\n"
    "sets the computer's clock from it (Mode=step, the default) or sends its time to chronyd\n"
    "(Mode=chrony). It writes a line per event to standard error and runs until SIGTERM, SIGINT or\n"
    "SIGHUP.\n"
    "\n"
    "Options:\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Exit status: 0 after a clean end, 1 when something failed (logged), 2 for a command line or\n"
    "settings it cannot follow. See tamberlined(8).\n";

constexpr const char* kVersion = "tamberlined " TAMBERLINE_VERSION "\n";

// A text that could not be written (say, to a full disk) is no success.
int Print(const char* text) {
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace

std::optional<int> AnswerServiceOptions(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    const std::string first = argv[1];
    // The first argument decides, as in GNU programs, where --help ends the reading of the rest.
    if (first == "--help") return Print(kHelp);
    if (first == "--version") return Print(kVersion);
    std::fprintf(stderr, "tamberlined: unknown argument %s; try tamberlined --help\n", first.c_str());
    return 2;
}

}  // namespace tamberline
