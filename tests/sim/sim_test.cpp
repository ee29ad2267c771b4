// The simulator as other tests see it: frames on its line, commands answered, faults on request.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>

#include "device/crc8.h"
#include "support/program_run.h"
#include "support/sim_process.h"

namespace tamberline {
namespace {

using TBytes = std::vector<uint8_t>;
constexpr int64_t kMs = 1'000'000;  // ns

int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

uint8_t Bcd(int v) {
    return static_cast<uint8_t>((v / 10) << 4 | (v % 10));
}

int FromBcd(uint8_t b) {
    return (b >> 4) * 10 + (b & 15);
}

TBytes WithCrc(TBytes bytes) {
    bytes.push_back(Crc8(bytes.data(), bytes.size()));
    return bytes;
}

struct TTimeFrame {
    bool CrcOk = false, NoSync = false;
    int Hundredths = -1;
    std::string Clock;  // "hh:mm:ss"
};

std::optional<TTimeFrame> DecodeTimeFrame(const TBytes& b) {
    if (b.size() != 9 || b[2] != 0x09) return std::nullopt;
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", FromBcd(b[7] & 0x7F), FromBcd(b[6]), FromBcd(b[5]));
    return TTimeFrame{Crc8(b.data(), b.size()) == 0, (b[7] & 0x80) != 0, FromBcd(b[4]), clock};
}

struct TChunk {
    TBytes Bytes;           // what one write of the simulator put on the line
    int64_t ArrivalNs = 0;  // monotonic
};

// One simulator with its line opened raw from the device user's side.
class TSim {
  public:
    explicit TSim(const std::vector<std::string>& args) : Process(TAMBERLINE_SIM, args) {
        line_ = open(Process.PtyPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (line_ < 0) throw std::runtime_error("cannot open " + Process.PtyPath());
        termios t{};
        tcgetattr(line_, &t);
        cfmakeraw(&t);
        tcsetattr(line_, TCSANOW, &t);
    }
    ~TSim() { close(line_); }
    TSim(const TSim&) = delete;
    TSim& operator=(const TSim&) = delete;

    void Send(const TBytes& bytes) {
        if (write(line_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("line write");
    }
    // One write of the simulator arrives at once; 20 ms of quiet ends the chunk.
    std::optional<TChunk> NextChunk(int timeoutMs) {
        if (!Readable(timeoutMs)) return std::nullopt;
        TChunk c{{}, NowNs()};
        do {
            uint8_t buf[256];
            const ssize_t n = read(line_, buf, sizeof buf);
            if (n <= 0) break;
            c.Bytes.insert(c.Bytes.end(), buf, buf + n);
        } while (Readable(20));
        return c;
    }
    // The next `n` bytes, and when the last of them was there.
    std::pair<TBytes, int64_t> ReadBytes(size_t n, int timeoutMs) {
        TBytes b;
        while (b.size() < n && Readable(timeoutMs)) {
            uint8_t buf[16];
            const ssize_t got = read(line_, buf, std::min(sizeof buf, n - b.size()));
            if (got <= 0) break;
            b.insert(b.end(), buf, buf + got);
        }
        return {b, NowNs()};
    }
    std::optional<TTimeFrame> NextTimeFrame(int timeoutMs) {  // skips other chunks
        const int64_t end = NowNs() + timeoutMs * kMs;
        while (auto c = NextChunk(static_cast<int>(std::max<int64_t>(0, end - NowNs()) / kMs)))
            if (auto t = DecodeTimeFrame(c->Bytes)) return t;
        return std::nullopt;
    }

    const int64_t StartNs = NowNs();  // before the program started
    TSimProcess Process;

  private:
    bool Readable(int timeoutMs) {
        pollfd p{line_, POLLIN, 0};
        return poll(&p, 1, timeoutMs) > 0;
    }
    int line_ = -1;
};

std::string AddSeconds(const std::string& clock, int n) {
    int t = std::stoi(clock.substr(0, 2)) * 3600 + std::stoi(clock.substr(3, 2)) * 60 + std::stoi(clock.substr(6, 2));
    t = ((t + n) % 86400 + 86400) % 86400;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
    return buf;
}

std::string Hex(const TBytes& b) {
    std::string out;
    char buf[4];
    for (uint8_t x : b) {
        std::snprintf(buf, sizeof buf, "%02X", x);
        out += (out.empty() ? "" : " ") + std::string(buf);
    }
    return out;
}

// Runs each case on its own simulator at the same time, so a table costs a few seconds, not one each.
template <class Case>
void RunInParallel(const std::vector<Case>& cases, const std::function<void(const Case&)>& body) {
    std::vector<std::thread> threads;
    for (const auto& c : cases)
        threads.emplace_back([&body, &c] { body(c); });
    for (auto& t : threads)
        t.join();
}

struct TFrameCase {
    std::string Name;
    std::vector<std::string> Args;
    std::vector<std::string> Clocks;  // of the first frames
    int Hundredths;
    bool NoSync;
    int BadCrcEvery = 0;  // every k-th frame has a wrong CRC; 0: none
};

TEST(SimulatorFrames, OneFramePerSecondWithTimePhaseAndCrc) {
    std::vector<TFrameCase> cases = {
        {"phase 20, synchronised",
         {"--tod", "12:34:56", "--phase", "20"},
         {"12:34:56", "12:34:57", "12:34:58"},
         20,
         false},
        {"no sync, day wraps at midnight",
         {"--tod", "23:59:59", "--nosync", "--phase", "5"},
         {"23:59:59", "00:00:00", "00:00:01"},
         5,
         true},
        {"default phase 50", {"--tod", "00:00:00"}, {"00:00:00", "00:00:01", "00:00:02"}, 50, false},
        {"every second CRC bad",
         {"--tod", "05:00:00", "--badcrc-every", "2", "--phase", "10"},
         {"05:00:00", "05:00:01", "05:00:02", "05:00:03"},
         10,
         false,
         2},
    };
    RunInParallel<TFrameCase>(cases, [](const TFrameCase& c) {
        TSim sim(c.Args);
        EXPECT_EQ(sim.Process.PtyPath().rfind("/dev/pts/", 0), 0u) << c.Name << ": " << sim.Process.PtyPath();
        int64_t previous = 0;
        for (size_t i = 0; i < c.Clocks.size(); ++i) {
            auto chunk = sim.NextChunk(2000);
            ASSERT_TRUE(chunk) << c.Name << ": frame " << i << " missing";
            auto t = DecodeTimeFrame(chunk->Bytes);
            ASSERT_TRUE(t) << c.Name << ": not a 9-byte time frame";
            EXPECT_EQ(t->CrcOk, c.BadCrcEvery == 0 || (i + 1) % c.BadCrcEvery != 0) << c.Name << ": frame " << i;
            EXPECT_EQ(t->Clock, c.Clocks[i]) << c.Name;
            EXPECT_EQ(t->Hundredths, c.Hundredths) << c.Name;
            EXPECT_EQ(t->NoSync, c.NoSync) << c.Name;
            if (i == 0) {
                // The first second starts with the program; its frame leaves at the phase.
                int64_t after = chunk->ArrivalNs - sim.StartNs;
                EXPECT_GE(after, c.Hundredths * 10 * kMs - 5 * kMs) << c.Name;
                EXPECT_LE(after, c.Hundredths * 10 * kMs + 400 * kMs) << c.Name;
            } else {
                EXPECT_NEAR(static_cast<double>(chunk->ArrivalNs - previous), 1000.0 * kMs, 100.0 * kMs)
                    << c.Name << ": frame " << i;
            }
            previous = chunk->ArrivalNs;
        }
    });
}

TEST(SimulatorFrames, PaceSpreadsAFrameOverItsWireTimeAndOffsetMovesTheSecond) {
    TSim sim({"--pace", "--stamp", "--offset", "250", "--phase", "0"});
    ASSERT_TRUE(sim.NextTimeFrame(2000));  // from here on the line is between frames
    const auto [bytes, complete] = sim.ReadBytes(9, 2000);
    const auto t = DecodeTimeFrame(bytes);
    ASSERT_TRUE(t && t->CrcOk);
    std::optional<std::string> line;
    while ((line = sim.Process.ReadLine(1000)) && line->find(" " + t->Clock + " ") == std::string::npos) {
    }
    ASSERT_TRUE(line);
    long long began = 0;
    ASSERT_EQ(std::sscanf(line->c_str(), "sent %lld", &began), 1);
    // Nine characters of 260 µs at 38400 8N1: the last one cannot be through before 2.3 ms have gone
    // since the device began the frame (a pty without pacing hands it over after the first).
    EXPECT_GE(complete - began, 2300 * 1000);

    // The stamp is the start of the device's second, 250 ms after the start of the host's own.
    timespec rt{};
    clock_gettime(CLOCK_REALTIME, &rt);
    const int64_t hostNsAtBegan = (rt.tv_sec * 1'000'000'000LL + rt.tv_nsec) - (NowNs() - began);
    EXPECT_NEAR(static_cast<double>((hostNsAtBegan % 1'000'000'000LL) / kMs), 750, 5);
    const time_t deviceSecond = static_cast<time_t>((hostNsAtBegan + 750 * kMs) / 1'000'000'000LL);
    tm local{};
    localtime_r(&deviceSecond, &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
    EXPECT_EQ(t->Clock, clock);
}

struct TCommandCase {
    std::string Name;
    std::vector<std::string> Args;    // after --tod 10:00:00
    std::string Control;              // stdin line sent before the commands, if any
    std::vector<std::string> Pieces;  // hex, written to the line one after the other, 10 ms apart
    std::vector<std::string> Lines;   // stdout lines expected, in order
    std::string Zone;                 // hex of the zone answer sent before the next time frame, if any
    std::string NextClock;            // of the next time frame
};

TBytes FromHex(const std::string& hex) {
    TBytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 3)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

TEST(SimulatorCommands, AnsweredAndApplied) {
    // Query zone; set 01:02:03 (good and bad CRC); set 24:00:00; set zone -05:30:00.
    const std::string q = "E2 E4 0C 03 53", st = "E2 E4 0B 03 01 02 03 16", stBad = "E2 E4 0B 03 01 02 03 17",
                      st24 = Hex(WithCrc({0xE2, 0xE4, 0x0B, 0x03, 24, 0, 0})), sz = "E2 E4 0A 03 85 1E 00 64";
    const std::vector<TCommandCase> cases = {
        {"zone query, default +3", {}, "", {q}, {"cmd " + q}, "03 00 00", "10:00:01"},
        {"zone from stdin, clock stays", {}, "zone -020030", {q}, {"cmd " + q}, "82 00 1E", "10:00:01"},
        {"set-time: next second shows value + 1", {}, "", {st}, {"cmd " + st}, "", "01:02:04"},
        {"set-time split over two writes", {}, "", {st.substr(0, 8), st.substr(9)}, {"cmd " + st}, "", "01:02:04"},
        {"set-time 24:00:00 not applied", {}, "", {st24}, {"cmd " + st24}, "", "10:00:01"},
        {"set-zone from +3 moves the clock 8:30 back",
         {},
         "",
         {sz, q},
         {"cmd " + sz, "cmd " + q},
         "85 1E 00",
         "01:30:01"},
        {"bad CRC: set-time not applied", {}, "", {stBad}, {"badcmd " + stBad}, "", "10:00:01"},
        {"junk before a query, resynchronised",
         {},
         "",
         {"00 E2 17 " + q},
         {"badcmd 00 E2 17", "cmd " + q},
         "03 00 00",
         "10:00:01"},
        {"unknown command code skipped", {}, "", {"E2 E4 0D 03 00"}, {"badcmd E2 E4 0D 03 00"}, "", "10:00:01"},
    };
    RunInParallel<TCommandCase>(cases, [](const TCommandCase& c) {
        std::vector<std::string> args = {"--tod", "10:00:00"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        TSim sim(args);
        if (!c.Control.empty()) sim.Process.Command(c.Control);
        ASSERT_TRUE(sim.NextTimeFrame(2000)) << c.Name;
        for (const auto& p : c.Pieces) {
            sim.Send(FromHex(p));
            usleep(10'000);
        }
        for (const auto& l : c.Lines)
            EXPECT_EQ(sim.Process.ReadLine(1000).value_or("<none>"), l) << c.Name;
        TBytes answer;
        std::optional<TTimeFrame> next;
        while (!next) {
            auto chunk = sim.NextChunk(1500);
            if (!chunk) break;
            next = DecodeTimeFrame(chunk->Bytes);
            if (!next) answer.insert(answer.end(), chunk->Bytes.begin(), chunk->Bytes.end());
        }
        EXPECT_EQ(Hex(answer), c.Zone.empty() ? "" : Hex(WithCrc(FromHex("E2 E4 0C 03 " + c.Zone)))) << c.Name;
        ASSERT_TRUE(next) << c.Name;
        EXPECT_EQ(next->Clock, c.NextClock) << c.Name;
        EXPECT_FALSE(sim.Process.ReadLine(50)) << c.Name << ": stray output line";
    });
}

struct TFaultCase {
    std::string Name;
    std::vector<std::string> Args;
    std::string Control;
    // Gets the last good frame before the control line, its arrival, and what came in the 2.6 s after it.
    std::function<void(const TTimeFrame&, const std::vector<TChunk>&, int64_t)> Check;
};

TBytes TimeFrameBytes(const std::string& clock, int hundredths) {
    return WithCrc({0xE2, 0xE4, 0x09, 0x03, Bcd(hundredths), Bcd(std::stoi(clock.substr(6, 2))),
                    Bcd(std::stoi(clock.substr(3, 2))), Bcd(std::stoi(clock.substr(0, 2)))});
}

void ExpectFrame(const std::vector<TChunk>& ch, size_t i, const std::string& clock, bool crcOk = true) {
    ASSERT_GT(ch.size(), i);
    auto t = DecodeTimeFrame(ch[i].Bytes);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->CrcOk, crcOk);
    EXPECT_EQ(t->Clock, clock);
}

TEST(SimulatorFaults, StdinCommandsDoWhatTheySay) {
    const std::vector<std::string> base = {"--tod", "07:00:00"};
    using TChunks = std::vector<TChunk>;
    std::vector<TFaultCase> cases = {
        {"badcrc: one frame with a wrong CRC", base, "badcrc",
         [](const TTimeFrame& f, const TChunks& ch, int64_t) {
             ExpectFrame(ch, 0, AddSeconds(f.Clock, 1), false);
             ExpectFrame(ch, 1, AddSeconds(f.Clock, 2));
         }},
        {"short: next frame cut after 5 bytes", base, "short",
         [](const TTimeFrame& f, const TChunks& ch, int64_t) {
             ASSERT_GE(ch.size(), 1u);
             TBytes full = TimeFrameBytes(AddSeconds(f.Clock, 1), 50);
             EXPECT_EQ(ch[0].Bytes, TBytes(full.begin(), full.begin() + 5));
             ExpectFrame(ch, 1, AddSeconds(f.Clock, 2));
         }},
        {"midframe: only the last 4 bytes", base, "midframe",
         [](const TTimeFrame& f, const TChunks& ch, int64_t) {
             ASSERT_GE(ch.size(), 1u);
             TBytes full = TimeFrameBytes(AddSeconds(f.Clock, 1), 50);
             EXPECT_EQ(ch[0].Bytes, TBytes(full.end() - 4, full.end()));
             ExpectFrame(ch, 1, AddSeconds(f.Clock, 2));
         }},
        {"badtype: 8 bytes of type 0x33 with a good CRC, now", base, "badtype",
         [](const TTimeFrame& f, const TChunks& ch, int64_t) {
             ASSERT_GE(ch.size(), 1u);
             ASSERT_EQ(ch[0].Bytes.size(), 8u);
             EXPECT_EQ(ch[0].Bytes[2], 0x33);
             EXPECT_EQ(Crc8(ch[0].Bytes.data(), 8), 0);
             ExpectFrame(ch, 1, AddSeconds(f.Clock, 1));
         }},
        {"garbage 7: seven bytes now", base, "garbage 7",
         [](const TTimeFrame& f, const TChunks& ch, int64_t) {
             ASSERT_GE(ch.size(), 1u);
             EXPECT_EQ(ch[0].Bytes.size(), 7u);
             ExpectFrame(ch, 1, AddSeconds(f.Clock, 1));
         }},
        {"tod jumps: next frame shows it", base, "tod 08:15:30",
         [](const TTimeFrame&, const TChunks& ch, int64_t) {
             ExpectFrame(ch, 0, "08:15:30");
             ExpectFrame(ch, 1, "08:15:31");
         }},
        {"phase 70: later in the second, still one frame a second", base, "phase 70",
         [](const TTimeFrame& f, const TChunks& ch, int64_t sentAt) {
             ExpectFrame(ch, 0, AddSeconds(f.Clock, 1));
             EXPECT_EQ(DecodeTimeFrame(ch[0].Bytes)->Hundredths, 70);
             // The line was sent just after hundredth 50: the next frame is at hundredth 70 of the next second.
             EXPECT_NEAR(static_cast<double>(ch[0].ArrivalNs - sentAt), 1200.0 * kMs, 150.0 * kMs);
         }},
        {"unknown control line changes nothing", base, "bogus 12",
         [](const TTimeFrame& f, const TChunks& ch, int64_t) {
             ExpectFrame(ch, 0, AddSeconds(f.Clock, 1));
             ExpectFrame(ch, 1, AddSeconds(f.Clock, 2));
         }},
    };
    RunInParallel<TFaultCase>(cases, [](const TFaultCase& c) {
        TSim sim(c.Args);
        auto first = sim.NextTimeFrame(2000);
        ASSERT_TRUE(first) << c.Name;
        int64_t sentAt = NowNs();
        sim.Process.Command(c.Control);
        std::vector<TChunk> chunks;
        while (NowNs() - sentAt < 2600 * kMs) {
            auto chunk = sim.NextChunk(static_cast<int>((2600 * kMs - (NowNs() - sentAt)) / kMs) + 1);
            if (chunk) chunks.push_back(*chunk);
        }
        SCOPED_TRACE(c.Name);
        c.Check(*first, chunks, sentAt);
    });
}

TEST(SimulatorLifecycle, EndsCleanlyAndRemovesItsLink) {
    namespace fs = std::filesystem;
    const std::string dir = ::testing::TempDir() + "/simlife" + std::to_string(getpid());
    fs::create_directories(dir);
    const std::vector<std::pair<std::string, std::function<void(TSimProcess&)>>> cases = {
        {"quit", [](TSimProcess& s) { s.Command("quit"); }},
        {"SIGTERM", [](TSimProcess& s) { kill(s.Pid(), SIGTERM); }},
        {"SIGINT", [](TSimProcess& s) { kill(s.Pid(), SIGINT); }},
        {"SIGHUP", [](TSimProcess& s) { kill(s.Pid(), SIGHUP); }},
    };
    for (const auto& [name, end] : cases) {
        const std::string link = dir + "/line-" + name;
        fs::create_symlink("/nonexistent", link);  // an old link is replaced
        TSim sim({"--link", link, "--tod", "01:00:00"});
        EXPECT_EQ(fs::read_symlink(link).string(), sim.Process.PtyPath()) << name;
        ASSERT_TRUE(sim.NextTimeFrame(2000)) << name;
        end(sim.Process);
        EXPECT_EQ(sim.Process.WaitExit(2000), std::optional<int>(0)) << name;
        EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << name;
    }
    fs::remove_all(dir);
}

TEST(SimulatorLifecycle, EndOfStdinKeepsItRunning) {
    TSim sim({"--tod", "01:00:00"});
    sim.Process.CloseCommands();
    ASSERT_TRUE(sim.NextTimeFrame(2000));
    ASSERT_TRUE(sim.NextTimeFrame(1500));
    EXPECT_FALSE(sim.Process.WaitExit(0));
}

TEST(SimulatorLifecycle, EndsWithItsParentUnlessToldToOutliveIt) {
    namespace fs = std::filesystem;
    const std::string dir = ::testing::TempDir() + "/simparent" + std::to_string(getpid());
    fs::create_directories(dir);
    for (const bool outlive : {false, true}) {
        SCOPED_TRACE(outlive ? "--outlive-parent" : "default");
        const std::string link = dir + "/line", out = dir + "/out", pid = dir + "/pid";
        // The shell starts the simulator in the background and ends.
        const std::string cmd = "sh -c '\"" + std::string(TAMBERLINE_SIM) + "\" --link " + link +
                                (outlive ? " --outlive-parent" : "") + " > " + out + " & echo $! >" + pid +
                                "; sleep 0.5'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        std::string first;
        std::getline(std::ifstream(out), first);
        EXPECT_EQ(first.rfind("/dev/pts/", 0), 0u);
        bool gone = false;
        for (int i = 0; i < 100 && !gone; ++i, usleep(10'000))
            gone = !fs::exists(fs::symlink_status(link));
        EXPECT_EQ(gone, !outlive);
        pid_t simPid = 0;
        std::ifstream(pid) >> simPid;
        if (outlive && simPid > 0) {
            // Ended as a script would end it, it still removes its link.
            kill(simPid, SIGTERM);
            for (int i = 0; i < 200 && !gone; ++i, usleep(10'000))
                gone = !fs::exists(fs::symlink_status(link));
            EXPECT_TRUE(gone);
        }
    }
    fs::remove_all(dir);
}

TEST(SimulatorLifecycle, CommandLineAnswers) {
    ExpectOptionCases(TAMBERLINE_SIM,
                      {
                          {"help: options, stdin commands and lifetime",
                           {"--help"},
                           0,
                           true,
                           {"Usage: tamberline-sim", "--outlive-parent", "sync off", "quit"}},
                          {"-h, after a good option and before a bad one",
                           {"--tod", "01:00:00", "-h", "--bogus"},
                           0,
                           true,
                           {"Usage: tamberline-sim"}},
                          {"version", {"--version"}, 0, true, {"tamberline-sim " TAMBERLINE_VERSION "\n"}},
                          {"unknown option", {"--bogus"}, 2, false, {"--bogus", "tamberline-sim --help"}},
                          {"bad value before --help", {"--phase", "100", "--help"}, 2, false, {"--phase"}},
                      });
}

TEST(SimulatorLifecycle, BadCommandLineRefused) {
    std::string dir = ::testing::TempDir() + "/simargs" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    std::string file = dir + "/precious";
    std::ofstream(file) << "keep me";
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"phase 100", {"--phase", "100"}},
        {"phase text", {"--phase", "5x"}},
        {"tod 24:00:00", {"--tod", "24:00:00"}},
        {"tod short", {"--tod", "1:00:00"}},
        {"zone +13", {"--zone", "+130000"}},
        {"zone no sign", {"--zone", "030000"}},
        {"unknown option", {"--bogus"}},
        {"link without path", {"--link"}},
        {"badcrc-every 0", {"--badcrc-every", "0"}},
        {"link onto a regular file", {"--link", file}},
        {"offset beside tod", {"--offset", "250", "--tod", "01:00:00"}},
        {"offset text", {"--offset", "250ms"}},
    };
    // A refused command line ends the program before it prints a pty path.
    for (const auto& [name, args] : cases)
        EXPECT_THROW(TSimProcess(TAMBERLINE_SIM, args, 2000), std::runtime_error) << name;
    std::ifstream in(file);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tamberline
