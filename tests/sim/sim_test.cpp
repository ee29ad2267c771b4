// The simulator as other tests see it: frames on its line, commands answered, faults on request.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "device/crc8.h"
#include "sim_runner.h"

namespace tamberline::simtest {
namespace {

using TBytes = std::vector<uint8_t>;

uint8_t Bcd(int v) {
    return static_cast<uint8_t>((v / 10) << 4 | (v % 10));
}

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

constexpr int64_t kMs = 1'000'000;  // ns

struct TFrameCase {
    std::string Name;
    std::vector<std::string> Args;
    std::vector<std::string> Clocks;  // of the first frames
    int Hundredths;
    bool NoSync;
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
        {"phase 99, last hundredth",
         {"--tod", "09:59:58", "--phase", "99"},
         {"09:59:58", "09:59:59", "10:00:00"},
         99,
         false},
        {"default phase 50", {"--tod", "00:00:00"}, {"00:00:00", "00:00:01", "00:00:02"}, 50, false},
    };
    RunInParallel<TFrameCase>(cases, [](const TFrameCase& c) {
        TSimRun sim(c.Args);
        EXPECT_EQ(sim.FirstLine().rfind("/dev/pts/", 0), 0u) << c.Name << ": " << sim.FirstLine();
        int64_t previous = 0;
        for (size_t i = 0; i < c.Clocks.size(); ++i) {
            auto chunk = sim.NextChunk(2000);
            ASSERT_TRUE(chunk) << c.Name << ": frame " << i << " missing";
            auto t = DecodeTimeFrame(chunk->Bytes);
            ASSERT_TRUE(t) << c.Name << ": not a 9-byte time frame";
            EXPECT_TRUE(t->CrcOk) << c.Name;
            EXPECT_EQ(t->Clock(), c.Clocks[i]) << c.Name;
            EXPECT_EQ(t->Hundredths, c.Hundredths) << c.Name;
            EXPECT_EQ(t->NoSync, c.NoSync) << c.Name;
            if (i == 0) {
                // The first second starts with the program; its frame leaves at the phase.
                int64_t after = chunk->ArrivalNs - sim.StartNs();
                EXPECT_GE(after, c.Hundredths * 10 * kMs - 5 * kMs) << c.Name;
                EXPECT_LE(after, c.Hundredths * 10 * kMs + 400 * kMs) << c.Name;
            } else {
                int64_t gap = chunk->ArrivalNs - previous;
                EXPECT_NEAR(static_cast<double>(gap), 1000.0 * kMs, 100.0 * kMs) << c.Name << ": frame " << i;
            }
            previous = chunk->ArrivalNs;
        }
    });
}

TEST(SimulatorFrames, WithoutTodFollowsHostClock) {
    TSimRun sim({"--phase", "0"});
    auto t = sim.NextTimeFrame(2500);
    ASSERT_TRUE(t);
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    int host = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    int dev = t->Hours * 3600 + t->Minutes * 60 + t->Seconds;
    int diff = std::abs(host - dev);
    EXPECT_LE(std::min(diff, 86400 - diff), 1);
}

struct TCommandCase {
    std::string Name;
    std::vector<std::string> Args;
    std::string Control;             // stdin line sent before the commands, if any
    std::vector<TBytes> Pieces;      // written to the line one after the other, 10 ms apart
    std::vector<std::string> Lines;  // stdout lines expected, in order
    TBytes Answer;                   // bytes the device sends back before the next time frame
    std::string NextClock;           // clock of the next time frame
};

const TBytes kQuery = {0xE2, 0xE4, 0x0C, 0x03, 0x53};

TEST(SimulatorCommands, AnsweredAndApplied) {
    std::vector<TCommandCase> cases = {
        {"zone query, default +3",
         {"--tod", "10:00:00"},
         "",
         {kQuery},
         {"cmd E2 E4 0C 03 53"},
         WithCrc({0xE2, 0xE4, 0x0C, 0x03, 0x03, 0x00, 0x00}),
         "10:00:01"},
        {"zone query, --zone -053000",
         {"--tod", "10:00:00", "--zone", "-053000"},
         "",
         {kQuery},
         {"cmd E2 E4 0C 03 53"},
         WithCrc({0xE2, 0xE4, 0x0C, 0x03, 0x85, 0x1E, 0x00}),
         "10:00:01"},
        {"zone from stdin, clock stays",
         {"--tod", "10:00:00"},
         "zone -020030",
         {kQuery},
         {"cmd E2 E4 0C 03 53"},
         WithCrc({0xE2, 0xE4, 0x0C, 0x03, 0x82, 0x00, 0x1E}),
         "10:00:01"},
        {"set-time: next second shows value + 1",
         {"--tod", "10:00:00"},
         "",
         {{0xE2, 0xE4, 0x0B, 0x03, 1, 2, 3, 0x16}},
         {"cmd E2 E4 0B 03 01 02 03 16"},
         {},
         "01:02:04"},
        {"set-time split over two writes",
         {"--tod", "10:00:00"},
         "",
         {{0xE2, 0xE4, 0x0B}, {0x03, 1, 2, 3, 0x16}},
         {"cmd E2 E4 0B 03 01 02 03 16"},
         {},
         "01:02:04"},
        {"set-time 24:00:00 not applied",
         {"--tod", "10:00:00"},
         "",
         {WithCrc({0xE2, 0xE4, 0x0B, 0x03, 24, 0, 0})},
         {"cmd " + Hex(WithCrc({0xE2, 0xE4, 0x0B, 0x03, 24, 0, 0}))},
         {},
         "10:00:01"},
        {"set-zone +4 moves the clock an hour on",
         {"--tod", "10:00:00"},
         "",
         {WithCrc({0xE2, 0xE4, 0x0A, 0x03, 0x04, 0x00, 0x00}), kQuery},
         {"cmd " + Hex(WithCrc({0xE2, 0xE4, 0x0A, 0x03, 0x04, 0x00, 0x00})), "cmd E2 E4 0C 03 53"},
         WithCrc({0xE2, 0xE4, 0x0C, 0x03, 0x04, 0x00, 0x00}),
         "11:00:01"},
        {"set-zone -5:30 from +3 moves it 8:30 back",
         {"--tod", "10:00:00"},
         "",
         {{0xE2, 0xE4, 0x0A, 0x03, 0x85, 0x1E, 0x00, 0x64}, kQuery},
         {"cmd E2 E4 0A 03 85 1E 00 64", "cmd E2 E4 0C 03 53"},
         WithCrc({0xE2, 0xE4, 0x0C, 0x03, 0x85, 0x1E, 0x00}),
         "01:30:01"},
        {"bad CRC ignored",
         {"--tod", "10:00:00"},
         "",
         {{0xE2, 0xE4, 0x0C, 0x03, 0x54}},
         {"badcmd E2 E4 0C 03 54"},
         {},
         "10:00:01"},
        {"bad CRC set-time not applied",
         {"--tod", "10:00:00"},
         "",
         {{0xE2, 0xE4, 0x0B, 0x03, 1, 2, 3, 0x17}},
         {"badcmd E2 E4 0B 03 01 02 03 17"},
         {},
         "10:00:01"},
        {"junk before a query, resynchronised",
         {"--tod", "10:00:00"},
         "",
         {{0x00, 0xE2, 0x17, 0xE2, 0xE4, 0x0C, 0x03, 0x53}},
         {"badcmd 00 E2 17", "cmd E2 E4 0C 03 53"},
         WithCrc({0xE2, 0xE4, 0x0C, 0x03, 0x03, 0x00, 0x00}),
         "10:00:01"},
        {"unknown command code skipped",
         {"--tod", "10:00:00"},
         "",
         {{0xE2, 0xE4, 0x0D, 0x03, 0x00}},
         {"badcmd E2 E4 0D 03 00"},
         {},
         "10:00:01"},
    };
    RunInParallel<TCommandCase>(cases, [](const TCommandCase& c) {
        TSimRun sim(c.Args);
        if (!c.Control.empty()) sim.Control(c.Control);
        auto first = sim.NextTimeFrame(2000);
        ASSERT_TRUE(first) << c.Name;
        for (const auto& p : c.Pieces) {
            sim.Send(p);
            usleep(10'000);
        }
        for (const auto& l : c.Lines)
            EXPECT_EQ(sim.NextLine(1000).value_or("<none>"), l) << c.Name;
        TBytes answer;
        std::optional<TTimeFrame> next;
        while (!next) {
            auto chunk = sim.NextChunk(1500);
            if (!chunk) break;
            next = DecodeTimeFrame(chunk->Bytes);
            if (!next) answer.insert(answer.end(), chunk->Bytes.begin(), chunk->Bytes.end());
        }
        EXPECT_EQ(answer, c.Answer) << c.Name;
        ASSERT_TRUE(next) << c.Name;
        EXPECT_EQ(next->Clock(), c.NextClock) << c.Name;
        EXPECT_FALSE(sim.NextLine(50)) << c.Name << ": stray output line";
    });
}

struct TFaultCase {
    std::string Name;
    std::vector<std::string> Args;
    std::string Control;
    // Gets the last good frame before the control line, its arrival, and what came in the 2.6 s after it.
    std::function<void(const TTimeFrame&, const std::vector<TChunk>&, int64_t)> Check;
};

TBytes TimeFrameBytes(const std::string& clock, int hundredths, bool noSync) {
    return WithCrc({0xE2, 0xE4, 0x09, 0x03, Bcd(hundredths), Bcd(std::stoi(clock.substr(6, 2))),
                    Bcd(std::stoi(clock.substr(3, 2))),
                    static_cast<uint8_t>(Bcd(std::stoi(clock.substr(0, 2))) | (noSync ? 0x80 : 0))});
}

void ExpectGoodFrame(const TChunk& c, const std::string& clock, const std::string& name) {
    auto t = DecodeTimeFrame(c.Bytes);
    ASSERT_TRUE(t) << name;
    EXPECT_TRUE(t->CrcOk) << name;
    EXPECT_EQ(t->Clock(), clock) << name;
}

TEST(SimulatorFaults, StdinCommandsDoWhatTheySay) {
    const std::vector<std::string> base = {"--tod", "07:00:00"};
    std::vector<TFaultCase> cases = {
        {"badcrc: one frame with a wrong CRC", base, "badcrc",
         [](const TTimeFrame& f, const std::vector<TChunk>& ch, int64_t) {
             ASSERT_GE(ch.size(), 2u);
             auto t = DecodeTimeFrame(ch[0].Bytes);
             ASSERT_TRUE(t);
             EXPECT_FALSE(t->CrcOk);
             EXPECT_EQ(t->Clock(), AddSeconds(f.Clock(), 1));
             ExpectGoodFrame(ch[1], AddSeconds(f.Clock(), 2), "badcrc");
         }},
        {"short: next frame cut after 5 bytes", base, "short",
         [](const TTimeFrame& f, const std::vector<TChunk>& ch, int64_t) {
             ASSERT_GE(ch.size(), 2u);
             TBytes full = TimeFrameBytes(AddSeconds(f.Clock(), 1), 50, false);
             EXPECT_EQ(ch[0].Bytes, TBytes(full.begin(), full.begin() + 5));
             ExpectGoodFrame(ch[1], AddSeconds(f.Clock(), 2), "short");
         }},
        {"midframe: only the last 4 bytes", base, "midframe",
         [](const TTimeFrame& f, const std::vector<TChunk>& ch, int64_t) {
             ASSERT_GE(ch.size(), 2u);
             TBytes full = TimeFrameBytes(AddSeconds(f.Clock(), 1), 50, false);
             EXPECT_EQ(ch[0].Bytes, TBytes(full.end() - 4, full.end()));
             ExpectGoodFrame(ch[1], AddSeconds(f.Clock(), 2), "midframe");
         }},
        {"badtype: 8 bytes of type 0x33 with a good CRC, now", base, "badtype",
         [](const TTimeFrame& f, const std::vector<TChunk>& ch, int64_t) {
             ASSERT_GE(ch.size(), 2u);
             ASSERT_EQ(ch[0].Bytes.size(), 8u);
             EXPECT_EQ(ch[0].Bytes[2], 0x33);
             EXPECT_EQ(Crc8(ch[0].Bytes.data(), 8), 0);
             ExpectGoodFrame(ch[1], AddSeconds(f.Clock(), 1), "badtype");
         }},
        {"garbage 7: seven bytes now", base, "garbage 7",
         [](const TTimeFrame& f, const std::vector<TChunk>& ch, int64_t) {
             ASSERT_GE(ch.size(), 2u);
             EXPECT_EQ(ch[0].Bytes.size(), 7u);
             ExpectGoodFrame(ch[1], AddSeconds(f.Clock(), 1), "garbage");
         }},
        {"garbage 0: nothing extra", base, "garbage 0",
         [](const TTimeFrame& f, const std::vector<TChunk>& ch, int64_t) {
             ASSERT_GE(ch.size(), 1u);
             ExpectGoodFrame(ch[0], AddSeconds(f.Clock(), 1), "garbage 0");
         }},
        {"pause 1.5: silence, time runs on", base, "pause 1.5",
         [](const TTimeFrame& f, const std::vector<TChunk>& ch, int64_t sentAt) {
             ASSERT_GE(ch.size(), 1u);
             EXPECT_GE(ch[0].ArrivalNs - sentAt, 1400 * kMs);
             ExpectGoodFrame(ch[0], AddSeconds(f.Clock(), 2), "pause");
         }},
        {"sync off sets the no-sync flag", base, "sync off",
         [](const TTimeFrame&, const std::vector<TChunk>& ch, int64_t) {
             ASSERT_GE(ch.size(), 1u);
             auto t = DecodeTimeFrame(ch[0].Bytes);
             ASSERT_TRUE(t);
             EXPECT_TRUE(t->NoSync);
             EXPECT_TRUE(t->CrcOk);
         }},
        {"sync on clears it",
         {"--tod", "07:00:00", "--nosync"},
         "sync on",
         [](const TTimeFrame& f, const std::vector<TChunk>& ch, int64_t) {
             EXPECT_TRUE(f.NoSync);
             ASSERT_GE(ch.size(), 1u);
             auto t = DecodeTimeFrame(ch[0].Bytes);
             ASSERT_TRUE(t);
             EXPECT_FALSE(t->NoSync);
         }},
        {"tod jumps: next frame shows it", base, "tod 08:15:30",
         [](const TTimeFrame&, const std::vector<TChunk>& ch, int64_t) {
             ASSERT_GE(ch.size(), 2u);
             ExpectGoodFrame(ch[0], "08:15:30", "tod");
             ExpectGoodFrame(ch[1], "08:15:31", "tod");
         }},
        {"phase 70: later in the second, still one frame a second", base, "phase 70",
         [](const TTimeFrame& f, const std::vector<TChunk>& ch, int64_t sentAt) {
             ASSERT_GE(ch.size(), 1u);
             auto t = DecodeTimeFrame(ch[0].Bytes);
             ASSERT_TRUE(t);
             EXPECT_EQ(t->Hundredths, 70);
             EXPECT_EQ(t->Clock(), AddSeconds(f.Clock(), 1));
             // The line was sent just after hundredth 50: the next frame is at hundredth 70 of the next second.
             EXPECT_NEAR(static_cast<double>(ch[0].ArrivalNs - sentAt), 1200.0 * kMs, 150.0 * kMs);
         }},
        {"unknown control line changes nothing", base, "bogus 12",
         [](const TTimeFrame& f, const std::vector<TChunk>& ch, int64_t) {
             ASSERT_GE(ch.size(), 2u);
             ExpectGoodFrame(ch[0], AddSeconds(f.Clock(), 1), "bogus");
             ExpectGoodFrame(ch[1], AddSeconds(f.Clock(), 2), "bogus");
         }},
    };
    RunInParallel<TFaultCase>(cases, [](const TFaultCase& c) {
        TSimRun sim(c.Args);
        auto first = sim.NextTimeFrame(2000);
        ASSERT_TRUE(first) << c.Name;
        int64_t sentAt = NowNs();
        sim.Control(c.Control);
        std::vector<TChunk> chunks;
        while (NowNs() - sentAt < 2600 * kMs) {
            auto chunk = sim.NextChunk(static_cast<int>((2600 * kMs - (NowNs() - sentAt)) / kMs) + 1);
            if (chunk) chunks.push_back(*chunk);
        }
        SCOPED_TRACE(c.Name);
        c.Check(*first, chunks, sentAt);
    });
}

struct TLifeCase {
    std::string Name;
    std::function<void(TSimRun&)> End;
};

TEST(SimulatorLifecycle, EndsCleanlyAndRemovesItsLink) {
    std::string dir = ::testing::TempDir() + "/simlife" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    std::vector<TLifeCase> cases = {
        {"quit", [](TSimRun& s) { s.Control("quit"); }},
        {"SIGTERM", [](TSimRun& s) { s.Signal(SIGTERM); }},
        {"SIGINT", [](TSimRun& s) { s.Signal(SIGINT); }},
        {"SIGHUP", [](TSimRun& s) { s.Signal(SIGHUP); }},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string link = dir + "/line" + std::to_string(n++);
        std::filesystem::create_symlink("/nonexistent", link);  // an old link is replaced
        TSimRun sim({"--link", link, "--tod", "01:00:00"});
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.FirstLine()) << c.Name;
        ASSERT_TRUE(sim.NextTimeFrame(2000)) << c.Name;
        c.End(sim);
        EXPECT_EQ(sim.WaitExit(2000), std::optional<int>(0)) << c.Name;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << c.Name;
    }
    std::filesystem::remove_all(dir);
}

TEST(SimulatorLifecycle, EndOfStdinKeepsItRunning) {
    TSimRun sim({"--tod", "01:00:00"});
    sim.CloseControl();
    ASSERT_TRUE(sim.NextTimeFrame(2000));
    ASSERT_TRUE(sim.NextTimeFrame(1500));
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.WaitExit(2000), std::optional<int>(0));
}

