// INI text: "[section]" lines open sections, "key=value" lines hold values; lines starting with ';' or
// '#' are comments. The first matching section and key win, as with the Windows profile functions.
#include "app/inifile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "app/inifile_store.h"

namespace tamberline {

namespace ini {

namespace {

struct TLine {
    size_t Begin, End, Next;  // content [Begin, End), line ending [End, Next)
};

enum class TKind { Other, Section, Key };

struct TParsed {
    TKind Kind = TKind::Other;
    std::string_view Name;                // points into the text
    size_t ValueBegin = 0, ValueEnd = 0;  // offsets in the whole text, trimmed
    size_t AfterEquals = 0;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::pair<size_t, size_t> Trim(const std::string& s, size_t b, size_t e) {
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return {b, e};
}

// The line starting at `pos` (< t.size()). Lines are taken one at a time, never all at once: a
// large file then costs one pass and no memory beyond the text itself.
TLine LineAt(const std::string& t, size_t pos) {
    const size_t nl = t.find('\n', pos);
    if (nl == std::string::npos) return {pos, t.size(), t.size()};
    const size_t end = (nl > pos && t[nl - 1] == '\r') ? nl - 1 : nl;
    return {pos, end, nl + 1};
}

TParsed Parse(const std::string& t, const TLine& line) {
    TParsed p;
    size_t b = line.Begin;
    // A byte-order mark left by some editors must not hide the first section.
    if (b == 0 && t.compare(0, 3, "\xEF\xBB\xBF") == 0) b = 3;
    auto [s, e] = Trim(t, b, line.End);
    if (s == e || t[s] == ';' || t[s] == '#') return p;
    // Searches stay inside the line: a file of lines without '=' or ']' must not cost its size per line.
    const std::string_view content(t.data() + s, e - s);
    if (t[s] == '[') {
        const size_t close = content.find(']');
        if (close == std::string_view::npos) return p;
        auto [ns, ne] = Trim(t, s + 1, s + close);
        p.Kind = TKind::Section;
        p.Name = std::string_view(t.data() + ns, ne - ns);
        return p;
    }
    const size_t found = content.find('=');
    if (found == std::string_view::npos) return p;
    const size_t eq = s + found;
    auto [ks, ke] = Trim(t, s, eq);
    // An empty value begins after all the blanks that follow '=', even those that end the line: a
    // new value written there then keeps them, the same as before a value that was not empty.
    size_t vs = eq + 1;
    while (vs < line.End && IsBlank(t[vs]))
        ++vs;
    p.Kind = TKind::Key;
    p.Name = std::string_view(t.data() + ks, ke - ks);
    p.ValueBegin = vs;
    p.AfterEquals = eq + 1;
    p.ValueEnd = std::max(vs, e);
    return p;
}

// Where the first section of that name is: its header, its last key line (the header when it has
// none; a new key goes after it) and the first line of the key.
struct TSectionSpan {
    bool HasHeader = false;
    TLine LastLine{};
    std::optional<TLine> KeyLine;
    TParsed Key;
};

TSectionSpan Locate(const std::string& t, const std::string& section, const std::string& key) {
    TSectionSpan span;
    bool inside = false;
    for (size_t pos = 0; pos < t.size();) {
        const TLine line = LineAt(t, pos);
        pos = line.Next;
        const TParsed p = Parse(t, line);
        if (p.Kind == TKind::Section) {
            if (inside) break;  // only the first section of that name counts
            inside = SameName(p.Name, section);
            if (inside) {
                span.HasHeader = true;
                span.LastLine = line;
            }
        } else if (inside && p.Kind == TKind::Key) {
            span.LastLine = line;
            if (!span.KeyLine && SameName(p.Name, key)) {
                span.KeyLine = line;
                span.Key = p;
            }
        }
    }
    return span;
}

// New lines follow the file's own convention: that of its first line ending.
std::string LineEnding(const std::string& t) {
    const size_t nl = t.find('\n');
    return (nl != std::string::npos && nl > 0 && t[nl - 1] == '\r') ? "\r\n" : "\n";
}

// A cut inside a multi-byte UTF-8 character would leave a broken character at the end.
std::string CutValue(std::string v) {
    if (v.size() <= TIniFile::kMaxValueBytes) return v;
    size_t n = TIniFile::kMaxValueBytes;
    while (n > 0 && (static_cast<unsigned char>(v[n]) & 0xC0) == 0x80)
        --n;
    v.resize(n);
    return v;
}

}  // namespace

bool FindValue(const std::string& text, const std::string& section, const std::string& key, std::string& value) {
    const TSectionSpan span = Locate(text, section, key);
    if (!span.KeyLine) return false;
    size_t b = span.Key.ValueBegin, e = span.Key.ValueEnd;
    if (e - b >= 2 && (text[b] == '"' || text[b] == '\'') && text[e - 1] == text[b]) ++b, --e;
    value = CutValue(text.substr(b, e - b));
    return true;
}

std::string SetValue(const std::string& text, const std::string& section, const std::string& key,
                     const std::string& value) {
    const std::string eol = LineEnding(text);
    const TSectionSpan span = Locate(text, section, key);
    if (span.KeyLine) {
        // The blanks before the old value stay, unless the new value brings its own: kept as well, they
        // would add up with every write of it.
        const size_t from = !value.empty() && IsBlank(value.front()) ? span.Key.AfterEquals : span.Key.ValueBegin;
        return text.substr(0, from) + value + text.substr(span.KeyLine->End);
    }
    std::string entry = key + "=" + value + eol;
    if (!span.HasHeader) {
        std::string out = text;
        if (!out.empty() && out.back() != '\n') out += eol;
        return out + "[" + section + "]" + eol + entry;
    }
    const TLine& last = span.LastLine;
    std::string before = text.substr(0, last.Next);
    if (last.Next == last.End) before += eol;  // the last line had no line ending
    return before + entry + text.substr(last.Next);
}

std::string TempNameFor(const std::string& fileName) {
    constexpr size_t kKeptBytes = 200;
    size_t n = std::min(fileName.size(), kKeptBytes);
    while (n > 0 && n < fileName.size() && (static_cast<unsigned char>(fileName[n]) & 0xC0) == 0x80)
        --n;  // never half a UTF-8 character
    return "." + fileName.substr(0, n) + ".tmp";
}

bool ParseInteger(const std::string& text, int32_t& out) {
    size_t i = 0;
    bool minus = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) minus = text[i++] == '-';
    int base = 10;
    if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) base = 16, i += 2;
    if (i == text.size()) return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        char c = Lower(text[i]);
        int d = (c >= '0' && c <= '9') ? c - '0' : (base == 16 && c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (d < 0) return false;
        v = v * base + d;
        if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;  // stops overflow, 2^31 allowed
    }
    if (minus) v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min()) return false;
    out = static_cast<int32_t>(v);
    return true;
}

