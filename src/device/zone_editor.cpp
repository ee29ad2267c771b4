#include "device/zone_editor.h"

#include "device/texts.h"

#include <algorithm>
#include <cstdlib>

namespace tamberline {

TZoneEditor::TZoneEditor(TSharedState& s, TMainView& v) : S(s), V(v) {}

// The steps work on the offset as one signed count of minutes, so every step moves it by
// exactly one hour or one minute and the sign can never disagree with the hours.
int TZoneEditor::OffsetMinutes() const {
    const int magnitude = std::abs(S.ZoneHours) * 60 + S.ZoneMinutes;
    const bool minus = S.ZoneHours < 0 || (S.ZoneHours == 0 && S.ZonePlus == 0);
    return minus ? -magnitude : magnitude;
}

void TZoneEditor::SetOffset(int minutes, bool zeroIsPlus) {
    minutes = std::clamp(minutes, -MaxOffsetMinutes, MaxOffsetMinutes);
    const int magnitude = std::abs(minutes);
    S.ZoneMinutes = static_cast<uint8_t>(magnitude % 60);
    S.ZoneHours = minutes < 0 ? -(magnitude / 60) : magnitude / 60;
    S.ZonePlus = minutes > 0 || (minutes == 0 && zeroIsPlus) ? 1 : 0;
    ShowZone();
}

void TZoneEditor::ShowZone() {
    // The steps keep the hours within -12..12, so there is always a text.
    V.SetZoneHoursText(ZoneHoursText(S.ZoneHours, S.ZonePlus == 1).value_or(""));
    V.SetZoneMinutesText(TwoDigits(S.ZoneMinutes));
    // The hours stops expect 00 minutes; unlocking them would let a step pass +-12:00.
    V.SetZoneMinutesEnabled(std::abs(S.ZoneHours) < 12);
}

// An offset of zero whole minutes takes the sign of the receiver correction, so a
// negative seconds part is sent as a minus zone.
void TZoneEditor::sbHoursUpClick() {
    SetOffset(OffsetMinutes() + 60, S.ZoneSeconds >= 0);
}
void TZoneEditor::sbHoursDownClick() {
    SetOffset(OffsetMinutes() - 60, S.ZoneSeconds >= 0);
}
void TZoneEditor::sbMinutesUpClick() {
    SetOffset(OffsetMinutes() + 1, true);
}
void TZoneEditor::sbMinutesDownClick() {
    SetOffset(OffsetMinutes() - 1, true);
}

void TZoneEditor::btCorrectClick() {
    S.PendingAction = paSendZone;
}

void TZoneEditor::rdgSumWntClick(const std::function<void(uint8_t)>& writeSumWnt) {
    const int index = V.SumWntItem();
    if (index == S.SumWntIndex) return;
    const std::string question = std::string("Перейти на ") + (index == 1 ? "летнее время?" : "зимнее время?");
    if (!V.Confirm(question)) {
        // Re-selecting runs this handler again; it then finds the indexes equal.
        V.SetSumWntItem(S.SumWntIndex);
        return;
    }
    S.PendingAction = paSyncNow;
    S.SumWntIndex = static_cast<uint8_t>(index);
    writeSumWnt(S.SumWntIndex);
}

void TZoneEditor::AfterOperatingMode() {
    if (std::abs(S.ZoneHours) >= 12) V.SetZoneMinutesEnabled(false);
}

void TZoneEditor::ApplyReceiverCorrection(int corrSeconds) {
    S.ZoneSeconds = corrSeconds;
    // Only a zone of 0:00 has no sign of its own; with minutes present (+0:30, -0:30) the
    // correction must not turn the zone to the other side of the meridian.
    if (S.ZoneHours == 0 && S.ZoneMinutes == 0) {
        S.ZonePlus = corrSeconds < 0 ? 0 : 1;
        V.SetZoneHoursText(S.ZonePlus ? "+0" : "-0");
    }
    V.FocusCorrectButton();
}

}  // namespace tamberline
