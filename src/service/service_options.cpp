#include "service/service_options.h"

#include "app/console_output.h"

#include <cstdio>
#include <string>

namespace tamberline {

namespace {

constexpr const char* kHelp =
    "Usage: tamberlined [--help | --version]\n"
    "The Tamberline service: it owns the GPS clock device on the port named in Settings.INI in its\n"
    "working directory and, as the file's [Service] section says, either sets the computer's clock from\n"
    "it (Mode=step, the default) or sends its time to chronyd (Mode=chrony). The tamberline windows\n"
    "attach to it as its panels. It writes a line per event to standard error (on Windows, run by the\n"
    "Service Control Manager, to the Application event log) and runs until SIGTERM, SIGINT or SIGHUP.\n"
    "\n"
    "Options:\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Exit status: 0 after a clean end, 1 when something failed (logged), 2 for a command line or\n"
    "settings it cannot follow. See tamberlined(8).\n";

constexpr const char* kVersion = "tamberlined " TAMBERLINE_VERSION "\n";

}  // namespace

std::optional<int> AnswerServiceOptions(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    const std::string first = argv[1];
    // The first argument decides, as in GNU programs, where --help ends the reading of the rest.
    if (first == "--help") return PrintToConsole(kHelp);
    if (first == "--version") return PrintToConsole(kVersion);
    std::fprintf(stderr, "tamberlined: unknown argument %s; try tamberlined --help\n", first.c_str());
    return 2;
}

}  // namespace tamberline
