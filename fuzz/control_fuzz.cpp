// The control protocol's reader on any bytes a panel or a service may send: it either takes a message
// apart or refuses it with EProtocol, never anything worse. A message it takes, encoded again, reads back
// as the same message, so what the service acts on is what the text said.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "control/protocol.h"

namespace tamberline {
namespace {

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "control_fuzz: %s\n", what);
    std::abort();
}

template <class T, class Decode>
void RoundTrip(const TMessage& m, Decode decode) {
    T first;
    try {
        first = decode(m);
    } catch (const EProtocol&) {
        return;
    }
    std::string text;
    try {
        text = Encode(first);
    } catch (const EProtocol&) {
        return;  // longer than the limit once written with its defaults: never sent
    }
    TMessageReader again;
    again.Feed(text);
    const auto m2 = again.Next();
    if (!m2 || again.MidMessage()) Finding("an encoded message is not one whole line");
    if (!(decode(*m2) == first)) Finding("a message reads back differently");
}

}  // namespace
}  // namespace tamberline

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tamberline;
    TMessageReader reader;
    // Fed in two parts, as a stream may split anywhere.
    const size_t cut = size / 2;
    reader.Feed(std::string(reinterpret_cast<const char*>(data), cut));
    for (int part = 0; part < 2; ++part) {
        try {
            while (auto m = reader.Next()) {
                RoundTrip<TCommand>(*m, [](const TMessage& x) { return DecodeCommand(x); });
                RoundTrip<TServiceMessage>(*m, [](const TMessage& x) { return DecodeServiceMessage(x); });
            }
        } catch (const EProtocol&) {
            return 0;  // the peer is dropped: nothing more is read from it
        }
        if (part == 0) reader.Feed(std::string(reinterpret_cast<const char*>(data) + cut, size - cut));
    }
    return 0;
}
