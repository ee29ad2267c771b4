// The window's own command line, from the built program run without a display.
#include "support/program_run.h"

namespace tamberline {
namespace {

TEST(WindowCommandLine, HelpAndVersionNeedNoDisplay) {
    ExpectOptionCases(
        TAMBERLINE_WINDOW,
        {
            {"help", {"--help"}, 0, true, {"Usage: tamberline", "--version", "Settings.INI", "-platform"}},
            {"version", {"--version"}, 0, true, {"tamberline " TAMBERLINE_VERSION "\n"}},
            {"after one of Qt's options", {"-platform", "xcb", "--version"}, 0, true, {"tamberline "}},
        });
}

}  // namespace
}  // namespace tamberline
