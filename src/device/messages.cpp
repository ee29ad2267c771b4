#include "device/messages.h"

#include "device/texts.h"

namespace tamberline {

uint32_t RestOfSecondMs(int hundredths) {
    const int ms = 1000 - 10 * hundredths;
    return ms > 0 ? static_cast<uint32_t>(ms) : 0;
}

namespace {

// Rounds the seconds part to the nearest minute; the halfway case stays +30 on the plus side and
// carries on the minus side, so the seconds part always ends in -29..+30.
TZoneValues SplitZone(uint8_t hoursByte, uint8_t m, uint8_t s) {
    const int h = hoursByte & 0x7F;
    TZoneValues z{};
    if (hoursByte & 0x80) {
        z = {-h, m, -static_cast<int32_t>(s), 0};
        if (z.Seconds < -29) {
            z.Minutes = static_cast<uint8_t>(m + 1);
            if (z.Minutes > 59) {
                z.Hours -= 1;
                z.Minutes = 0;
            }
            z.Seconds += 60;
        }
    } else {
        z = {h, m, s, 1};
        if (s > 30) {
            z.Seconds = s - 60;
            z.Minutes = static_cast<uint8_t>(m + 1);
            if (z.Minutes > 59) {
                z.Hours += 1;
                z.Minutes = 0;
            }
        }
    }
    return z;
}

}  // namespace

TZoneValues DecodeZone(uint8_t hoursByte, uint8_t minutes, uint8_t seconds, bool summer) {
    TZoneValues z = SplitZone(hoursByte, minutes, seconds);
    if (!summer) return z;
    if (z.Plus == 1 && z.Hours == 0) {
        // Under one hour east becomes a minus offset of (60 - minutes) minutes; hours stay 0.
        z.Minutes = static_cast<uint8_t>(60 - z.Minutes);
        z.Plus = 0;
    } else {
        z.Hours -= 1;
    }
    return z;
}

void TMessageHandler::ComPort1RxChar(TCustomComPort& sender, int /*count: one frame per event*/) {
    // The hundredths tell how far into its second the device was when it began to send the frame;
    // its first byte was seen one character later.
    const TMonoTime rxTime = sender.RxEventTime() - sender.CharacterTime() - FrameDelay;
    auto frame = ReadMessageFrame(sender);
    if (!frame) return;
    // A time frame with a whole frame's worth of bytes queued behind it is at least a second old: armed
    // from the report's instant it would show, and let the PC clock take, a second that is over. Only
    // the newest time frame of a backlog counts; it still proves that the device is there.
    if (frame->bytes[2] == kMsgTime && sender.InputCount() >= kTimeFrameBytes) {
        if (OnTimeFrame) OnTimeFrame(rxTime);
        return;
    }
    ApplyFrame(*frame, rxTime);
}

void TMessageHandler::ApplyFrame(const TMessageFrame& f, TMonoTime rxTime) {
    if (f.bytes[2] == kMsgTime)
        ApplyTimeFrame(f, rxTime);
    else if (f.bytes[2] == kMsgZone)
        ApplyZoneFrame(f);
}

void TMessageHandler::ApplyTimeFrame(const TMessageFrame& f, TMonoTime rxTime) {
    if (OnTimeFrame) OnTimeFrame(rxTime);
    s_.ClockHH = BcdValue(f.bytes[7] & 0x7F);
    s_.ClockMM = BcdValue(f.bytes[6]);
    s_.ClockSS = BcdValue(f.bytes[5]);
    timer_.SetInterval(RestOfSecondMs(BcdValue(f.bytes[4])), rxTime);
    timer_.SetEnabled(true, rxTime);
    const bool synced = (f.bytes[7] & 0x80) == 0;
    v_.ApplyOperatingMode(synced);
    s_.SputSync = synced ? 1 : 0;
    if (s_.SputSync != s_.SputSyncShown) v_.UpdateTray(synced);
    s_.SputSyncShown = s_.SputSync;
}

void TMessageHandler::ApplyZoneFrame(const TMessageFrame& f) {
    const TZoneValues z = DecodeZone(f.bytes[4], f.bytes[5], f.bytes[6], v_.SumWntItem() == 1);
    s_.ZoneHours = z.Hours;
    s_.ZoneMinutes = z.Minutes;
    s_.ZoneSeconds = z.Seconds;
    s_.ZonePlus = z.Plus;
    ShowZone(s_, v_);
}

void ShowZone(const TSharedState& s, TMainView& v) {
    v.SetZoneMinutesText(TwoDigits(s.ZoneMinutes));
    if (auto text = ZoneHoursText(s.ZoneHours, s.ZonePlus == 1)) v.SetZoneHoursText(*text);
}

}  // namespace tamberline
