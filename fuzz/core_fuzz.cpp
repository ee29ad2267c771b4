// The device link with the whole core around it, fed whatever a noisy line can bring: the port over an
// in-memory line, the receive handler, the second tick, the commands and the PC clock setting against
// the fake clock. Checked on every input:
//   - each receive event with bytes waiting takes at least one of them (the reader never stalls);
//   - after a silence, a correct time frame is applied exactly once and the tick shows its next second;
//   - the computer's clock is only ever set to a possible date and time, to the second the tick shows;
//   - what goes to the device is whole command frames with a correct CRC.
//
// Input: one set-up byte, then bursts, each a length byte and that many bytes that arrive together;
// between two bursts the line is silent for longer than a started frame may wait.
// Set-up byte: bits 0..2 the request stored again whenever the slot is empty (0..5; 6, 7 none),
// bit 3 summer time, bits 4..7 the PC synchronisation period (index into kPeriods).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/startup.h"
#include "clock/program_core.h"
#include "device/core_fakes.h"
#include "device/crc8.h"
#include "serial/delivery.h"
#include "serial/fake_backend.h"

namespace tamberline {
namespace {

// The periods the dialog offers, then values a hand-edited settings file may hold.
constexpr uint8_t kPeriods[16] = {1, 2, 3, 4, 6, 8, 12, 24, 0, 5, 7, 23, 25, 100, 200, 255};

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "core_fuzz: %s\n", what);
    std::abort();
}

void Require(bool ok, const char* what) {
    if (!ok) Finding(what);
}

// The line as the port sees it: the burst that has arrived so far, and everything the program wrote.
class TMemoryLine : public TFakeBackend {
  public:
    explicit TMemoryLine(TFakeLog& log) : TFakeBackend(log) {}
    int Read(void* buf, int count, int, int& got) override {
        got = static_cast<int>(std::min<size_t>(count, Waiting()));
        std::memcpy(buf, Burst.data() + Taken, got);
        Taken += got;
        return 0;
    }
    int Write(const void* buf, int count, int& done) override {
        const auto* b = static_cast<const uint8_t*>(buf);
        Written.insert(Written.end(), b, b + count);
        done = count;
        return 0;
    }
    int InputCount(int& count) override {
        count = static_cast<int>(Waiting());
        return 0;
    }
    size_t Waiting() const { return Burst.size() - Taken; }
    void Arrive(const uint8_t* data, size_t size) {
        Burst.assign(data, data + size);
        Taken = 0;
    }

    std::vector<uint8_t> Burst, Written;
    size_t Taken = 0;
};

