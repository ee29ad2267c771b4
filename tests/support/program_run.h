// Runs one of the built programs to its end as from a console without a display (no DISPLAY,
// WAYLAND_DISPLAY or QT_QPA_PLATFORM in its environment, stdin empty) and keeps what it printed, for
// the tables of the programs' command lines. POSIX only: the programs run on the host.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tamberline {

struct TProgramRun {
    int Exit = -1;  // 137 when it still ran after the wait (then killed)
    std::string Out, Err;
};

// Throws std::runtime_error when the program cannot be started at all.
TProgramRun RunProgram(const std::string& path, const std::vector<std::string>& args, int waitMs = 10000);

struct TOptionCase {
    std::string Name;
    std::vector<std::string> Args;
    int Exit;
    bool OnStdout;                   // the text comes on stdout and nothing on stderr, or the other way round
    std::vector<std::string> Words;  // each somewhere in that text
};

inline void ExpectOptionCases(const std::string& program, const std::vector<TOptionCase>& cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TProgramRun run = RunProgram(program, c.Args);
        EXPECT_EQ(run.Exit, c.Exit);
        const std::string& text = c.OnStdout ? run.Out : run.Err;
        EXPECT_EQ(c.OnStdout ? run.Err : run.Out, "");
        for (const auto& w : c.Words)
            EXPECT_NE(text.find(w), std::string::npos) << "no \"" << w << "\" in:\n" << text;
    }
}

}  // namespace tamberline
