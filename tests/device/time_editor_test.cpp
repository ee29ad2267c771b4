// Autonomous time editor: spin stops, the seconds correction, typed input checks and the
// rewriting of fields when they lose the focus.
#include "device/time_editor.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/fake_main_view.h"

namespace tamberline {
namespace {

using test::TFakeMainView;

const char* const kHoursNotNumber = "Значение часов должно быть целым и меньше или равно 23!";
const char* const kHoursRange = "Значение часов должно быть меньше или равно 23!";
const char* const kMinutesNotNumber = "Значение минут должно быть целым и меньше или равно 59!";
const char* const kMinutesRange = "Значение минут должно быть меньше или равно 59!";
const char* const kSecondsNotNumber = "Значение секунд должно быть целым и меньше или равно 59!";
const char* const kSecondsRange = "Значение секунд должно быть меньше или равно 59!";

struct TParseCase {
    const char* Name;
    const char* Text;
    std::optional<int32_t> Value;
};

class Parse : public testing::TestWithParam<TParseCase> {};

TEST_P(Parse, ReadsWholeNumbers) {
    EXPECT_EQ(ParseTypedInteger(GetParam().Text), GetParam().Value);
}

const TParseCase kParseCases[] = {
    {"Plain", "42", 42},
    {"LeadingBlanks", "  7", 7},
    {"LeadingZeros", "007", 7},
    {"Plus", "+5", 5},
    {"Minus", "-1", -1},
    {"Hex", "$A", 10},
    {"HexLower", "$1f", 31},
    {"SignedHex", "-$2", -2},
    {"Letters", "abc", std::nullopt},
    {"TrailingBlank", "5 ", std::nullopt},
    {"TrailingLetter", "5x", std::nullopt},
    {"SignAlone", "-", std::nullopt},
    {"DollarAlone", "$", std::nullopt},
    {"HexDigitWithoutDollar", "A", std::nullopt},
    {"InnerBlank", "1 2", std::nullopt},
    {"TooBigForInteger", "99999999999", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Texts, Parse, testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.Name); });

enum TField { HH, MM, SS };

struct TTypedCase {
    const char* Name;
    TField Field;
    std::vector<std::string> Edits;  // successive texts of the field as the user types
    uint8_t Value;                   // value after the edits (starts at 5)
    std::vector<std::string> Errors;
};

class Typed : public testing::TestWithParam<TTypedCase> {};

TEST_P(Typed, ChecksEveryEdit) {
    const TTypedCase& c = GetParam();
    TSharedState s;
    TFakeMainView v;
    TTimeEditor e(s, v);
    s.NewHH = s.NewMM = s.NewSS = 5;
    for (const std::string& t : c.Edits) {
        if (c.Field == HH) e.edNewHHChange(t);
        if (c.Field == MM) e.edNewMMChange(t);
        if (c.Field == SS) e.edNewSSChange(t);
    }
    const uint8_t value = c.Field == HH ? s.NewHH : c.Field == MM ? s.NewMM : s.NewSS;
    EXPECT_EQ(value, c.Value);
    EXPECT_EQ(v.InputErrors, c.Errors);
    EXPECT_EQ(v.NewHH + v.NewMM + v.NewSS, "") << "typing never rewrites a field";
}

const TTypedCase kTypedCases[] = {
    {"MinutesAbc", MM, {"a", "ab", "abc"}, 5, {kMinutesNotNumber, kMinutesNotNumber, kMinutesNotNumber}},
    {"MinutesSixty", MM, {"6", "60"}, 6, {kMinutesRange}},
    {"MinutesTwoFiftySix", MM, {"256"}, 5, {kMinutesRange}},
    {"MinutesMinusOne", MM, {"-", "-1"}, 5, {kMinutesRange}},
    {"MinutesHex", MM, {"$", "$A"}, 10, {}},
    {"MinutesSignAndDollarStillTyping", MM, {" ", " +", " +$", " +$1", " +$1F"}, 31, {}},
    {"MinutesDollarThenLetter", MM, {"$", "$G"}, 5, {kMinutesNotNumber}},
    {"MinutesFiftyNine", MM, {"5", "59"}, 59, {}},
    {"MinutesEmptied", MM, {"3", ""}, 3, {}},
    {"HoursTwentyFiveTakesTheTwo", HH, {"2", "25"}, 2, {kHoursRange}},
    {"HoursTwentyThree", HH, {"2", "23"}, 23, {}},
    {"HoursLeadingBlanks", HH, {"  ", "  8"}, 8, {}},
    {"HoursLetters", HH, {"x"}, 5, {kHoursNotNumber}},
    {"SecondsSixty", SS, {"60"}, 5, {kSecondsRange}},
    {"SecondsLetters", SS, {"s"}, 5, {kSecondsNotNumber}},
    {"SecondsZero", SS, {"0"}, 0, {}},
};

INSTANTIATE_TEST_SUITE_P(Edits, Typed, testing::ValuesIn(kTypedCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(TypedCorrection, EditsOfTheReadOnlyCorrectionAreIgnored) {
    TSharedState s;
    TFakeMainView v;
    TTimeEditor e(s, v);
    e.rbtSecClick();
    e.edNewSSChange("12");
    EXPECT_EQ(s.NewSS, 0);
    EXPECT_TRUE(v.InputErrors.empty());
}

struct TExitCase {
    const char* Name;
    TField Field;
    bool Correction;
    uint8_t Value;
    const char* Text;
};

class Leave : public testing::TestWithParam<TExitCase> {};

TEST_P(Leave, RewritesFromTheValue) {
    const TExitCase& c = GetParam();
    TSharedState s;
    TFakeMainView v;
    TTimeEditor e(s, v);
    if (c.Correction) e.rbtSecClick();
    s.NewHH = s.NewMM = s.NewSS = c.Value;
    if (c.Field == HH) e.edNewHHExit();
    if (c.Field == MM) e.edNewMMExit();
    if (c.Field == SS) e.edNewSSExit();
    const std::string& text = c.Field == HH ? v.NewHH : c.Field == MM ? v.NewMM : v.NewSS;
    EXPECT_EQ(text, c.Text);
    EXPECT_TRUE(v.InputErrors.empty());
}

const TExitCase kExitCases[] = {
    {"HoursSeven", HH, false, 7, "  7"},
    {"HoursZero", HH, false, 0, "  0"},
    {"HoursTen", HH, false, 10, "10"},
    {"MinutesSeven", MM, false, 7, "07"},
    {"SecondsFiftyNine", SS, false, 59, "59"},
    {"CorrectionFiftyNine", SS, true, 59, "-1"},
    {"CorrectionZero", SS, true, 0, "0"},
    {"CorrectionThirty", SS, true, 30, "+30"},
    {"CorrectionThirtyOne", SS, true, 31, "-29"},
};

INSTANTIATE_TEST_SUITE_P(Fields, Leave, testing::ValuesIn(kExitCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(LeaveAfterBadInput, TheLastTakenValueComesBack) {
    TSharedState s;
    TFakeMainView v;
    TTimeEditor e(s, v);
    e.edNewMMChange("4");
    e.edNewMMChange("47");
    e.edNewMMChange("47x");
    e.edNewMMExit();
    EXPECT_EQ(v.NewMM, "47");
    e.edNewHHChange("");
    e.edNewHHExit();
    EXPECT_EQ(v.NewHH, "  0");
}

enum TSpin { Up, Down };

struct TSpinCase {
    const char* Name;
    TField Field;
    bool Correction;
    uint8_t Start;
    std::vector<TSpin> Steps;
    uint8_t Value;
    const char* Text;
};

class Spin : public testing::TestWithParam<TSpinCase> {};

TEST_P(Spin, StepsAndStops) {
    const TSpinCase& c = GetParam();
    TSharedState s;
    TFakeMainView v;
    TTimeEditor e(s, v);
    if (c.Correction) e.rbtSecClick();
    s.NewHH = s.NewMM = s.NewSS = c.Start;
    for (TSpin step : c.Steps) {
        if (c.Field == HH) step == Up ? e.sbNewHHUpClick() : e.sbNewHHDownClick();
        if (c.Field == MM) step == Up ? e.sbNewMMUpClick() : e.sbNewMMDownClick();
        if (c.Field == SS) step == Up ? e.sbNewSSUpClick() : e.sbNewSSDownClick();
    }
    const uint8_t value = c.Field == HH ? s.NewHH : c.Field == MM ? s.NewMM : s.NewSS;
    const std::string& text = c.Field == HH ? v.NewHH : c.Field == MM ? v.NewMM : v.NewSS;
    EXPECT_EQ(value, c.Value);
    EXPECT_EQ(text, c.Text);
    EXPECT_TRUE(v.InputErrors.empty()) << "program-written text is never checked";
}

const TSpinCase kSpinCases[] = {
    {"HoursStayAtTwentyThree", HH, false, 23, {Up}, 23, "23"},
    {"HoursStayAtZero", HH, false, 0, {Down}, 0, "  0"},
    {"HoursNineUp", HH, false, 9, {Up}, 10, "10"},
    {"HoursTenDown", HH, false, 10, {Down}, 9, "  9"},
    {"MinutesStayAtFiftyNine", MM, false, 59, {Up}, 59, "59"},
    {"MinutesStayAtZero", MM, false, 0, {Down}, 0, "00"},
    {"MinutesNoCarry", MM, false, 58, {Up, Up, Up}, 59, "59"},
    {"SecondsStayAtFiftyNine", SS, false, 59, {Up}, 59, "59"},
    {"SecondsStayAtZero", SS, false, 0, {Down}, 0, "00"},
    {"CorrectionZeroDown", SS, true, 0, {Down}, 59, "-1"},
    {"CorrectionMinusOneUp", SS, true, 59, {Up}, 0, "0"},
    {"CorrectionZeroUp", SS, true, 0, {Up}, 1, "+1"},
    {"CorrectionStaysAtPlusThirty", SS, true, 30, {Up}, 30, "+30"},
    {"CorrectionStaysAtMinusTwentyNine", SS, true, 31, {Down}, 31, "-29"},
    {"CorrectionMinusTwentyNineUp", SS, true, 31, {Up}, 32, "-28"},
    {"CorrectionPlusThirtyDown", SS, true, 30, {Down}, 29, "+29"},
    {"CorrectionPlusOneDown", SS, true, 1, {Down}, 0, "0"},
};

INSTANTIATE_TEST_SUITE_P(Steps, Spin, testing::ValuesIn(kSpinCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(CorrectionRange, SixtyStepsDownThenUpCoverMinusTwentyNineToPlusThirty) {
    TSharedState s;
    TFakeMainView v;
    TTimeEditor e(s, v);
    e.rbtSecClick();
    for (int i = 0; i < 60; ++i)
        e.sbNewSSDownClick();
    EXPECT_EQ(v.NewSS, "-29");
    std::vector<std::string> seen;
    for (int i = 0; i < 70; ++i) {
        e.sbNewSSUpClick();
        if (seen.empty() || seen.back() != v.NewSS) seen.push_back(v.NewSS);
    }
    ASSERT_EQ(seen.size(), 59u);
    EXPECT_EQ(seen.front(), "-28");
    EXPECT_EQ(seen[28], "0");
    EXPECT_EQ(seen.back(), "+30");
}

TEST(Selection, CorrectionStartsAtDoubleZeroAndHidesTheTimeFields) {
    TSharedState s;
    TFakeMainView v;
    TTimeEditor e(s, v);
    s.NewSS = 17;
    e.rbtSecClick();
    EXPECT_EQ(v.NewSS, "00");
    EXPECT_EQ(s.NewSS, 0);
    EXPECT_FALSE(v.NewTimeFieldsVisible);
    EXPECT_TRUE(v.NewSSReadOnly);
    EXPECT_FALSE(v.TimeMode);
}

TEST(Selection, TimeRefillsFromTheClock) {
    TSharedState s;
    TFakeMainView v;
    TTimeEditor e(s, v);
    e.rbtSecClick();
    s.ClockHH = 7;
    s.ClockMM = 5;
    s.ClockSS = 42;
    e.rbtTimeClick();
    EXPECT_EQ(v.NewHH + "." + v.NewMM + "." + v.NewSS, "07.05.42");
    EXPECT_EQ(s.NewHH, 7);
    EXPECT_EQ(s.NewMM, 5);
    EXPECT_EQ(s.NewSS, 42);
    EXPECT_TRUE(v.NewTimeFieldsVisible);
    EXPECT_FALSE(v.NewSSReadOnly);
    EXPECT_TRUE(v.TimeMode);
}

TEST(Send, StoresTheRequestAndKeepsTheValues) {
    TSharedState s;
    TFakeMainView v;
    TTimeEditor e(s, v);
    s.NewHH = 3;
    s.PendingAction = paSendZone;
    e.btNewTimeClick();
    EXPECT_EQ(s.PendingAction, paSendTime);
    s.PendingAction = paNone;
    e.btNewTimeClick();
    EXPECT_EQ(s.PendingAction, paSendTime);
    EXPECT_EQ(s.NewHH, 3);
}

}  // namespace
}  // namespace tamberline
