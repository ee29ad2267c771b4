// Fakes for the program core's tests: a recording Timer1, a settable system clock, and one
// fixture with a real TComPort on a pseudo-terminal and the whole core around it.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "clock/program_core.h"
#include "device/fake_main_view.h"
#include "support/fake_os.h"
#include "support/pty_pair.h"

namespace tamberline::test {

class TFakeTimer : public TTimer1 {
  public:
    uint32_t Ms = 1000;
    bool On = false;
    TMonoTime ArmedFrom{};  // start of the running countdown

    void SetInterval(uint32_t ms, TMonoTime from) override {
        if (ms == Ms) return;
        Ms = ms;
        if (On) ArmedFrom = from;
    }
    void SetEnabled(bool on, TMonoTime from) override {
        if (on && !On) ArmedFrom = from;
        On = on;
    }
    uint32_t Interval() const override { return Ms; }
    bool Enabled() const override { return On; }
};

using Bytes = std::vector<uint8_t>;

// What the port wrote, as "E2 E4 0C 03 53" (the simulator's notation); "" when nothing came.
inline std::string ReadHex(TPtyPair& pty, int waitMs = 50) {
    std::string out;
    char b[4];
    for (const unsigned char c : pty.ReadAvailable(waitMs)) {
        std::snprintf(b, sizeof b, "%02X ", c);
        out += b;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

// The program's own port settings on the pty slave, no receive events (tests read directly), and
// the core with a recording view, a fake Timer1 and a fake PC clock. The device clock shows
// 10:20:30, synchronised, PC sync every hour.
class CoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ConfigureComPort1(port);
        port.SetPort(pty.SlavePath());
        port.Events = 0;
        port.Open();
        SetClock(10, 20, 30);
        state.SyncroHours = 1, state.SputSync = 1;
    }
    void SetClock(int hh, int mm, int ss) { state.ClockHH = hh, state.ClockMM = mm, state.ClockSS = ss; }
    void Send(const Bytes& b) { pty.Write(b.data(), b.size()); }
    // Sends and waits until the bytes wait in the port's queue: a pty hands them over a moment later.
    void SendQueued(const Bytes& b) {
        const int want = port.InputCount() + static_cast<int>(b.size());
        Send(b);
        for (int i = 0; i < 1000 && port.InputCount() < want; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    TPtyPair pty;
    TComPort port;
    TSharedState state;
    TFakeMainView view;
    TFakeTimer timer, linkTimer;
    TFakeClock clock;
    std::vector<std::string> recorded;  // "Last Syncro" values written to the settings file
    bool failRecord = false;
    TProgramCore core{{state, view, port, timer, linkTimer, clock, [this](const std::string& s) {
                           if (failRecord) throw std::runtime_error("Unable to write to /x/Settings.INI");
                           recorded.push_back(s);
                       }}};
};

}  // namespace tamberline::test
