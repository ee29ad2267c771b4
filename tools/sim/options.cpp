#include "options.h"

#include <cmath>
#include <sstream>
#include <stdexcept>

namespace tamberline::sim {

namespace {

std::optional<long> ParseLong(const std::string& text, long min, long max) {
    if (text.empty()) return std::nullopt;
    size_t used = 0;
    long v;
    try {
        v = std::stol(text, &used, 10);
    } catch (const std::logic_error&) {
        return std::nullopt;
    }
    if (used != text.size() || v < min || v > max) return std::nullopt;
    return v;
}

std::optional<double> ParseSeconds(const std::string& text) {
    size_t used = 0;
    double v;
    try {
        v = std::stod(text, &used);
    } catch (const std::logic_error&) {
        return std::nullopt;
    }
    // Up to a day; a longer silence is no useful test and would overflow nothing but patience.
    if (used != text.size() || !std::isfinite(v) || v < 0 || v > kSecondsPerDay) return std::nullopt;
    return v;
}

constexpr long kMaxGarbage = 65536;  // bytes
constexpr long kMaxOffsetMs = 86'400'000;

}  // namespace

std::string HelpText() {
    return "Usage: tamberline-sim [OPTION]...\n"
           "Plays a GPS clock device on a new pseudo-terminal for tamberline and tamberlined. It prints the\n"
           "terminal's path first, then a line per command the program sends (\"cmd HEX\"; \"badcmd HEX\" for\n"
           "bytes it throws away).\n"
           "\n"
           "Options:\n"
           "  --link PATH        also make PATH a symbolic link to the terminal (removed at the end)\n"
           "  --phase N          send each time frame N hundredths into its second (0..99, default 50)\n"
           "  --nosync           start without satellite synchronisation\n"
           "  --tod HH:MM:SS     start at this time of day instead of the computer's local time\n"
           "  --zone +HHMMSS     the device's time-zone offset, +HHMMSS or -HHMMSS (default +030000)\n"
           "  --badcrc-every K   give every K-th time frame a wrong checksum\n"
           "  --stamp            print \"sent NS HH:MM:SS HH\" per time frame (NS: monotonic start, ns)\n"
           "  --pace             put each byte on the line at its wire time for the rate the program set\n"
           "  --offset MS        run the device's seconds MS ms ahead of the computer's clock (not with --tod)\n"
           "  --outlive-parent   keep running when the process that started it ends (see below)\n"
           "  -h, --help         print this help and exit\n"
           "  --version          print the version and exit\n"
           "\n"
           "Commands on standard input, one a line:\n"
           "  sync on, sync off  satellite synchronisation from the next time frame\n"
           "  badcrc             the next time frame with a wrong checksum\n"
           "  badtype            a frame of a type the program does not know, now\n"
           "  short              the next time frame cut after 5 bytes\n"
           "  midframe           only the last 4 bytes of the next time frame\n"
           "  garbage N          N random bytes now (0..65536)\n"
           "  pause S            no frames for S seconds (0..86400, fractions allowed)\n"
           "  tod HH:MM:SS       the next time frame shows this time of day\n"
           "  phase N            time frames from now on N hundredths into their second\n"
           "  zone +HHMMSS       the device's time-zone offset from now on\n"
           "  quit               end\n"
           "\n"
           "It ends on quit, on SIGTERM, SIGINT or SIGHUP, and, unless --outlive-parent is given, when the\n"
           "process that started it ends: a test or script that dies leaves no device behind. The end of\n"
           "standard input does not end it. To keep it after a script that starts it in the background, give\n"
           "--outlive-parent and stop it with kill $! (or quit on its standard input) later.\n"
           "\n"
           "Exit status: 0 after a normal end, 1 when no terminal can be made, 2 on a bad command line.\n";
}

std::string VersionText() {
    return "tamberline-sim " TAMBERLINE_VERSION "\n";
}

TOptions ParseOptions(const std::vector<std::string>& args) {
    TOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.Request = TRequest::Help;
            return o;
        }
        if (a == "--version") {
            o.Request = TRequest::Version;
            return o;
        }
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
            return args[++i];
        };
        if (a == "--link") {
            o.LinkPath = value();
            if (o.LinkPath.empty()) throw std::invalid_argument("--link needs a path");
        } else if (a == "--phase") {
            auto v = ParseLong(value(), 0, 99);
            if (!v) throw std::invalid_argument("--phase takes hundredths 0..99");
            o.Phase = static_cast<int>(*v);
        } else if (a == "--nosync") {
            o.NoSync = true;
        } else if (a == "--tod") {
            o.TimeOfDay = ParseTimeOfDay(value());
            if (!o.TimeOfDay) throw std::invalid_argument("--tod takes HH:MM:SS");
        } else if (a == "--zone") {
            auto z = ParseZone(value());
            if (!z) throw std::invalid_argument("--zone takes +HHMMSS or -HHMMSS (hours up to 12)");
            o.Zone = *z;
        } else if (a == "--badcrc-every") {
            auto v = ParseLong(value(), 1, 1000000);
            if (!v) throw std::invalid_argument("--badcrc-every takes a count of frames, 1 or more");
            o.BadCrcEvery = static_cast<int>(*v);
        } else if (a == "--stamp") {
            o.Stamp = true;
        } else if (a == "--pace") {
            o.Pace = true;
        } else if (a == "--outlive-parent") {
            o.OutliveParent = true;
        } else if (a == "--offset") {
            auto v = ParseLong(value(), -kMaxOffsetMs, kMaxOffsetMs);
            if (!v) throw std::invalid_argument("--offset takes milliseconds, -86400000..86400000");
            o.OffsetMs = static_cast<int>(*v);
        } else {
            throw std::invalid_argument("unknown option " + a);
        }
    }
    // The offset is the distance from the host's clock, which --tod does not follow.
    if (o.OffsetMs != 0 && o.TimeOfDay)
        throw std::invalid_argument("--offset follows the host's clock: not with --tod");
    return o;
}

