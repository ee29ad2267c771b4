// The messages between the service and its panels, and their text form. One message per line of UTF-8:
//   "TMBL/1" TAB kind {TAB key=value} LF
// at most kMaxMessageBytes bytes with its LF. Values escape backslash, TAB, LF and CR as \\ \t \n \r.
// Unknown keys are skipped (a newer peer may add some); anything else that is off (an unknown version or
// kind, a missing or bad value, a repeated key, an oversized line) is a protocol error, and the side that
// meets it drops the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tamberline {

inline const char* const kProtocolVersion = "TMBL/1";
constexpr size_t kMaxMessageBytes = 4096;

class EProtocol : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One line taken apart, values unescaped.
struct TMessage {
    std::string Kind;
    std::vector<std::pair<std::string, std::string>> Fields;
};

// Cuts a byte stream into messages.
class TMessageReader {
  public:
    void Feed(const std::string& bytes) { buffer_ += bytes; }
    // The next whole message, or nothing until more bytes come. Throws EProtocol for a bad line, or when
    // kMaxMessageBytes have come without a line end.
    std::optional<TMessage> Next();
    // Bytes of a message begun but not ended: a peer that stops here stalls mid-message.
    bool MidMessage() const { return !buffer_.empty(); }

  private:
    std::string buffer_;
};

// ---- Panel to service ----

enum class TCommandKind {
    Hello,       // first message: the panel asks for the service's state
    Action,      // a request for the action slot, with the values it reads
    SumWnt,      // the confirmed winter/summer switch: Value 0 winter, 1 summer
    Period,      // the PC synchronisation period: Value hours 1..255
    Correction,  // the receiver correction: Value seconds -29..30
    Port,        // the port and its rate
};

// What a request from the window's editors reads, as the panel's editors left it.
struct TActionValues {
    uint8_t Action = 0;  // paSyncNow, paSendZone or paSendTime
    // paSendZone: the zone (winter values) and the receiver correction.
    int32_t ZoneHours = 0;  // -12..12
    uint8_t ZoneMinutes = 0;
    int32_t ZoneSeconds = 0;
    uint8_t ZonePlus = 1;
    // paSendTime: the new time or (TimeMode false) the seconds correction in NewSS.
    uint8_t NewHH = 0, NewMM = 0, NewSS = 0;
    bool TimeMode = true;
    bool operator==(const TActionValues&) const = default;
};

struct TCommand {
    TCommandKind Kind = TCommandKind::Hello;
    uint32_t Id = 0;  // the panel's count; the result names it
    TActionValues Values;
    int32_t Value = 0;         // SumWnt, Period, Correction
    std::string PortName;      // Port
    std::string BaudRateName;  // Port: one of the serial layer's rate names
    bool operator==(const TCommand&) const = default;
};

std::string Encode(const TCommand& c);
// Throws EProtocol for a message that is no command, or whose values are out of range.
TCommand DecodeCommand(const TMessage& m);

// ---- Service to panel ----

// After Hello: whether this panel's user may give commands.
struct TWelcome {
    bool MayCommand = false;
    bool operator==(const TWelcome&) const = default;
};

// The service's state as a panel shows it; sent after Welcome and whenever it changes.
struct TStatus {
    uint32_t Tick = 0;               // seconds shown since start: a new value is a new device second
    std::string Clock = "00:00:00";  // the device's time of day as shown
    int32_t Mode = -1;               // the latest time frame's: -1 none yet, 0 autonomous, 1 synchronised
    bool TraySync = false;           // the synchronisation state the tray shows
    bool LinkLost = false;           // no device on the port, or silent
    bool ZoneKnown = false;          // a zone frame has come; the zone values below are the device's
    int32_t ZoneHours = 0;
    uint8_t ZoneMinutes = 0;
    int32_t ZoneSeconds = 0;
    uint8_t ZonePlus = 1;
    uint8_t SumWnt = 0;
    uint8_t SyncroHours = 1;
    std::string DateLine;    // status-bar panel 0
    std::string LastSyncro;  // status-bar panel 1, the whole text
    std::string PortName;    // "" while no port is chosen
    std::string BaudRateName;
    bool operator==(const TStatus&) const = default;
};

// The answer to one command.
struct TResult {
    uint32_t Id = 0;
    bool Ok = true;
    std::string Error;  // the message the panel's error box shows
    bool operator==(const TResult&) const = default;
};

// An error of the service's own work (a command to the device that failed, a settings file it cannot
// write): every panel shows it in its error box, as the window shows its own.
struct TErrorNote {
    std::string Text;
    bool operator==(const TErrorNote&) const = default;
};

using TServiceMessage = std::variant<TWelcome, TStatus, TResult, TErrorNote>;

std::string Encode(const TServiceMessage& m);
// Throws EProtocol for a message that is none of these, or whose values are out of range.
TServiceMessage DecodeServiceMessage(const TMessage& m);

}  // namespace tamberline
