// The settings file: INI text read and written key by key, every other byte of the file kept as it was.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tamberline {

// "Unable to write to <path>" when a write cannot be made; the file is then left exactly as it was.
class EIniFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Opens the file by name for each call and lets it go at once; nothing is cached between calls.
class TIniFile {
  public:
    explicit TIniFile(std::string path);

    // Sections and keys compare without regard to ASCII case; values come trimmed of blanks and
    // of one pair of matching quotes, at most 1023 bytes.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // Decimal, or hexadecimal after 0x/0X, with an optional sign; empty, malformed or outside
    // int32 gives `def`.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
    // Replaces the value in place or adds the key (and the section, at the end); the new file
    // replaces the old one in a single step, so a failure never leaves it half written.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);

    const std::string& Path() const { return path_; }

    static constexpr size_t kMaxValueBytes = 1023;

  private:
    std::string path_;
};

// Pure text operations behind TIniFile, open to tests.
namespace ini {
bool FindValue(const std::string& text, const std::string& section, const std::string& key, std::string& value);
std::string SetValue(const std::string& text, const std::string& section, const std::string& key,
                     const std::string& value);
bool ParseInteger(const std::string& text, int32_t& out);
// Why a write of these would be refused (it could not be read back, or would change the file's
// structure); null when it may be written.
const char* BadNameReason(const std::string& section, const std::string& key, const std::string& value);
}  // namespace ini

}  // namespace tamberline