int DaysIn(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool Possible(const TLocalDateTime& t) {
    return t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= DaysIn(t.Year, t.Month) && t.Hour >= 0 &&
           t.Hour <= 23 && t.Minute >= 0 && t.Minute <= 59 && t.Second >= 0 && t.Second <= 59 && t.Millisecond == 0;
}

int Number(const std::string& twoDigits) {
    return std::atoi(twoDigits.c_str());
}

// Whole command frames: start bytes, a known command, the fixed byte, its payload and a CRC over it all.
void CheckCommands(const std::vector<uint8_t>& w) {
    for (size_t i = 0; i < w.size();) {
        Require(w.size() - i >= 5 && w[i] == kFrameStart0 && w[i + 1] == kFrameStart1 && w[i + 3] == kFrameFixed,
                "a command frame that does not start as one");
        const uint8_t code = w[i + 2];
        Require(code == kCmdSetZone || code == kCmdSetTime || code == kCmdZoneQuery, "unknown command");
        const size_t size = code == kCmdZoneQuery ? 5 : 8;
        Require(w.size() - i >= size, "a command frame cut short");
        Require(Crc8(&w[i], size) == 0, "a command frame with a wrong CRC");
        i += size;
    }
}

class TRig {
  public:
    explicit TRig(uint8_t setup) : request_(setup & 7) {
        ConfigureComPort1(port_);
        port_.Events = 0;  // no event thread: deliveries are made here, as the thread would make them
        port_.OnRxChar = [this](TCustomComPort& p, int n) { core_.ComPort1RxChar(p, n); };
        port_.Open();
        state_.ZonePlus = 1;
        state_.FillNewTime = 1;
        state_.PendingAction = paZoneQuery;
        state_.SyncroHours = kPeriods[setup >> 4];
        view_.SumWnt = (setup & 8) ? 1 : 0;
        clock_.Current = {2024, 12, 31, 23, 59, 58, 700, 2};  // a year's end: the date rule has work to do
    }

    // A burst arrives and is reported once; the port asks for the report again while bytes wait, as
    // the event thread then delivers it again, and the tick comes when Timer1 runs out, after the
    // burst has been read.
    void Arrive(const uint8_t* data, size_t size) {
        line_->Arrive(data, size);
        for (bool again = line_->Waiting() > 0; again;) {
            const size_t before = line_->Taken;
            again = port_.HandleEvents(ComEventBit(evRxChar), Next());
            Require(line_->Taken > before, "a receive event with bytes waiting took none of them");
        }
        Require(line_->Waiting() == 0, "bytes left unread once the deliveries stopped");
        if (timer_.On) Tick();
    }

    void Tick() {
        const size_t setsBefore = clock_.Sets.size();
        core_.Timer1Timer();
        Require(!timer_.On, "the tick left Timer1 armed");
        for (size_t i = setsBefore; i < clock_.Sets.size(); ++i) {
            const TLocalDateTime& t = clock_.Sets[i];
            if (!Possible(t)) {
                std::fprintf(stderr, "core_fuzz: clock set to %04d-%02d-%02d %02d:%02d:%02d.%03d\n", t.Year, t.Month,
                             t.Day, t.Hour, t.Minute, t.Second, t.Millisecond);
                Finding("an impossible date or time reached the computer's clock");
            }
            Require(t.Hour == Number(view_.HH) && t.Minute == Number(view_.MM) && t.Second == Number(view_.SS),
                    "the computer's clock set to a second other than the one shown");
        }
        if (state_.PendingAction == paNone && request_ >= paScheduledSync && request_ <= paZoneQuery)
            state_.PendingAction = request_;
    }

    // A correct time frame after a silence: read whole, applied once, shown by the next tick.
    void CheckFrameAfterSilence() {
        constexpr uint8_t kFrame[9] = {0x00, 0x00, kMsgTime, 0x00, 0x50, 0x42, 0x37, 0x13, 0x00};
        uint8_t frame[9];
        std::memcpy(frame, kFrame, sizeof frame);
        frame[8] = Crc8(frame, 8);
        const size_t modesBefore = view_.ModeCalls.size();
        line_->Arrive(frame, sizeof frame);
        port_.HandleEvents(ComEventBit(evRxChar), Next());
        Require(line_->Waiting() == 0, "a correct frame after a silence not read whole");
        Require(view_.ModeCalls.size() == modesBefore + 1, "a correct frame after a silence not applied exactly once");
        Require(state_.ClockHH == 13 && state_.ClockMM == 37 && state_.ClockSS == 42 && state_.SputSync == 1,
                "a correct frame after a silence applied wrongly");
        Require(timer_.On && timer_.Ms == 500, "a correct frame after a silence did not arm the tick");
        Tick();
        Require(view_.HH == "13" && view_.MM == "37" && view_.SS == "43", "the tick after it shows another second");
    }

    void CheckWritten() const { CheckCommands(line_->Written); }

  private:
    TMonoTime Next() { return now_ += std::chrono::milliseconds(1); }
    std::unique_ptr<TComBackend> MakeLine() {
        auto line = std::make_unique<TMemoryLine>(log_);
        line_ = line.get();
        return line;
    }

    uint8_t request_;
    TMonoTime now_{};
    TFakeLog log_;
    TMemoryLine* line_ = nullptr;
    TComPort port_{MakeLine()};
    TSharedState state_;
    test::TFakeMainView view_;
    test::TFakeTimer timer_;
    test::TFakeTimer linkTimer_;
    test::TFakeClock clock_;
    TProgramCore core_{{state_, view_, port_, timer_, linkTimer_, clock_, [](const std::string&) {}}};
};

}  // namespace
}  // namespace tamberline

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every error inside a delivery is a finding: the in-memory line never fails.
    tamberline::SetApplicationErrorHandler([](const std::exception& e) {
        std::fprintf(stderr, "core_fuzz: error inside a delivery: %s\n", e.what());
        std::abort();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tamberline;
    if (size == 0) return 0;
    TRig rig(data[0]);
    for (size_t i = 1; i < size;) {
        const size_t n = std::min<size_t>(data[i], size - i - 1);
        rig.Arrive(data + i + 1, n);
        i += 1 + n;
    }
    rig.CheckFrameAfterSilence();
    rig.CheckWritten();
    return 0;
}