namespace {

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

// A name that could not be found again, or that would change the file's structure, is refused.
const char* BadNameReason(const std::string& section, const std::string& key, const std::string& value) {
    // The same blanks as reading trims: a name ending in one would never be found again.
    auto blankEdge = [](const std::string& s) { return s.empty() || IsBlank(s.front()) || IsBlank(s.back()); };
    if (blankEdge(section) || HasLineBreak(section) || section.find(']') != std::string::npos)
        return "bad section name";
    if (blankEdge(key) || HasLineBreak(key) || key.find('=') != std::string::npos || key[0] == '[' || key[0] == ';' ||
        key[0] == '#')
        return "bad key name";
    if (HasLineBreak(value)) return "line break in value";
    return nullptr;
}

}  // namespace ini

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    std::string text, value;
    if (ini::LoadFile(path_, text) != ini::TLoadResult::Loaded) return def;
    return ini::FindValue(text, section, key, value) ? value : def;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
    int32_t v;
    return ini::ParseInteger(ReadString(section, key, ""), v) ? v : def;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    std::string failure = "Unable to write to " + path_;
    if (const char* reason = ini::BadNameReason(section, key, value)) throw EIniFileError(failure + ": " + reason);
    std::string text;
    // An unreadable file cannot be rewritten without losing what it holds.
    if (ini::LoadFile(path_, text) == ini::TLoadResult::Failed) throw EIniFileError(failure);
    if (!ini::ReplaceFile(path_, ini::SetValue(text, section, key, value))) throw EIniFileError(failure);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

}  // namespace tamberline
