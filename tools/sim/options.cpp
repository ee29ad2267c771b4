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

std::string Usage() {
    return "usage: tamberline-sim [--link PATH] [--phase N] [--nosync] [--tod HH:MM:SS] [--zone +HHMMSS|-HHMMSS]\n"
           "                      [--badcrc-every K] [--stamp] [--pace] [--offset MS]\n";
}

TOptions ParseOptions(const std::vector<std::string>& args) {
    TOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
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
