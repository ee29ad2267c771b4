#include "device/time_editor.h"

#include "device/texts.h"

#include <cctype>

namespace tamberline {

namespace {

constexpr int MinCorrection = -29;
constexpr int MaxCorrection = 30;

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (l >= 'a' && l <= 'f') return l - 'a' + 10;
    return -1;
}

// Blanks, a sign or a "$" with nothing after them are the start of a number being typed: an
// error box there would take the focus and swallow the keys that finish it ("$" then "A").
bool IsUnfinishedNumber(const std::string& text) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return true;
    if (text[i] == '+' || text[i] == '-') ++i;
    if (i < text.size() && text[i] == '$') ++i;
    return i == text.size();
}

}  // namespace

std::optional<int32_t> ParseTypedInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool minus = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) minus = text[i++] == '-';
    const bool hex = i < text.size() && text[i] == '$';
    if (hex) ++i;
    if (i == text.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = DigitValue(text[i], hex);
        if (d < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + d;
        // Anything past 32 bits is no integer the fields could hold.
        if (value > INT32_MAX) return std::nullopt;
    }
    return static_cast<int32_t>(minus ? -value : value);
}

std::string NewHoursText(int hours) {
    return hours < 10 ? "  " + std::to_string(hours) : std::to_string(hours);
}

std::string CorrectionText(int seconds) {
    if (seconds > 0) return "+" + std::to_string(seconds);
    return std::to_string(seconds);
}

int CorrectionFromNewSS(uint8_t newSS) {
    return newSS > MaxCorrection ? newSS - 60 : newSS;
}

int StepCorrection(int seconds, bool up) {
    if (up) return seconds >= MaxCorrection ? MaxCorrection : seconds + 1;
    return seconds <= MinCorrection ? MinCorrection : seconds - 1;
}

TTimeEditor::TTimeEditor(TSharedState& s, TMainView& v) : S(s), V(v) {}

void TTimeEditor::sbNewHHUpClick() {
    if (S.NewHH < 23) ++S.NewHH;
    V.SetNewHHText(NewHoursText(S.NewHH));
}

void TTimeEditor::sbNewHHDownClick() {
    if (S.NewHH > 0) --S.NewHH;
    V.SetNewHHText(NewHoursText(S.NewHH));
}

void TTimeEditor::sbNewMMUpClick() {
    if (S.NewMM < 59) ++S.NewMM;
    V.SetNewMMText(TwoDigits(S.NewMM));
}

void TTimeEditor::sbNewMMDownClick() {
    if (S.NewMM > 0) --S.NewMM;
    V.SetNewMMText(TwoDigits(S.NewMM));
}

void TTimeEditor::sbNewSSUpClick() {
    if (CorrectionSelected()) {
        const int c = StepCorrection(CorrectionFromNewSS(S.NewSS), true);
        S.NewSS = static_cast<uint8_t>(c < 0 ? c + 60 : c);
    } else if (S.NewSS < 59) {
        ++S.NewSS;
    }
    ShowSS();
}

void TTimeEditor::sbNewSSDownClick() {
    if (CorrectionSelected()) {
        const int c = StepCorrection(CorrectionFromNewSS(S.NewSS), false);
        S.NewSS = static_cast<uint8_t>(c < 0 ? c + 60 : c);
    } else if (S.NewSS > 0) {
        --S.NewSS;
    }
    ShowSS();
}

void TTimeEditor::ShowSS() {
    V.SetNewSSText(CorrectionSelected() ? CorrectionText(CorrectionFromNewSS(S.NewSS)) : TwoDigits(S.NewSS));
}

std::optional<uint8_t> TTimeEditor::CheckTyped(const std::string& text, int max, const char* notNumber,
                                               const char* outOfRange) {
    if (IsUnfinishedNumber(text)) return std::nullopt;
    const std::optional<int32_t> n = ParseTypedInteger(text);
    if (!n) {
        V.ShowInputError(notNumber);
        return std::nullopt;
    }
    if (*n < 0 || *n > max) {
        V.ShowInputError(outOfRange);
        return std::nullopt;
    }
    return static_cast<uint8_t>(*n);
}

void TTimeEditor::edNewHHChange(const std::string& text) {
    if (auto v = CheckTyped(text, 23, "Значение часов должно быть целым и меньше или равно 23!",
                            "Значение часов должно быть меньше или равно 23!"))
        S.NewHH = *v;
}

void TTimeEditor::edNewMMChange(const std::string& text) {
    if (auto v = CheckTyped(text, 59, "Значение минут должно быть целым и меньше или равно 59!",
                            "Значение минут должно быть меньше или равно 59!"))
        S.NewMM = *v;
}

void TTimeEditor::edNewSSChange(const std::string& text) {
    // The field is read-only while the correction is selected; a stray edit must not turn
    // a time of day into a correction.
    if (CorrectionSelected()) return;
    if (auto v = CheckTyped(text, 59, "Значение секунд должно быть целым и меньше или равно 59!",
                            "Значение секунд должно быть меньше или равно 59!"))
        S.NewSS = *v;
}

void TTimeEditor::edNewHHExit() {
    V.SetNewHHText(NewHoursText(S.NewHH));
}
void TTimeEditor::edNewMMExit() {
    V.SetNewMMText(TwoDigits(S.NewMM));
}
void TTimeEditor::edNewSSExit() {
    ShowSS();
}

void TTimeEditor::rbtTimeClick() {
    V.SetNewTimeFieldsVisible(true);
    V.SetNewSSReadOnly(false);
    FillNewTimeFromClock(S, V, true);
    V.SetTimeModeSelected(true);
}

void FillNewTimeFromClock(TSharedState& s, TMainView& v, bool withSeconds) {
    v.SetNewHHText(TwoDigits(s.ClockHH));
    s.NewHH = static_cast<uint8_t>(s.ClockHH);
    v.SetNewMMText(TwoDigits(s.ClockMM));
    s.NewMM = static_cast<uint8_t>(s.ClockMM);
    if (!withSeconds) return;
    v.SetNewSSText(TwoDigits(s.ClockSS));
    s.NewSS = static_cast<uint8_t>(s.ClockSS);
}

void TTimeEditor::rbtSecClick() {
    V.SetNewTimeFieldsVisible(false);
    V.SetNewSSReadOnly(true);
    V.SetNewSSText("00");
    S.NewSS = 0;
    V.SetTimeModeSelected(false);
}

void TTimeEditor::btNewTimeClick() {
    S.PendingAction = paSendTime;
}

}  // namespace tamberline
