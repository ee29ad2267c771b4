#include "control/protocol.h"

#include <charconv>
#include <map>

#include "device/state.h"
#include "serial/comport.h"

namespace tamberline {

namespace {

// Port names are device names: short, printable, never a place for a stray line or key.
constexpr size_t kMaxPortName = 255;

std::string Escape(const std::string& v) {
    std::string out;
    out.reserve(v.size());
    for (char c : v) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& v) {
    std::string out;
    out.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\') {
            out += v[i];
            continue;
        }
        if (++i == v.size()) throw EProtocol("значение кончается одиночной обратной косой чертой");
        switch (v[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                throw EProtocol("неизвестная экранировка \\" + std::string(1, v[i]));
        }
    }
    return out;
}

bool IsName(const std::string& s) {
    if (s.empty() || s.size() > 32) return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
    return true;
}

// One message being written.
class TLine {
  public:
    explicit TLine(const char* kind) : s_(std::string(kProtocolVersion) + '\t' + kind) {}
    TLine& Add(const char* key, const std::string& value) {
        s_ += '\t';
        s_ += key;
        s_ += '=';
        s_ += Escape(value);
        return *this;
    }
    TLine& Add(const char* key, int64_t value) { return Add(key, std::to_string(value)); }
    std::string Done() {
        s_ += '\n';
        if (s_.size() > kMaxMessageBytes)
            throw EProtocol("сообщение длиннее " + std::to_string(kMaxMessageBytes) + " байт");
        return s_;
    }

  private:
    std::string s_;
};

// The fields of one message being read, each taken once.
class TFields {
  public:
    explicit TFields(const TMessage& m) {
        for (const auto& [key, value] : m.Fields)
            if (!fields_.emplace(key, value).second) throw EProtocol("ключ «" + key + "» дважды");
    }
    bool Has(const char* key) const { return fields_.count(key) != 0; }
    const std::string& Text(const char* key) const {
        auto it = fields_.find(key);
        if (it == fields_.end()) throw EProtocol(std::string("нет ключа «") + key + "»");
        return it->second;
    }
    int64_t Int(const char* key, int64_t lo, int64_t hi) const {
        const std::string& t = Text(key);
        int64_t v = 0;
        const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
        if (ec != std::errc() || end != t.data() + t.size() || v < lo || v > hi)
            throw EProtocol(std::string("«") + key + "» не число от " + std::to_string(lo) + " до " +
                            std::to_string(hi));
        return v;
    }
    bool Flag(const char* key) const { return Int(key, 0, 1) == 1; }

  private:
    std::map<std::string, std::string> fields_;
};

void CheckPortName(const std::string& name) {
    if (name.empty() || name.size() > kMaxPortName) throw EProtocol("длина имени порта вне пределов");
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) throw EProtocol("управляющий символ в имени порта");
}

void CheckBaudRateName(const std::string& name) {
    for (int r = br110; r <= br256000; ++r)
        if (BaudRateName(static_cast<TBaudRate>(r)) == name) return;
    throw EProtocol("нет такой скорости «" + name + "»");
}

const char* KindName(TCommandKind k) {
    switch (k) {
        case TCommandKind::Hello:
            return "hello";
        case TCommandKind::Action:
            return "action";
        case TCommandKind::SumWnt:
            return "sumwnt";
        case TCommandKind::Period:
            return "period";
        case TCommandKind::Correction:
            return "correction";
        case TCommandKind::Port:
            return "port";
    }
    return "hello";
}

