// Autonomous time editor: spin stops, the seconds correction, typed input checks and the
// rewriting of fields when they lose the focus.
#include "device/time_editor.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/fake_main_view.h"

namespace tamberline {
namespace {

const char* const kHoursNotNumber = "Значение часов должно быть целым и меньше или равно 23!";
const char* const kHoursRange = "Значение часов должно быть меньше или равно 23!";
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
        {"minutes abc", MM, {"a", "ab", "abc"}, 5, {kMinutesNotNumber, kMinutesNotNumber, kMinutesNotNumber}},
        {"minutes 60: the 6 is taken", MM, {"6", "60"}, 6, {kMinutesRange}},
        {"minutes 256", MM, {"256"}, 5, {kMinutesRange}},
        {"minutes -1", MM, {"-", "-1"}, 5, {kMinutesRange}},
        {"minutes $A", MM, {"$", "$A"}, 10, {}},
        {"sign and $ are still typing", MM, {" ", " +", " +$", " +$1", " +$1F"}, 31, {}},
        {"minutes $ then a letter", MM, {"$", "$G"}, 5, {kMinutesNotNumber}},
        {"minutes 59", MM, {"5", "59"}, 59, {}},
        {"minutes emptied", MM, {"3", ""}, 3, {}},
        {"hours 25 takes the 2", HH, {"2", "25"}, 2, {kHoursRange}},
        {"hours 23", HH, {"2", "23"}, 23, {}},
        {"hours leading blanks", HH, {"  ", "  8"}, 8, {}},
        {"hours letter", HH, {"x"}, 5, {kHoursNotNumber}},
        {"seconds 60", SS, {"60"}, 5, {kSecondsRange}},
        {"seconds letter", SS, {"s"}, 5, {kSecondsNotNumber}},
        {"seconds 0", SS, {"0"}, 0, {}},
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

// Each field's own rewrite; the texts of every value are in the Spin rows.
TEST(Leave, RewritesFromTheValue) {
    const struct {
        const char* Name;
        TField Field;
        bool Correction;
        uint8_t Value;
        const char* Text;
    } cases[] = {
        {"hours 7", HH, false, 7, "  7"},
        {"minutes 7", MM, false, 7, "07"},
        {"seconds 59", SS, false, 59, "59"},
        {"correction 31 is signed", SS, true, 31, "-29"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRig r(c.Value, c.Correction);
        r.Exit(c.Field);
        EXPECT_EQ(r.Text(c.Field), c.Text);
        EXPECT_TRUE(r.V.InputErrors.empty());
    }
}

TEST(Leave, AfterBadInputTheLastTakenValueComesBack) {
    TRig r;
    for (const char* t : {"4", "47", "47x"})
        r.E.edNewMMChange(t);
    r.E.edNewMMExit();
    EXPECT_EQ(r.V.NewMM, "47");
    r.E.edNewHHChange("");
    r.E.edNewHHExit();
    EXPECT_EQ(r.V.NewHH, "  0");
}

TEST(Spin, StepsAndStops) {
    const struct {
        const char* Name;
        TField Field;
        bool Correction;
        uint8_t Start;
        std::vector<bool> Ups;  // true: up arrow
        uint8_t Value;
        const char* Text;
    } cases[] = {
        {"hours stay at 23", HH, false, 23, {true}, 23, "23"},
        {"hours stay at 0", HH, false, 0, {false}, 0, "  0"},
        {"hours 9 up", HH, false, 9, {true}, 10, "10"},
        {"hours 10 down", HH, false, 10, {false}, 9, "  9"},
        {"minutes 58 up stops at 59", MM, false, 58, {true, true, true}, 59, "59"},
        {"minutes stay at 0", MM, false, 0, {false}, 0, "00"},
        {"seconds stay at 59", SS, false, 59, {true}, 59, "59"},
        {"seconds stay at 0", SS, false, 0, {false}, 0, "00"},
        // The correction is kept as seconds modulo 60: -1 is 59.
        {"correction 0 down", SS, true, 0, {false}, 59, "-1"},
        {"correction -1 up", SS, true, 59, {true}, 0, "0"},
        {"correction stays at +30", SS, true, 30, {true}, 30, "+30"},
        {"correction stays at -29", SS, true, 31, {false}, 31, "-29"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TRig r(c.Start, c.Correction);
        for (bool up : c.Ups)
            r.Spin(c.Field, up);
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

TEST(Selection, CorrectionStartsAtDoubleZeroAndHidesTheTimeFields) {
    TRig r(17);
    r.E.rbtSecClick();
    EXPECT_EQ(r.V.NewSS, "00");
    EXPECT_EQ(r.S.NewSS, 0);
    EXPECT_FALSE(r.V.NewTimeFieldsVisible);
    EXPECT_TRUE(r.V.NewSSReadOnly);
    EXPECT_FALSE(r.V.TimeMode);
}

TEST(Selection, TimeRefillsFromTheClock) {
    TRig r(0, true);
    r.S.ClockHH = 7;
    r.S.ClockMM = 5;
    r.S.ClockSS = 42;
    r.E.rbtTimeClick();
    EXPECT_EQ(r.V.NewHH + "." + r.V.NewMM + "." + r.V.NewSS, "07.05.42");
    EXPECT_EQ((std::vector<int>{r.S.NewHH, r.S.NewMM, r.S.NewSS}), (std::vector<int>{7, 5, 42}));
    EXPECT_TRUE(r.V.NewTimeFieldsVisible);
    EXPECT_FALSE(r.V.NewSSReadOnly);
    EXPECT_TRUE(r.V.TimeMode);
}

TEST(Send, StoresTheRequestAndKeepsTheValues) {
    for (uint8_t waiting : {paSendZone, paNone}) {
        TRig r(3);
        r.S.PendingAction = waiting;
        r.E.btNewTimeClick();
        EXPECT_EQ(r.S.PendingAction, paSendTime);
        EXPECT_EQ(r.S.NewHH, 3);
    }
}

}  // namespace
}  // namespace tamberline
