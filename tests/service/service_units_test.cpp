// The headless program's own pieces: its command line, its settings section, the chrony sample, the
// sample stream, and what its log says of the clock.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "clock/clock_texts.h"
#include "service/chrony_feed.h"
#include "service/service_settings.h"
#include "service/service_view.h"
#include "support/program_run.h"

namespace tamberline {
namespace {

TEST(ServiceCommandLine, AnswersHelpAndVersionAndRefusesTheRest) {
    ExpectOptionCases(TAMBERLINED,
                      {
                          {"help", {"--help"}, 0, true, {"Usage: tamberlined", "Settings.INI", "--version"}},
                          {"version", {"--version"}, 0, true, {"tamberlined " TAMBERLINE_VERSION "\n"}},
                          {"unknown option", {"--bogus"}, 2, false, {"--bogus", "tamberlined --help"}},
                          {"a settings path is no argument", {"/etc/Settings.INI"}, 2, false, {"--help"}},
                      });
}

class SettingsDir : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::path(::testing::TempDir()) /
              ("svc-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir);
        path = (dir / "Settings.INI").string();
        std::filesystem::remove(path);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void Write(const std::string& service) {
        std::ofstream(path) << "[ComPortSettings]\nComPort=ttyS0\n[Service]\n" << service;
    }
    std::filesystem::path dir;
    std::string path;
};

TEST_F(SettingsDir, ServiceSectionIsReadOrRefused) {
    // No file at all: the window's defaults plus step mode, which needs nothing else.
    EXPECT_EQ(ReadServiceSettings(path).Mode, TServiceMode::Step);

    Write("mode = Chrony\nChronySocket=/run/chrony.ttyUSB0.sock\nOffsetMs=-12\n");
    const TServiceSettings s = ReadServiceSettings(path);
    EXPECT_EQ(s.Mode, TServiceMode::Chrony);
    EXPECT_EQ(s.ChronySocket, "/run/chrony.ttyUSB0.sock");
    EXPECT_EQ(s.OffsetMs, -12);

    // A guess would either fight another time service or feed nobody: each of these stops the start,
    // and the message names the line.
    for (const std::string bad : {"Mode=chronyd", "ChronySocket=chrony.sock", "OffsetMs=5ms", "OffsetMs=501"}) {
        Write(bad + "\n");
        try {
            ReadServiceSettings(path);
            ADD_FAILURE() << bad << " was taken";
        } catch (const EServiceSettings& e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
        }
    }
}

// Friday 15.03.2024, local time = UTC + 3 h.
TRealtimeMoment At(int day, int hh, int mm, int ss, int micros) {
    const int64_t utcSec =
        1710460800 /* 15.03.2024 00:00 UTC */ + (day - 15) * 86400 + hh * 3600 + mm * 60 + ss - 3 * 3600;
    TRealtimeMoment m;
    m.UtcUs = utcSec * 1'000'000 + micros;
    m.Local = {2024, 3, day, hh, mm, ss, micros / 1000, (5 + day - 15) % 7};
    m.MicrosIntoSecond = micros;
    return m;
}

TEST(ChronySample, DeviceTimeAgainstTheSystemsAtTheSameInstant) {
    struct Case {
        const char* name;
        TRealtimeMoment pc;
        int hh, mm, ss;
        double wantOffset;
    };
    const Case cases[] = {
        {"a quarter second ahead", At(15, 10, 20, 30, 750000), 10, 20, 31, 0.25},
        {"a little behind", At(15, 10, 20, 30, 250), 10, 20, 30, -0.000250},
        {"device still before midnight", At(16, 0, 0, 0, 500000), 23, 59, 59, -1.5},
    };
    for (const auto& c : cases) {
        const auto s = MakeChronySample(c.pc, c.hh, c.mm, c.ss);
        ASSERT_TRUE(s) << c.name;
        EXPECT_NEAR(s->Offset, c.wantOffset, 1e-9) << c.name;
        EXPECT_EQ(s->TvSec * 1'000'000 + s->TvUsec, c.pc.UtcUs) << c.name;
        EXPECT_TRUE(s->TvUsec >= 0 && s->TvUsec < 1'000'000) << c.name;
    }
    EXPECT_FALSE(MakeChronySample(At(15, 10, 0, 0, 0), 24, 0, 0)) << "hours byte 0x24 is no time of day";
}

class TRecordingSocket : public TChronySocket {
  public:
    int Error = 0;  // what the next sends answer
    std::vector<TChronySample> Sent;
    int Tries = 0;
    int Send(const TChronySample& s) override {
        ++Tries;
        if (Error == 0) Sent.push_back(s);
        return Error;
    }
};

class TFixedRealtime : public TRealtimeClock {
  public:
    TRealtimeMoment At(TMonoTime) override { return ::tamberline::At(15, 10, 20, 31, 0); }
};

TEST(ChronyFeed, SamplesOnlyWhileSynchronisedAndCurrentRefusalsSaidOnce) {
    TRecordingSocket socket;
    TFixedRealtime realtime;
    std::vector<std::string> log;
    TChronyFeed feed(socket, realtime, "/run/x.sock", [&](const std::string& l) { log.push_back(l); });
    TSharedState s;
    s.ClockHH = 10, s.ClockMM = 20, s.ClockSS = 31;
    struct Step {
        const char* name;
        uint8_t sync;
        bool current;
        int error;
        int wantTries;   // sends tried so far
        size_t wantLog;  // log lines so far
    };
    const Step steps[] = {
        {"synchronised: the stream starts", 1, true, 0, 1, 1},
        {"and goes on quietly", 1, true, 0, 2, 1},
        {"autonomous: nothing sent", 0, true, 0, 2, 2},
        {"chronyd not there yet", 1, true, ENOENT, 3, 3},
        {"tried again each second, said once", 1, true, ENOENT, 4, 3},
        {"chronyd there: the stream starts again", 1, true, 0, 5, 4},
        {"a newer frame waits: nothing sent", 1, false, 0, 5, 5},
    };
    for (const auto& st : steps) {
        s.SputSync = st.sync;
        socket.Error = st.error;
        feed.Tick(s, st.current, TMonoTime{});
        EXPECT_EQ(socket.Tries, st.wantTries) << st.name;
        EXPECT_EQ(log.size(), st.wantLog) << st.name << ": " << (log.empty() ? "" : log.back());
    }
    ASSERT_EQ(socket.Sent.size(), 3u);
    EXPECT_DOUBLE_EQ(socket.Sent[0].Offset, 0.0);
    EXPECT_NE(log[2].find("No such file"), std::string::npos) << log[2];
}

// After start-up each text of the clock's panel is news: the clock set, or refused for want of the right.
TEST(ServiceView, RefusedClockIsLoggedAsARefusal) {
    std::vector<std::string> log;
    TServiceView view([&](const std::string& l) { log.push_back(l); });
    view.StartupDone();
    view.SetStatusText(1, LastSyncroText("15.03.2024 10:20"));
    view.SetStatusText(1, kNoClockRightText);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("15.03.2024 10:20"), std::string::npos) << log[0];
    EXPECT_EQ(log[1].rfind(kLogWarning + "часы компьютера не установлены", 0), 0u) << log[1];
}

}  // namespace
}  // namespace tamberline