TActionValues DecodeAction(const TFields& f) {
    TActionValues a;
    a.Action = static_cast<uint8_t>(f.Int("a", 0, 255));
    switch (a.Action) {
        case paSyncNow:
            break;
        case paSendZone:
            a.ZoneHours = static_cast<int32_t>(f.Int("zh", -12, 12));
            a.ZoneMinutes = static_cast<uint8_t>(f.Int("zm", 0, 59));
            a.ZoneSeconds = static_cast<int32_t>(f.Int("zs", -29, 30));
            a.ZonePlus = f.Flag("zp") ? 1 : 0;
            break;
        case paSendTime:
            a.NewHH = static_cast<uint8_t>(f.Int("hh", 0, 23));
            a.NewMM = static_cast<uint8_t>(f.Int("mm", 0, 59));
            a.NewSS = static_cast<uint8_t>(f.Int("ss", 0, 59));
            a.TimeMode = f.Flag("tm");
            break;
        default:
            throw EProtocol("нет такого запроса " + std::to_string(a.Action));
    }
    return a;
}

TStatus DecodeStatus(const TFields& f) {
    TStatus s;
    s.Tick = static_cast<uint32_t>(f.Int("tick", 0, UINT32_MAX));
    s.Clock = f.Text("clock");
    const std::string& c = s.Clock;
    const auto digit = [&](size_t i) { return c[i] >= '0' && c[i] <= '9'; };
    if (c.size() != 8 || c[2] != ':' || c[5] != ':' || !digit(0) || !digit(1) || !digit(3) || !digit(4) || !digit(6) ||
        !digit(7))
        throw EProtocol("время не в виде чч:мм:сс");
    s.Mode = static_cast<int32_t>(f.Int("mode", -1, 1));
    s.TraySync = f.Flag("tray");
    s.LinkLost = f.Flag("lost");
    s.ZoneKnown = f.Flag("zk");
    s.ZoneHours = static_cast<int32_t>(f.Int("zh", -99, 99));
    s.ZoneMinutes = static_cast<uint8_t>(f.Int("zm", 0, 99));
    s.ZoneSeconds = static_cast<int32_t>(f.Int("zs", -99, 99));
    s.ZonePlus = f.Flag("zp") ? 1 : 0;
    s.SumWnt = f.Flag("sw") ? 1 : 0;
    s.SyncroHours = static_cast<uint8_t>(f.Int("period", 0, 255));
    s.DateLine = f.Text("date");
    s.LastSyncro = f.Text("last");
    s.PortName = f.Text("port");
    s.BaudRateName = f.Text("baud");
    if (!s.PortName.empty()) CheckPortName(s.PortName);
    CheckBaudRateName(s.BaudRateName);
    return s;
}

}  // namespace

std::optional<TMessage> TMessageReader::Next() {
    const size_t end = buffer_.find('\n');
    if (end == std::string::npos) {
        if (buffer_.size() >= kMaxMessageBytes) throw EProtocol("сообщение длиннее предела");
        return std::nullopt;
    }
    if (end + 1 > kMaxMessageBytes) throw EProtocol("сообщение длиннее предела");
    const std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);

    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t tab = line.find('\t', from);
        parts.push_back(line.substr(from, tab - from));
        if (tab == std::string::npos) break;
        from = tab + 1;
    }
    if (parts[0] != kProtocolVersion)
        throw EProtocol(parts[0].rfind("TMBL/", 0) == 0 ? "неизвестная версия протокола " + parts[0]
                                                        : "не сообщение протокола");
    if (parts.size() < 2 || !IsName(parts[1])) throw EProtocol("нет вида сообщения");
    for (char c : line)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) throw EProtocol("управляющий символ");
    TMessage m;
    m.Kind = parts[1];
    for (size_t i = 2; i < parts.size(); ++i) {
        const size_t eq = parts[i].find('=');
        if (eq == std::string::npos || !IsName(parts[i].substr(0, eq))) throw EProtocol("поле не в виде ключ=значение");
        m.Fields.emplace_back(parts[i].substr(0, eq), Unescape(parts[i].substr(eq + 1)));
    }
    return m;
}

