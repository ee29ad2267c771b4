// The settings file's text operations on any text a hand-edited file may hold. After one key is
// written (when the write is not refused):
//   - every line of the old text but the key's own is still there, byte for byte;
//   - the written key reads back as the same value reads from a file of its own;
//   - every other section and key pair reads as before;
//   - writing the same again changes nothing.
//
// Input: section, key and value, each ended by a NUL byte, then the file's text. Fields that are
// missing take the names the program writes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/inifile.h"

namespace tamberline {
namespace {

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "inifile_fuzz: %s\n", what);
    std::abort();
}

void Require(bool ok, const char* what) {
    if (!ok) Finding(what);
}

std::string Field(const uint8_t*& p, const uint8_t* end, const char* missing) {
    const uint8_t* nul = p;
    while (nul < end && *nul != 0)
        ++nul;
    if (nul == end) return missing;
    std::string f(p, nul);
    p = nul + 1;
    return f;
}

std::string Trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// Section and key names the text seems to hold, found roughly: any pair must read the same before and
// after, so a pair that is no key at all checks as much as one that is.
std::vector<std::pair<std::string, std::string>> Pairs(const std::string& text, size_t limit) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string section;
    for (size_t pos = 0; pos < text.size() && pairs.size() < limit;) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        const std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        const size_t open = line.find('['), close = line.find(']'), eq = line.find('=');
        if (open != std::string::npos && close != std::string::npos && open < close)
            section = Trimmed(line.substr(open + 1, close - open - 1));
        else if (eq != std::string::npos)
            pairs.emplace_back(section, Trimmed(line.substr(0, eq)));
    }
    return pairs;
}

struct TRead {
    bool Found;
    std::string Value;
    bool operator==(const TRead&) const = default;
};

TRead Read(const std::string& text, const std::string& section, const std::string& key) {
    TRead r{false, {}};
    r.Found = ini::FindValue(text, section, key, r.Value);
    return r;
}

bool HasNewline(const std::string& s, size_t begin, size_t end) {
    return s.find('\n', begin) < end;
}

// The new text differs from the old in one stretch that lies within one old line: all other lines
// are kept byte for byte (a last line without an ending may gain one).
void CheckOtherLinesKept(const std::string& before, const std::string& after) {
    size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    Require(!HasNewline(before, head, before.size() - tail), "a write changed more than the key's own line");
}

}  // namespace
}  // namespace tamberline

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tamberline;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    const std::string section = Field(p, end, "Common Settings");
    const std::string key = Field(p, end, "Last Syncro");
    const std::string value = Field(p, end, "15.03.2024 10:21");
    const std::string before(p, end);
    if (ini::BadNameReason(section, key, value)) return 0;  // refused: the file is not touched

    const std::string after = ini::SetValue(before, section, key, value);
    CheckOtherLinesKept(before, after);
    const TRead own = Read("[" + section + "]\n" + key + "=" + value + "\n", section, key);
    Require(own.Found, "a key in a file of its own not found");
    Require(Read(after, section, key) == own, "the written key does not read back");
    for (const auto& [s, k] : Pairs(before, 16)) {
        const TRead was = Read(before, s, k), is = Read(after, s, k);
        if (is == was) continue;
        // Only the written pair may change (its names as the file compares them), to the written value.
        Require(is == own && Read("[" + s + "]\n" + k + "=x\n", section, key).Found, "another key changed");
    }
    Require(ini::SetValue(after, section, key, value) == after, "writing the same again changed the text");
    return 0;
}
