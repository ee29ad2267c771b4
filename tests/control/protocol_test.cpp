// The control protocol: every message survives its way through text, whatever its texts hold, and
// nothing malformed gets through.
#include <gtest/gtest.h>

#include "control/protocol.h"
#include "device/state.h"

namespace tamberline {
namespace {

TMessage One(const std::string& text) {
    TMessageReader r;
    r.Feed(text);
    auto m = r.Next();
    if (!m) throw EProtocol("no whole message");
    return *m;
}

TCommand Command(TCommandKind k, int32_t value = 0) {
    TCommand c;
    c.Kind = k;
    c.Id = 7;
    c.Value = value;
    return c;
}

TEST(ControlProtocol, MessagesSurviveTheirText) {
    std::vector<TCommand> commands{Command(TCommandKind::Hello), Command(TCommandKind::SumWnt, 1),
                                   Command(TCommandKind::Period, 24), Command(TCommandKind::Correction, -29)};
    TCommand zone = Command(TCommandKind::Action);
    zone.Values = {paSendZone, -12, 0, 30, 0, 0, 0, 0, true};
    TCommand time = Command(TCommandKind::Action);
    time.Values = {paSendTime, 0, 0, 0, 1, 23, 59, 58, false};
    TCommand port = Command(TCommandKind::Port);
    port.PortName = "/dev/serial/by-id/usb-FTDI\\x20=1";
    port.BaudRateName = "115200";
    commands.insert(commands.end(), {zone, time, port});
    for (const TCommand& c : commands)
        EXPECT_EQ(DecodeCommand(One(Encode(c))), c) << Encode(c);

    TStatus s;
    s.Tick = 4000000000u, s.Clock = "23:59:59", s.Mode = 1, s.TraySync = true, s.ZoneKnown = true;
    s.ZoneHours = -3, s.ZoneMinutes = 30, s.ZoneSeconds = -29, s.ZonePlus = 0, s.SumWnt = 1, s.SyncroHours = 24;
    s.DateLine = " Пт: 15.03.2024";
    s.LastSyncro = "tab\there, line\nthere, back\\slash, cr\r";
    s.PortName = "COM3", s.BaudRateName = "38400";
    const std::vector<TServiceMessage> replies{TWelcome{true}, s, TResult{7, true, {}},
                                               TResult{8, false, "Нет связи с прибором."},
                                               TErrorNote{"Unable to write to C:\\x\\Settings.INI"}};
    for (const TServiceMessage& m : replies)
        EXPECT_EQ(DecodeServiceMessage(One(Encode(m))), m) << Encode(m);
}

TEST(ControlProtocol, MalformedMessagesAreRefused) {
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"other version", "TMBL/2\thello\tid=1\n"},
        {"no version", "hello\tid=1\n"},
        {"no kind", "TMBL/1\n"},
        {"unknown command", "TMBL/1\treboot\tid=1\n"},
        {"missing id", "TMBL/1\thello\n"},
        {"id not a number", "TMBL/1\thello\tid=1x\n"},
        {"key twice", "TMBL/1\tperiod\tid=1\tv=1\tv=2\n"},
        {"field without =", "TMBL/1\thello\tid=1\tjunk\n"},
        {"period 0", "TMBL/1\tperiod\tid=1\tv=0\n"},
        {"correction out of range", "TMBL/1\tcorrection\tid=1\tv=31\n"},
        {"request the panel may not make", "TMBL/1\taction\tid=1\ta=5\n"},
        {"zone hours out of range", "TMBL/1\taction\tid=1\ta=3\tzh=13\tzm=0\tzs=0\tzp=1\n"},
        {"time missing a field", "TMBL/1\taction\tid=1\ta=4\thh=1\tmm=2\ttm=1\n"},
        {"unknown rate", "TMBL/1\tport\tid=1\tport=COM1\tbaud=31250\n"},
        {"empty port", "TMBL/1\tport\tid=1\tport=\tbaud=9600\n"},
        {"control character in a value", "TMBL/1\tport\tid=1\tport=CO\x01M1\tbaud=9600\n"},
        {"escape that is none", "TMBL/1\tport\tid=1\tport=COM\\x1\tbaud=9600\n"},
        {"lone backslash", "TMBL/1\tport\tid=1\tport=COM1\\\tbaud=9600\n"},
        {"carriage return before the line end", "TMBL/1\thello\tid=1\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_THROW(DecodeCommand(One(c.text)), EProtocol) << c.name;
    EXPECT_THROW(DecodeServiceMessage(One("TMBL/1\tstatus\ttick=1\n")), EProtocol) << "a status lacking its fields";
    EXPECT_THROW(DecodeServiceMessage(One("TMBL/1\thello\tid=1\n")), EProtocol) << "a command where a reply belongs";
}

TEST(ControlProtocol, StreamIsCutIntoMessagesAndLimited) {
    TMessageReader r;
    const std::string two = Encode(Command(TCommandKind::Hello)) + Encode(Command(TCommandKind::Period, 3));
    for (char c : two.substr(0, 10))
        r.Feed(std::string(1, c));
    EXPECT_FALSE(r.Next());
    EXPECT_TRUE(r.MidMessage());
    r.Feed(two.substr(10));
    EXPECT_EQ(DecodeCommand(*r.Next()).Kind, TCommandKind::Hello);
    EXPECT_EQ(DecodeCommand(*r.Next()).Value, 3);
    EXPECT_FALSE(r.Next());
    EXPECT_FALSE(r.MidMessage());

    // No line end within the limit: refused as soon as the limit is reached, not after it is exceeded.
    TMessageReader flood;
    flood.Feed(std::string(kMaxMessageBytes - 1, 'x'));
    EXPECT_FALSE(flood.Next());
    flood.Feed("x");
    EXPECT_THROW(flood.Next(), EProtocol);

    TStatus huge;
    huge.BaudRateName = "9600";
    huge.LastSyncro = std::string(kMaxMessageBytes, 'x');
    EXPECT_THROW(Encode(huge), EProtocol) << "a message too long is never sent";
}

}  // namespace
}  // namespace tamberline