std::string Encode(const TCommand& c) {
    TLine l(KindName(c.Kind));
    l.Add("id", c.Id);
    switch (c.Kind) {
        case TCommandKind::Hello:
            break;
        case TCommandKind::Action: {
            const TActionValues& a = c.Values;
            l.Add("a", a.Action);
            if (a.Action == paSendZone)
                l.Add("zh", a.ZoneHours).Add("zm", a.ZoneMinutes).Add("zs", a.ZoneSeconds).Add("zp", a.ZonePlus);
            if (a.Action == paSendTime)
                l.Add("hh", a.NewHH).Add("mm", a.NewMM).Add("ss", a.NewSS).Add("tm", a.TimeMode ? 1 : 0);
            break;
        }
        case TCommandKind::SumWnt:
        case TCommandKind::Period:
        case TCommandKind::Correction:
            l.Add("v", c.Value);
            break;
        case TCommandKind::Port:
            l.Add("port", c.PortName).Add("baud", c.BaudRateName);
            break;
    }
    return l.Done();
}

TCommand DecodeCommand(const TMessage& m) {
    const TFields f(m);
    TCommand c;
    c.Id = static_cast<uint32_t>(f.Int("id", 0, UINT32_MAX));
    if (m.Kind == "hello") {
        c.Kind = TCommandKind::Hello;
    } else if (m.Kind == "action") {
        c.Kind = TCommandKind::Action;
        c.Values = DecodeAction(f);
    } else if (m.Kind == "sumwnt") {
        c.Kind = TCommandKind::SumWnt;
        c.Value = f.Flag("v");
    } else if (m.Kind == "period") {
        c.Kind = TCommandKind::Period;
        c.Value = static_cast<int32_t>(f.Int("v", 1, 255));
    } else if (m.Kind == "correction") {
        c.Kind = TCommandKind::Correction;
        c.Value = static_cast<int32_t>(f.Int("v", -29, 30));
    } else if (m.Kind == "port") {
        c.Kind = TCommandKind::Port;
        c.PortName = f.Text("port");
        c.BaudRateName = f.Text("baud");
        CheckPortName(c.PortName);
        CheckBaudRateName(c.BaudRateName);
    } else {
        throw EProtocol("неизвестная команда «" + m.Kind + "»");
    }
    return c;
}

std::string Encode(const TServiceMessage& m) {
    if (const auto* w = std::get_if<TWelcome>(&m)) return TLine("welcome").Add("control", w->MayCommand).Done();
    if (const auto* r = std::get_if<TResult>(&m)) {
        TLine l("result");
        l.Add("id", r->Id).Add("ok", r->Ok);
        if (!r->Ok) l.Add("error", r->Error);
        return l.Done();
    }
    if (const auto* e = std::get_if<TErrorNote>(&m)) return TLine("error").Add("text", e->Text).Done();
    const TStatus& s = std::get<TStatus>(m);
    return TLine("status")
        .Add("tick", s.Tick)
        .Add("clock", s.Clock)
        .Add("mode", s.Mode)
        .Add("tray", s.TraySync)
        .Add("lost", s.LinkLost)
        .Add("zk", s.ZoneKnown)
        .Add("zh", s.ZoneHours)
        .Add("zm", s.ZoneMinutes)
        .Add("zs", s.ZoneSeconds)
        .Add("zp", s.ZonePlus)
        .Add("sw", s.SumWnt)
        .Add("period", s.SyncroHours)
        .Add("date", s.DateLine)
        .Add("last", s.LastSyncro)
        .Add("port", s.PortName)
        .Add("baud", s.BaudRateName)
        .Done();
}

TServiceMessage DecodeServiceMessage(const TMessage& m) {
    const TFields f(m);
    if (m.Kind == "welcome") return TWelcome{f.Flag("control")};
    if (m.Kind == "status") return DecodeStatus(f);
    if (m.Kind == "result") {
        TResult r{static_cast<uint32_t>(f.Int("id", 0, UINT32_MAX)), f.Flag("ok"), {}};
        if (!r.Ok) r.Error = f.Text("error");
        return r;
    }
    if (m.Kind == "error") return TErrorNote{f.Text("text")};
    throw EProtocol("неизвестное сообщение «" + m.Kind + "»");
}

}  // namespace tamberline