std::optional<TControl> ParseControl(const std::string& line, std::string& error) {
    std::istringstream in(line);
    std::string word, arg, extra;
    in >> word >> arg >> extra;
    auto fail = [&](const std::string& why) -> std::optional<TControl> {
        error = why;
        return std::nullopt;
    };
    if (!extra.empty()) return fail("too many words: " + line);
    auto bare = [&](TControlKind k) -> std::optional<TControl> {
        if (!arg.empty()) return fail(word + " takes no argument");
        TControl c;
        c.Kind = k;
        return c;
    };
    if (word == "badcrc") return bare(TControlKind::BadCrc);
    if (word == "badtype") return bare(TControlKind::BadType);
    if (word == "short") return bare(TControlKind::Short);
    if (word == "midframe") return bare(TControlKind::MidFrame);
    if (word == "quit") return bare(TControlKind::Quit);
    TControl c;
    if (word == "garbage") {
        auto v = ParseLong(arg, 0, kMaxGarbage);
        if (!v) return fail("garbage takes a byte count 0..65536");
        c.Kind = TControlKind::Garbage;
        c.Number = static_cast<int>(*v);
    } else if (word == "pause") {
        auto v = ParseSeconds(arg);
        if (!v) return fail("pause takes seconds 0..86400");
        c.Kind = TControlKind::Pause;
        c.Seconds = *v;
    } else if (word == "sync") {
        if (arg != "on" && arg != "off") return fail("sync takes on or off");
        c.Kind = TControlKind::Sync;
        c.Number = arg == "on";
    } else if (word == "tod") {
        auto v = ParseTimeOfDay(arg);
        if (!v) return fail("tod takes HH:MM:SS");
        c.Kind = TControlKind::Tod;
        c.Number = *v;
    } else if (word == "phase") {
        auto v = ParseLong(arg, 0, 99);
        if (!v) return fail("phase takes hundredths 0..99");
        c.Kind = TControlKind::Phase;
        c.Number = static_cast<int>(*v);
    } else if (word == "zone") {
        auto z = ParseZone(arg);
        if (!z) return fail("zone takes +HHMMSS or -HHMMSS");
        c.Kind = TControlKind::Zone;
        c.Zone = *z;
    } else {
        return fail("unknown command: " + line);
    }
    return c;
}

}  // namespace tamberline::sim