TEST(SimulatorLifecycle, DiesWithItsParent) {
    std::string dir = ::testing::TempDir() + "/simparent" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    std::string link = dir + "/line", out = dir + "/out";
    // The shell starts the simulator in the background and ends; the simulator must follow it.
    std::string cmd = "sh -c '\"" + std::string(TAMBERLINE_SIM) + "\" --link " + link + " > " + out + " & sleep 0.5'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ifstream f(out);
    std::string first;
    std::getline(f, first);
    EXPECT_EQ(first.rfind("/dev/pts/", 0), 0u);
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i, usleep(10'000))
        gone = !std::filesystem::exists(std::filesystem::symlink_status(link));
    EXPECT_TRUE(gone);
    std::filesystem::remove_all(dir);
}

struct TBadArgsCase {
    std::string Name;
    std::vector<std::string> Args;
};

TEST(SimulatorLifecycle, BadCommandLineRefused) {
    std::string dir = ::testing::TempDir() + "/simargs" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    std::string file = dir + "/precious";
    std::ofstream(file) << "keep me";
    std::vector<TBadArgsCase> cases = {
        {"phase 100", {"--phase", "100"}},
        {"phase -1", {"--phase", "-1"}},
        {"phase text", {"--phase", "5x"}},
        {"tod 24:00:00", {"--tod", "24:00:00"}},
        {"tod short", {"--tod", "1:00:00"}},
        {"zone +13", {"--zone", "+130000"}},
        {"zone no sign", {"--zone", "030000"}},
        {"unknown option", {"--bogus"}},
        {"link without path", {"--link"}},
        {"badcrc-every 0", {"--badcrc-every", "0"}},
        {"link onto a regular file", {"--link", file}},
    };
    for (const auto& c : cases) {
        TSimRun sim(c.Args);
        EXPECT_EQ(sim.FirstLine(), "") << c.Name;
        auto status = sim.WaitExit(2000);
        ASSERT_TRUE(status) << c.Name;
        EXPECT_NE(*status, 0) << c.Name;
    }
    std::ifstream in(file);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");
    std::filesystem::remove_all(dir);
}

TEST(SimulatorFrames, BadCrcEveryK) {
    TSimRun sim({"--tod", "05:00:00", "--badcrc-every", "2", "--phase", "10"});
    std::vector<bool> good;
    for (int i = 0; i < 4; ++i) {
        auto t = sim.NextTimeFrame(2000);
        ASSERT_TRUE(t);
        good.push_back(t->CrcOk);
    }
    EXPECT_EQ(good, (std::vector<bool>{true, false, true, false}));
}

TEST(SimulatorFrames, StampLinesMatchFrames) {
    TSimRun sim({"--tod", "05:00:00", "--stamp", "--phase", "30"});
    auto t = sim.NextTimeFrame(2000);
    ASSERT_TRUE(t);
    int64_t got = NowNs();
    auto line = sim.NextLine(1000);
    ASSERT_TRUE(line);
    long long ns = 0;
    char clock[16] = {};
    int hundredths = -1;
    ASSERT_EQ(std::sscanf(line->c_str(), "sent %lld %15s %d", &ns, clock, &hundredths), 3) << *line;
    EXPECT_EQ(std::string(clock), "05:00:00");
    EXPECT_EQ(hundredths, 30);
    EXPECT_LE(ns, got);
    EXPECT_GT(ns, got - 100 * kMs);
}

}  // namespace
}  // namespace tamberline::simtest
