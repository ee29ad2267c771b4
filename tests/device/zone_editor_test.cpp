// Time-zone editor: the steps around the +-12 stops and through zero, the winter/summer
// confirmation and the receiver correction's effect on the sign.
#include "device/zone_editor.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/fake_main_view.h"

namespace tamberline {
namespace {

enum TStep { HoursUp, HoursDown, MinutesUp, MinutesDown };

// An editor on its own state and view, the zone given as the fields show it ("+3:30", "-0:05").
struct TRig {
    TSharedState S;
    test::TFakeMainView V;
    TZoneEditor E{S, V};

    explicit TRig(const std::string& zone = "+0:00", int zoneSeconds = 0) {
        const bool minus = zone[0] == '-';
        const size_t colon = zone.find(':');
        const int hours = std::stoi(zone.substr(1, colon - 1));
        S.ZoneHours = minus ? -hours : hours;
        S.ZoneMinutes = static_cast<uint8_t>(std::stoi(zone.substr(colon + 1)));
        S.ZonePlus = minus ? 0 : 1;
        S.ZoneSeconds = zoneSeconds;
    }
    void Apply(TStep step) {
        void (TZoneEditor::*const handlers[])() = {&TZoneEditor::sbHoursUpClick, &TZoneEditor::sbHoursDownClick,
                                                   &TZoneEditor::sbMinutesUpClick, &TZoneEditor::sbMinutesDownClick};
        (E.*handlers[step])();
    }
    std::string Shown() const { return V.ZoneHours + " : " + V.ZoneMinutes; }
    // Signed minutes east of UTC.
    int Offset() const { return (S.ZonePlus ? 1 : -1) * (std::abs(S.ZoneHours) * 60 + S.ZoneMinutes); }
};

// Carries and borrows on the way up are the sweep's below; the window's arrow table has the
// stops at +12 and the crossings of zero from +0:00 down and -0:01 up.
TEST(ZoneStep, ShowsAndStoresTheOffset) {
    const struct {
        const char* Name;
        const char* Start;
        int ZoneSeconds;
        std::vector<TStep> Steps;
        const char* Shown;
        bool MinutesEnabled;
        int32_t Hours;
        uint8_t Minutes;
        uint8_t Plus;
    } cases[] = {
        {"-11:20 hours down stops at -12", "-11:20", 0, {HoursDown}, "-12 : 00", false, -12, 0, 0},
        {"-12 hours up unlocks", "-12:00", 0, {HoursUp}, "-11 : 00", true, -11, 0, 0},
        {"+11:59 minutes up locks at 12", "+11:59", 0, {MinutesUp}, "+12 : 00", false, 12, 0, 1},
        {"+12 minutes up cannot pass", "+12:00", 0, {MinutesUp}, "+12 : 00", false, 12, 0, 1},
        {"+0:01 minutes down stays plus", "+0:01", 0, {MinutesDown}, "+0 : 00", true, 0, 0, 1},
        {"-0:00 minutes up is +0:01", "-0:00", -5, {MinutesUp}, "+0 : 01", true, 0, 1, 1},
        {"-0:00 minutes down is -0:01", "-0:00", -5, {MinutesDown}, "-0 : 01", true, 0, 1, 0},
        {"+1:00 minutes down borrows", "+1:00", 0, {MinutesDown}, "+0 : 59", true, 0, 59, 1},
        {"-0:59 minutes down carries", "-0:59", 0, {MinutesDown}, "-1 : 00", true, -1, 0, 0},
        // Reaching 0:00 by hours, the sign follows the receiver correction.
        {"+1 hours down, negative seconds: -0", "+1:00", -3, {HoursDown}, "-0 : 00", true, 0, 0, 0},
        {"+1 hours down, zero seconds: +0", "+1:00", 0, {HoursDown}, "+0 : 00", true, 0, 0, 1},
        // An hour step through zero moves the offset by one hour: -0:30 is thirty minutes west.
        {"-0:30 hours up is +0:30", "-0:30", 0, {HoursUp}, "+0 : 30", true, 0, 30, 1},
        {"+0:30 hours down is -0:30", "+0:30", 0, {HoursDown}, "-0 : 30", true, 0, 30, 0},
        {"-1:30 hours up is -0:30", "-1:30", 0, {HoursUp}, "-0 : 30", true, 0, 30, 0},
        {"+1:30 hours down keeps sign, negative seconds", "+1:30", -4, {HoursDown}, "+0 : 30", true, 0, 30, 1},
        {"-2:15 hours down", "-2:15", 0, {HoursDown}, "-3 : 15", true, -3, 15, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRig r(c.Start, c.ZoneSeconds);
        for (TStep step : c.Steps)
            r.Apply(step);
        EXPECT_EQ(r.Shown(), c.Shown);
        EXPECT_EQ(r.V.ZoneMinutesEnabled, c.MinutesEnabled);
        EXPECT_EQ(r.S.ZoneHours, c.Hours);
        EXPECT_EQ(r.S.ZoneMinutes, c.Minutes);
        EXPECT_EQ(r.S.ZonePlus, c.Plus);
        EXPECT_EQ(r.S.ZoneSeconds, c.ZoneSeconds) << "steps never touch the receiver correction";
    }
}

TEST(ZoneStep, EveryStepMovesTheOffsetByItsUnitAndSignMatchesHours) {
    TRig r("-12:00");
    for (int i = 0; i < 24 * 60; ++i) {
        const int before = r.Offset();
        r.E.sbMinutesUpClick();
        ASSERT_EQ(r.Offset(), before + 1) << "after step " << i;
        ASSERT_TRUE(r.S.ZoneHours == 0 || (r.S.ZoneHours > 0) == (r.S.ZonePlus == 1)) << "after step " << i;
    }
    EXPECT_EQ(r.Shown(), "+12 : 00");
    for (int i = 0; i < 24; ++i) {
        const int before = r.Offset();
        r.E.sbHoursDownClick();
        ASSERT_EQ(r.Offset(), before - 60) << "after step " << i;
    }
    EXPECT_EQ(r.Shown(), "-12 : 00");
}

// The window enables the whole zone group on every synchronised time frame; a zone of +-12,
// whether stepped to or received from the device, keeps its minutes locked.
TEST(ZoneLock, SurvivesTheSynchronisedFrame) {
    const struct {
        const char* Zone;
        bool Locked;
    } cases[] = {{"+12:00", true}, {"-12:00", true}, {"+11:00", false}, {"-0:00", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Zone);
        TRig r(c.Zone);
        r.V.ApplyOperatingMode(true);
        r.E.AfterOperatingMode();
        EXPECT_EQ(!r.V.ZoneMinutesEnabled, c.Locked);
    }
}

TEST(ZoneSend, CorrectReplacesAnyWaitingRequest) {
    TRig r;
    r.S.PendingAction = paSendTime;
    r.E.btCorrectClick();
    EXPECT_EQ(r.S.PendingAction, paSendZone);
}

// The summer answers (yes, and no with the selection put back and asked once) are in the window test.
TEST(SumWnt, ConfirmsAndStores) {
    const struct {
        const char* Name;
        uint8_t Accepted;
        int Picked;
        std::vector<bool> Answers;
        std::vector<std::string> Questions;
        uint8_t AcceptedAfter;
        int ShownAfter;
        std::vector<int> Written;
        uint8_t PendingAfter;
    } cases[] = {
        {"winter, yes", 1, 0, {true}, {"Перейти на зимнее время?"}, 0, 0, {0}, paSyncNow},
        {"same item asks nothing", 1, 1, {}, {}, 1, 1, {}, paSendZone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRig r;
        std::vector<int> written;
        auto write = [&](uint8_t index) { written.push_back(index); };
        r.V.OnSumWntSelectedByProgram = [&] { r.E.rdgSumWntClick(write); };
        r.S.SumWntIndex = c.Accepted;
        r.S.PendingAction = paSendZone;
        r.V.Answers.assign(c.Answers.begin(), c.Answers.end());
        r.V.SumWnt = c.Picked;
        r.E.rdgSumWntClick(write);
        EXPECT_EQ(r.V.Questions, c.Questions);
        EXPECT_EQ(r.S.SumWntIndex, c.AcceptedAfter);
        EXPECT_EQ(r.V.SumWnt, c.ShownAfter);
        EXPECT_EQ(written, c.Written);
        EXPECT_EQ(r.S.PendingAction, c.PendingAfter);
    }
}

TEST(ReceiverCorrection, StoresSecondsAndSign) {
    const struct {
        const char* Name;
        const char* Start;
        int Correction;
        const char* HoursShown;  // "" when the field is left alone
        uint8_t Plus;
    } cases[] = {
        {"negative at zero hours shows -0", "+0:00", -5, "-0", 0},
        {"zero at zero hours shows +0", "-0:00", 0, "+0", 1},
        {"positive at zero hours shows +0", "-0:00", 12, "+0", 1},
        {"hours other than zero keep the field", "+3:00", -5, "", 1},
        {"minutes other than zero keep the sign", "-0:30", 5, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRig r(c.Start);
        r.E.ApplyReceiverCorrection(c.Correction);
        EXPECT_EQ(r.S.ZoneSeconds, c.Correction);
        EXPECT_EQ(r.V.ZoneHours, c.HoursShown);
        EXPECT_EQ(r.S.ZonePlus, c.Plus);
        EXPECT_EQ(r.V.CorrectFocusRequests, 1);
    }
}

}  // namespace
}  // namespace tamberline
