#include "device/commands.h"

#include "device/frames.h"

namespace tamberline {

namespace {

constexpr uint8_t kMinus = 0x80;

uint8_t Low8(int v) {
    return static_cast<uint8_t>(v & 0xFF);
}

// Adds the summer hour to a minus offset of magnitude a:m:s (hours byte has bit 7 set).
TPayload SummerMinus(int a, int m, int s) {
    if (a == 0) {
        if (s != 0) return {0, Low8(59 - m), Low8(60 - s)};
        return {0, Low8(60 - m), 0};
    }
    if (a == 1) return {static_cast<uint8_t>(m != 0 || s != 0 ? kMinus : 0), Low8(m), Low8(s)};
    // From 2 up: one hour less west. A zone frame of minus 12 taken in summer leaves -13 in the
    // editor; this row sends it as -12, inside the device's range, not as 0x8D.
    return {static_cast<uint8_t>(Low8(a - 1) | kMinus), Low8(m), Low8(s)};
}

}  // namespace

TPayload ZonePayload(const TSharedState& st, bool summer) {
    int h = st.ZoneHours, m = st.ZoneMinutes, s = st.ZoneSeconds;
    bool plus = st.ZonePlus == 1;
    if (plus) {
        if (s < 0) {
            s += 60;
            if (--m < 0) {
                m = 59;
                h -= 1;
            }
        }
    } else {
        h = -h;
        if (s > 0) {
            if (h == 0 && m == 0) {
                // "-0:00" with a positive seconds part is s seconds east: borrowing would wrap the
                // hours to -1 and send minus 127 hours.
                plus = true;
            } else {
                s = 60 - s;
                if (--m < 0) {
                    m = 59;
                    h -= 1;
                }
            }
        } else {
            s = -s;
        }
    }
    if (plus) return {Low8(h + (summer ? 1 : 0)), Low8(m), Low8(s)};
    if (summer) return SummerMinus(h & 0x7F, m, s);
    return {static_cast<uint8_t>(Low8(h) | kMinus), Low8(m), Low8(s)};
}

namespace {

// Steps h:m:s back by one second within the day (s may be -1 on entry).
void BorrowSecond(int& h, int& m, int& s) {
    if (s >= 0) return;
    s += 60;
    if (--m < 0) {
        m = 59;
        if (--h < 0) h = 23;
    }
}

}  // namespace

TPayload TimePayload(const TSharedState& st, bool timeMode) {
    int h, m, s;
    if (timeMode) {
        h = st.NewHH, m = st.NewMM, s = st.NewSS - 1;
        BorrowSecond(h, m, s);
    } else if (st.NewSS <= 30) {
        h = st.ClockHH, m = st.ClockMM, s = st.ClockSS + st.NewSS - 1;
        if (s > 59) {
            s -= 60;
            if (++m == 60) {
                m = 0;
                if (++h == 24) h = 0;
            }
        }
        BorrowSecond(h, m, s);
    } else {
        h = st.ClockHH, m = st.ClockMM, s = st.ClockSS - (61 - st.NewSS);
        BorrowSecond(h, m, s);
    }
    return {Low8(h), Low8(m), Low8(s)};
}

void TDeviceCommands::Send(uint8_t command, const TPayload* p) {
    uint8_t frame[7] = {kFrameStart0, kFrameStart1, command, kFrameFixed, 0, 0, 0};
    size_t n = 4;
    if (p) {
        frame[4] = p->Hours, frame[5] = p->Minutes, frame[6] = p->Seconds;
        n = 7;
    }
    WriteCommandFrame(port_, s_, frame, n);
}

void TDeviceCommands::SendZoneCommand() {
    if (s_.ZoneHours == 0 && s_.ZoneMinutes == 0 && s_.ZoneSeconds < 0) {
        // A zone of 0:00 takes its sign from a negative seconds part. With minutes present the
        // sign must stay: +0:30 with -5 s is 0:29:55 east, flipping it would send 0:30:05 west.
        s_.ZonePlus = 0;
        v_.SetZoneHoursText("-0");
    }
    const TPayload p = ZonePayload(s_, v_.SumWntItem() == 1);
    Send(kCmdSetZone, &p);
    s_.PendingAction = paSyncNow;
}

void TDeviceCommands::SendTimeCommand() {
    const TPayload p = TimePayload(s_, v_.TimeModeSelected());
    Send(kCmdSetTime, &p);
    s_.PendingAction = paNone;
}

void TDeviceCommands::SendZoneQuery() {
    try {
        Send(kCmdZoneQuery, nullptr);
    } catch (const EComPort&) {
        // Nobody asked for this one: a device that went away meanwhile is the link watch's news,
        // and it asks again when the port is back. Any other failure is reported.
        if (!port_.DeviceGone()) throw;
    }
    s_.PendingAction = paNone;
}

}  // namespace tamberline
