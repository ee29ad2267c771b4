// Time-zone editor: the steps around the +-12 stops and through zero, the winter/summer
// confirmation and the receiver correction's effect on the sign.
#include "device/zone_editor.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/fake_main_view.h"

namespace tamberline {
namespace {

using test::TFakeMainView;

enum TStep { HoursUp, HoursDown, MinutesUp, MinutesDown };

// "+3:30" / "-0:05": the offset as the hours and minutes fields show it.
void SetZone(TSharedState& s, const std::string& zone) {
    const bool minus = zone[0] == '-';
    const size_t colon = zone.find(':');
    const int hours = std::stoi(zone.substr(1, colon - 1));
    s.ZoneHours = minus ? -hours : hours;
    s.ZoneMinutes = static_cast<uint8_t>(std::stoi(zone.substr(colon + 1)));
    s.ZonePlus = minus ? 0 : 1;
}

std::string Shown(const TFakeMainView& v) {
    return v.ZoneHours + " : " + v.ZoneMinutes;
}

void Apply(TZoneEditor& e, TStep step) {
    switch (step) {
        case HoursUp:
            e.sbHoursUpClick();
            break;
        case HoursDown:
            e.sbHoursDownClick();
            break;
        case MinutesUp:
            e.sbMinutesUpClick();
            break;
        case MinutesDown:
            e.sbMinutesDownClick();
            break;
    }
}

struct TStepCase {
    const char* Name;
    const char* Start;
    int ZoneSeconds;
    std::vector<TStep> Steps;
    const char* Shown;
    bool MinutesEnabled;
    int32_t Hours;
    uint8_t Minutes;
    uint8_t Plus;
};

class ZoneStep : public testing::TestWithParam<TStepCase> {};

TEST_P(ZoneStep, ShowsAndStoresTheOffset) {
    const TStepCase& c = GetParam();
    TSharedState s;
    TFakeMainView v;
    TZoneEditor e(s, v);
    SetZone(s, c.Start);
    s.ZoneSeconds = c.ZoneSeconds;
    for (TStep step : c.Steps)
        Apply(e, step);
    EXPECT_EQ(Shown(v), c.Shown);
    EXPECT_EQ(v.ZoneMinutesEnabled, c.MinutesEnabled);
    EXPECT_EQ(s.ZoneHours, c.Hours);
    EXPECT_EQ(s.ZoneMinutes, c.Minutes);
    EXPECT_EQ(s.ZonePlus, c.Plus);
    EXPECT_EQ(s.ZoneSeconds, c.ZoneSeconds) << "steps never touch the receiver correction";
}

const TStepCase kStepCases[] = {
    {"PlusElevenFortyFiveHoursUpStopsAtTwelveLocked", "+11:45", 0, {HoursUp}, "+12 : 00", false, 12, 0, 1},
    {"PlusTwelveHoursUpStays", "+11:45", 0, {HoursUp, HoursUp}, "+12 : 00", false, 12, 0, 1},
    {"PlusTwelveHoursDownUnlocks", "+12:00", 0, {HoursDown}, "+11 : 00", true, 11, 0, 1},
    {"MinusElevenTwentyHoursDownStopsAtMinusTwelve", "-11:20", 0, {HoursDown}, "-12 : 00", false, -12, 0, 0},
    {"MinusTwelveHoursUpUnlocks", "-12:00", 0, {HoursUp}, "-11 : 00", true, -11, 0, 0},
    {"PlusElevenFiftyNineMinutesUpLocksAtTwelve", "+11:59", 0, {MinutesUp}, "+12 : 00", false, 12, 0, 1},
    {"MinusElevenFiftyNineMinutesDownLocksAtMinusTwelve", "-11:59", 0, {MinutesDown}, "-12 : 00", false, -12, 0, 0},
    {"PlusTwelveMinutesUpCannotPassTheStop", "+12:00", 0, {MinutesUp}, "+12 : 00", false, 12, 0, 1},
    {"PlusZeroMinutesDownCrossesToMinus", "+0:00", 0, {MinutesDown}, "-0 : 01", true, 0, 1, 0},
    {"MinusZeroOneMinutesUpCrossesToPlusZero", "-0:01", 0, {MinutesUp}, "+0 : 00", true, 0, 0, 1},
    {"PlusZeroOneMinutesDownStaysPlus", "+0:01", 0, {MinutesDown}, "+0 : 00", true, 0, 0, 1},
    {"MinusZeroZeroMinutesUpIsPlusOneMinute", "-0:00", -5, {MinutesUp}, "+0 : 01", true, 0, 1, 1},
    {"MinusZeroZeroMinutesDownIsMinusOneMinute", "-0:00", -5, {MinutesDown}, "-0 : 01", true, 0, 1, 0},
    {"PlusZeroFiftyNineMinutesUpCarriesIntoHours", "+0:59", 0, {MinutesUp}, "+1 : 00", true, 1, 0, 1},
    {"MinusOneMinutesUpBorrowsFromHours", "-1:00", 0, {MinutesUp}, "-0 : 59", true, 0, 59, 0},
    {"MinusThreeMinutesUp", "-3:00", 0, {MinutesUp}, "-2 : 59", true, -2, 59, 0},
    {"PlusOneMinutesDownBorrowsFromHours", "+1:00", 0, {MinutesDown}, "+0 : 59", true, 0, 59, 1},
    {"MinusFiftyNineMinutesDownCarriesIntoHours", "-0:59", 0, {MinutesDown}, "-1 : 00", true, -1, 0, 0},
    {"PlusOneHoursDownWithNegativeSecondsShowsMinusZero", "+1:00", -3, {HoursDown}, "-0 : 00", true, 0, 0, 0},
    {"PlusOneHoursDownWithZeroSecondsShowsPlusZero", "+1:00", 0, {HoursDown}, "+0 : 00", true, 0, 0, 1},
    {"PlusOneHoursDownWithPositiveSecondsShowsPlusZero", "+1:00", 7, {HoursDown}, "+0 : 00", true, 0, 0, 1},
    // An hour step through zero moves the offset by one hour: -0:30 is thirty minutes west.
    {"MinusZeroThirtyHoursUpIsPlusZeroThirty", "-0:30", 0, {HoursUp}, "+0 : 30", true, 0, 30, 1},
    {"PlusZeroThirtyHoursDownIsMinusZeroThirty", "+0:30", 0, {HoursDown}, "-0 : 30", true, 0, 30, 0},
    {"MinusOneThirtyHoursUpIsMinusZeroThirty", "-1:30", 0, {HoursUp}, "-0 : 30", true, 0, 30, 0},
    {"PlusOneThirtyHoursDownKeepsSignWithNegativeSeconds", "+1:30", -4, {HoursDown}, "+0 : 30", true, 0, 30, 1},
    {"PlusThreeThirtyHoursDown", "+3:30", 0, {HoursDown}, "+2 : 30", true, 2, 30, 1},
    {"MinusTwoFifteenHoursDown", "-2:15", 0, {HoursDown}, "-3 : 15", true, -3, 15, 0},
    {"MinuteRoundTripReturnsToStart",
     "+5:45",
     0,
     {MinutesUp, MinutesUp, MinutesDown, MinutesDown},
     "+5 : 45",
     true,
     5,
     45,
     1},
};

INSTANTIATE_TEST_SUITE_P(Steps, ZoneStep, testing::ValuesIn(kStepCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ZoneStepWalk, EveryStepMovesTheOffsetByItsUnitAndSignMatchesHours) {
    TSharedState s;
    TFakeMainView v;
    TZoneEditor e(s, v);
    auto offset = [&] { return (s.ZonePlus ? 1 : -1) * (std::abs(s.ZoneHours) * 60 + s.ZoneMinutes); };
    SetZone(s, "-12:00");
    for (int i = 0; i < 24 * 60; ++i) {
        const int before = offset();
        e.sbMinutesUpClick();
        ASSERT_EQ(offset(), before + 1) << "after step " << i;
        ASSERT_TRUE(s.ZoneHours == 0 || (s.ZoneHours > 0) == (s.ZonePlus == 1)) << "after step " << i;
    }
    EXPECT_EQ(Shown(v), "+12 : 00");
    for (int i = 0; i < 24; ++i) {
        const int before = offset();
        e.sbHoursDownClick();
        ASSERT_EQ(offset(), before - 60) << "after step " << i;
    }
    EXPECT_EQ(Shown(v), "-12 : 00");
}

struct TLockCase {
    const char* Name;
    const char* Start;
    TStep Step;
    bool LockedAfterFrame;
};

class ZoneLock : public testing::TestWithParam<TLockCase> {};

// The window enables the whole zone group on every synchronised time frame.
TEST_P(ZoneLock, SurvivesTheSynchronisedFrame) {
    const TLockCase& c = GetParam();
    TSharedState s;
    TFakeMainView v;
    TZoneEditor e(s, v);
    SetZone(s, c.Start);
    Apply(e, c.Step);
    v.ApplyOperatingMode(true);
    e.AfterOperatingMode();
    EXPECT_EQ(!v.ZoneMinutesEnabled, c.LockedAfterFrame);
}

const TLockCase kLockCases[] = {
    {"PlusTwelve", "+11:00", HoursUp, true},
    {"MinusTwelve", "-11:00", HoursDown, true},
    {"PlusTwelveByMinutes", "+11:59", MinutesUp, true},
    {"PlusEleven", "+12:00", HoursDown, false},
    {"Zero", "+0:01", MinutesDown, false},
};

INSTANTIATE_TEST_SUITE_P(Frames, ZoneLock, testing::ValuesIn(kLockCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ZoneLockFromDevice, ZoneOfTwelveFromAFrameIsLockedByTheNextTimeFrame) {
    TSharedState s;
    TFakeMainView v;
    TZoneEditor e(s, v);
    SetZone(s, "-12:00");
    v.ApplyOperatingMode(true);
    e.AfterOperatingMode();
    EXPECT_FALSE(v.ZoneMinutesEnabled);
}

TEST(ZoneSend, CorrectReplacesAnyWaitingRequest) {
    TSharedState s;
    TFakeMainView v;
    TZoneEditor e(s, v);
    s.PendingAction = paSendTime;
    e.btCorrectClick();
    EXPECT_EQ(s.PendingAction, paSendZone);
}

struct TSumWntCase {
    const char* Name;
    uint8_t Accepted;
    int Picked;
    std::vector<bool> Answers;
    std::vector<std::string> Questions;
    uint8_t AcceptedAfter;
    int ShownAfter;
    std::vector<int> Written;
    uint8_t PendingAfter;
};

class SumWnt : public testing::TestWithParam<TSumWntCase> {};

TEST_P(SumWnt, ConfirmsAndStores) {
    const TSumWntCase& c = GetParam();
    TSharedState s;
    TFakeMainView v;
    TZoneEditor e(s, v);
    std::vector<int> written;
    auto write = [&](uint8_t index) { written.push_back(index); };
    v.OnSumWntSelectedByProgram = [&] { e.rdgSumWntClick(write); };
    s.SumWntIndex = c.Accepted;
    s.PendingAction = paSendZone;
    v.Answers.assign(c.Answers.begin(), c.Answers.end());
    v.SumWnt = c.Picked;
    e.rdgSumWntClick(write);
    EXPECT_EQ(v.Questions, c.Questions);
    EXPECT_EQ(s.SumWntIndex, c.AcceptedAfter);
    EXPECT_EQ(v.SumWnt, c.ShownAfter);
    EXPECT_EQ(written, c.Written);
    EXPECT_EQ(s.PendingAction, c.PendingAfter);
}

const TSumWntCase kSumWntCases[] = {
    {"SummerYes", 0, 1, {true}, {"Перейти на летнее время?"}, 1, 1, {1}, paSyncNow},
    {"WinterYes", 1, 0, {true}, {"Перейти на зимнее время?"}, 0, 0, {0}, paSyncNow},
    {"SummerNoRestoresAndAsksOnce", 0, 1, {false}, {"Перейти на летнее время?"}, 0, 0, {}, paSendZone},
    {"WinterNoRestoresAndAsksOnce", 1, 0, {false}, {"Перейти на зимнее время?"}, 1, 1, {}, paSendZone},
    {"SameItemAsksNothing", 1, 1, {}, {}, 1, 1, {}, paSendZone},
};

INSTANTIATE_TEST_SUITE_P(Choices, SumWnt, testing::ValuesIn(kSumWntCases),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TCorrectionCase {
    const char* Name;
    const char* Start;
    int Correction;
    const char* HoursShown;  // "" when the field is left alone
    uint8_t Plus;
};

class ReceiverCorrection : public testing::TestWithParam<TCorrectionCase> {};

TEST_P(ReceiverCorrection, StoresSecondsAndSign) {
    const TCorrectionCase& c = GetParam();
    TSharedState s;
    TFakeMainView v;
    TZoneEditor e(s, v);
    SetZone(s, c.Start);
    e.ApplyReceiverCorrection(c.Correction);
    EXPECT_EQ(s.ZoneSeconds, c.Correction);
    EXPECT_EQ(v.ZoneHours, c.HoursShown);
    EXPECT_EQ(s.ZonePlus, c.Plus);
    EXPECT_EQ(v.CorrectFocusRequests, 1);
}

const TCorrectionCase kCorrectionCases[] = {
    {"NegativeAtZeroHoursShowsMinusZero", "+0:00", -5, "-0", 0},
    {"ZeroAtZeroHoursShowsPlusZero", "-0:00", 0, "+0", 1},
    {"PositiveAtZeroHoursShowsPlusZero", "-0:00", 12, "+0", 1},
    {"NegativeWithHoursLeavesField", "+3:00", -5, "", 1},
    {"PositiveWithMinusHoursLeavesField", "-3:00", 5, "", 0},
    {"NegativeWithPlusMinutesKeepsSign", "+0:30", -5, "", 1},
    {"PositiveWithMinusMinutesKeepsSign", "-0:30", 5, "", 0},
};

INSTANTIATE_TEST_SUITE_P(Corrections, ReceiverCorrection, testing::ValuesIn(kCorrectionCases),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace tamberline
