#include "app/window_options.h"

#include <string>

#include "app/console_output.h"

namespace tamberline {

namespace {

constexpr const char* kHelp =
    "Usage: tamberline [--help | --version]\n"
    "Tamberline watches and configures a GPS clock device on a serial port and sets the computer's\n"
    "clock from it. It starts hidden in the notification area (double-click its icon to open the\n"
    "window). Where the service tamberlined runs it is the service's panel; otherwise it opens the\n"
    "port itself and reads Settings.INI from the folder it is started in.\n"
    "\n"
    "Options:\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Other arguments are left to Qt, which takes its own options (such as -platform or -style); the\n"
    "program itself reads none.\n";

constexpr const char* kVersion = "tamberline " TAMBERLINE_VERSION "\n";

}  // namespace

std::optional<int> AnswerWindowOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help") return PrintToConsole(kHelp);
        if (a == "--version") return PrintToConsole(kVersion);
    }
    return std::nullopt;
}

}  // namespace tamberline
