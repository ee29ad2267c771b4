// Command line of the simulator and the control lines it takes on stdin.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim_frames.h"

namespace tamberline::sim {

// What the command line asks for: a run, or a text printed instead of one.
enum class TRequest { Run, Help, Version };

struct TOptions {
    TRequest Request = TRequest::Run;
    std::string LinkPath;
    int Phase = 50;  // hundredths of the simulated second at which a time frame goes out
    bool NoSync = false;
    std::optional<int> TimeOfDay;  // second of the day; none: the host's local time
    TZone Zone;                    // +03:00:00
    int BadCrcEvery = 0;           // every K-th time frame with a wrong CRC; 0: never
    bool Stamp = false;            // print a "sent" line per time frame
    bool Pace = false;             // each byte at its wire time for the line's rate
    int OffsetMs = 0;              // device's clock ahead of the host's (without --tod)
    bool OutliveParent = false;    // keep running after the process that started it has ended
};

// Throws std::invalid_argument with a message for the user on a bad command line. --help and
// --version end the parse where they stand, as GNU programs do: what follows them is not looked at.
TOptions ParseOptions(const std::vector<std::string>& args);
std::string HelpText();     // for --help: usage, options, the stdin commands, when it ends
std::string VersionText();  // for --version

enum class TControlKind { BadCrc, BadType, Short, Garbage, Pause, MidFrame, Sync, Tod, Phase, Zone, Quit };

struct TControl {
    TControlKind Kind = TControlKind::Quit;
    int Number = 0;      // garbage: byte count; tod: second of day; phase: hundredths; sync: 1 on / 0 off
    double Seconds = 0;  // pause
    TZone Zone;          // zone
};

// One stdin line; nullopt with `error` set when the line is not understood.
std::optional<TControl> ParseControl(const std::string& line, std::string& error);

}  // namespace tamberline::sim
