// Autonomous time editor: spin stops, the seconds correction, typed input checks and the
// rewriting of fields when they lose the focus.
#include "device/time_editor.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/fake_main_view.h"

namespace tamberline {
namespace {

const char* const kHoursNotNumber = "Значение часов должно быть целым и меньше или равно 23!";
const char* const kMinutesNotNumber = "Значение минут должно быть целым и меньше или равно 59!";
const char* const kMinutesRange = "Значение минут должно быть меньше или равно 59!";
const char* const kSecondsNotNumber = "Значение секунд должно быть целым и меньше или равно 59!";
const char* const kSecondsRange = "Значение секунд должно быть меньше или равно 59!";

enum TField { HH, MM, SS };

// An editor on its own state and view, every new-time value at `start`; with `correction`
// the seconds field is switched to the correction first.
struct TRig {
    TSharedState S;
    test::TFakeMainView V;
    TTimeEditor E{S, V};

    explicit TRig(uint8_t start = 0, bool correction = false) {
        if (correction) E.rbtSecClick();
        S.NewHH = S.NewMM = S.NewSS = start;
    }
    uint8_t Value(TField f) const { return f == HH ? S.NewHH : f == MM ? S.NewMM : S.NewSS; }
    const std::string& Text(TField f) const { return f == HH ? V.NewHH : f == MM ? V.NewMM : V.NewSS; }
    void Change(TField f, const std::string& t) {
        f == HH ? E.edNewHHChange(t) : f == MM ? E.edNewMMChange(t) : E.edNewSSChange(t);
    }
    void Exit(TField f) { f == HH ? E.edNewHHExit() : f == MM ? E.edNewMMExit() : E.edNewSSExit(); }
    void Spin(TField f, bool up) {
        if (f == HH) up ? E.sbNewHHUpClick() : E.sbNewHHDownClick();
        if (f == MM) up ? E.sbNewMMUpClick() : E.sbNewMMDownClick();
        if (f == SS) up ? E.sbNewSSUpClick() : E.sbNewSSDownClick();
    }
};

TEST(Parse, ReadsWholeNumbersWithSignAndHex) {
    const std::pair<const char*, int32_t> accepted[] = {{"42", 42}, {"  7", 7}, {"007", 7},  {"+5", 5},
                                                        {"-1", -1}, {"$A", 10}, {"$1f", 31}, {"-$2", -2}};
    for (const auto& [text, value] : accepted)
        EXPECT_EQ(ParseTypedInteger(text), value) << '"' << text << '"';
    // Letters, blanks after or inside, a lone sign or $, hex without $, past the integer range.
    for (const char* text : {"abc", "5 ", "5x", "1 2", "-", "$", "A", "99999999999"})
        EXPECT_EQ(ParseTypedInteger(text), std::nullopt) << '"' << text << '"';
}

TEST(Typed, ChecksEveryEdit) {
    const struct {
        const char* Name;
        TField Field;
        std::vector<std::string> Edits;  // successive texts of the field as the user types
        uint8_t Value;                   // value after the edits (starts at 5)
        std::vector<std::string> Errors;
    } cases[] = {
        {"minutes 60: the 6 is taken", MM, {"6", "60"}, 6, {kMinutesRange}},
        {"minutes $A", MM, {"$", "$A"}, 10, {}},
        {"sign and $ are still typing", MM, {" ", " +", " +$", " +$1", " +$1F"}, 31, {}},
        {"minutes $ then a letter", MM, {"$", "$G"}, 5, {kMinutesNotNumber}},
        {"minutes 59", MM, {"5", "59"}, 59, {}},
        {"minutes emptied", MM, {"3", ""}, 3, {}},
        {"hours 23", HH, {"2", "23"}, 23, {}},
        {"hours leading blanks", HH, {"  ", "  8"}, 8, {}},
        {"hours letter", HH, {"x"}, 5, {kHoursNotNumber}},
        {"seconds 60", SS, {"60"}, 5, {kSecondsRange}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRig r(5);
        for (const std::string& t : c.Edits)
            r.Change(c.Field, t);
        EXPECT_EQ(r.Value(c.Field), c.Value);
        EXPECT_EQ(r.V.InputErrors, c.Errors);
        EXPECT_EQ(r.V.NewHH + r.V.NewMM + r.V.NewSS, "") << "typing never rewrites a field";
    }
}

TEST(Typed, EditsOfTheReadOnlyCorrectionAreIgnored) {
    TRig r(0, true);
    r.E.edNewSSChange("12");
    EXPECT_EQ(r.S.NewSS, 0);
    EXPECT_TRUE(r.V.InputErrors.empty());
}

// Leaving a field rewrites it from the value last taken, not from what was typed.
TEST(Leave, RewritesFromTheLastTakenValue) {
    TRig r;
    for (const char* t : {"4", "47", "47x"})
        r.E.edNewMMChange(t);
    r.E.edNewMMExit();
    EXPECT_EQ(r.V.NewMM, "47");
    r.E.edNewHHChange("");
    r.E.edNewHHExit();
    EXPECT_EQ(r.V.NewHH, "  0");
    TRig correction(31, true);
    correction.E.edNewSSExit();
    EXPECT_EQ(correction.V.NewSS, "-29");
    EXPECT_EQ(r.V.InputErrors.size(), 1u) << "only the 47x: a rewrite is no user edit";
    EXPECT_TRUE(correction.V.InputErrors.empty());
}

// The window's arrow table has the upper stops of hours and minutes; the correction has its sweep below.
TEST(Spin, StepsAndStops) {
    const struct {
        const char* Name;
        TField Field;
        uint8_t Start;
        bool Up;
        uint8_t Value;
        const char* Text;
    } cases[] = {
        {"hours 9 up", HH, 9, true, 10, "10"},        {"hours stay at 0", HH, 0, false, 0, "  0"},
        {"minutes stay at 0", MM, 0, false, 0, "00"}, {"seconds stay at 59", SS, 59, true, 59, "59"},
        {"seconds stay at 0", SS, 0, false, 0, "00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRig r(c.Start);
        r.Spin(c.Field, c.Up);
        EXPECT_EQ(r.Value(c.Field), c.Value);
        EXPECT_EQ(r.Text(c.Field), c.Text);
        EXPECT_TRUE(r.V.InputErrors.empty()) << "program-written text is never checked";
    }
}

TEST(Spin, CorrectionCoversMinusTwentyNineToPlusThirty) {
    TRig r(0, true);
    for (int i = 0; i < 60; ++i)
        r.E.sbNewSSDownClick();
    EXPECT_EQ(r.V.NewSS, "-29");
    std::vector<std::string> seen;
    for (int i = 0; i < 70; ++i) {
        r.E.sbNewSSUpClick();
        if (seen.empty() || seen.back() != r.V.NewSS) seen.push_back(r.V.NewSS);
    }
    ASSERT_EQ(seen.size(), 59u);
    EXPECT_EQ(seen.front(), "-28");
    EXPECT_EQ(seen[28], "0");
    EXPECT_EQ(seen.back(), "+30");
}

// The window's buttons test starts from an empty slot; a waiting request must give way too.
TEST(Send, ReplacesAWaitingRequestAndKeepsTheValues) {
    TRig r(3);
    r.S.PendingAction = paSendZone;
    r.E.btNewTimeClick();
    EXPECT_EQ(r.S.PendingAction, paSendTime);
    EXPECT_EQ(r.S.NewHH, 3);
}

}  // namespace
}  // namespace tamberline
