// Fakes for the program core's tests: a recording main view, a recording Timer1, a settable
// system clock, and a pseudo-terminal pair on which a real TComPort runs.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/startup.h"
#include "clock/system_clock.h"
#include "device/timer1.h"
#include "device/view.h"
#include "serial/comport.h"

namespace tamberline::testing {

class TFakeView : public TMainView {
  public:
    std::string HH, MM, SS, ZoneHoursText, ZoneMinutesText, NewHHText, NewMMText, NewSSText;
    std::string Status[2];
    std::vector<bool> ModeCalls, TrayCalls;
    int SumWnt = 0;
    bool TimeMode = true;

    void ShowClock(const std::string& hh, const std::string& mm, const std::string& ss) override {
        HH = hh, MM = mm, SS = ss;
    }
    void ApplyOperatingMode(bool synchronised) override { ModeCalls.push_back(synchronised); }
    void UpdateTray(bool synchronised) override { TrayCalls.push_back(synchronised); }
    void SetZoneHoursText(const std::string& t) override { ZoneHoursText = t; }
    void SetZoneMinutesText(const std::string& t) override { ZoneMinutesText = t; }
    void SetZoneMinutesEnabled(bool) override {}
    int SumWntItem() const override { return SumWnt; }
    void SetSumWntItem(int index) override { SumWnt = index; }
    void FocusCorrectButton() override {}
    void SetNewHHText(const std::string& t) override { NewHHText = t; }
    void SetNewMMText(const std::string& t) override { NewMMText = t; }
    void SetNewSSText(const std::string& t) override { NewSSText = t; }
    bool TimeModeSelected() const override { return TimeMode; }
    void SetTimeModeSelected(bool on) override { TimeMode = on; }
    void SetNewTimeFieldsVisible(bool) override {}
    void SetNewSSReadOnly(bool) override {}
    void SetStatusText(int panel, const std::string& text) override { Status[panel] = text; }
    void ShowInputError(const std::string&) override {}
    bool Confirm(const std::string&) override { return true; }
};

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

class TFakeClock : public TSystemClock {
  public:
    TLocalDateTime Current{2024, 3, 15, 10, 20, 30, 400, 5};
    std::vector<TLocalDateTime> Sets;
    bool Refuse = false;
    std::vector<std::string> Weekdays{"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};
    std::string Separator = ":";

    TLocalDateTime Now() override { return Current; }
    bool SetLocal(const TLocalDateTime& t) override {
        if (Refuse) return false;
        Sets.push_back(t);
        Current = t;
        return true;
    }
    std::string WeekdayAbbrev(int d) override { return Weekdays.at(d); }
    std::string TimeSeparator() override { return Separator; }
};

// Master side kept here; the slave path goes to a TComPort.
class TPty {
  public:
    TPty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master_);
        unlockpt(master_);
        slave_ = ptsname(master_);
    }
    ~TPty() { CloseMaster(); }
    const std::string& SlavePath() const { return slave_; }
    int Master() const { return master_; }
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }
    void Send(const std::vector<uint8_t>& bytes) const {
        if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) abort();
    }
    // Everything that arrives within waitMs of the last byte.
    std::vector<uint8_t> Receive(int waitMs = 100) const {
        std::vector<uint8_t> out;
        pollfd p{master_, POLLIN, 0};
        while (poll(&p, 1, waitMs) == 1 && (p.revents & POLLIN)) {
            uint8_t buf[64];
            const ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }

  private:
    int master_ = -1;
    std::string slave_;
};

// The system's own port settings, opened on a pty slave; no receive events (tests read directly).
inline void OpenOnPty(TCustomComPort& port, const TPty& pty, TComEvents events = 0) {
    ConfigureComPort1(port);
    port.SetPort(pty.SlavePath());
    port.Events = events;
    port.Open();
}

}  // namespace tamberline::testing
