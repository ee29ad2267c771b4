// What the simulator reports it received, waited for while the window's event loop runs on.
#pragma once

#include <QElapsedTimer>
#include <QTest>
#include <optional>
#include <string>

#include "support/sim_process.h"

namespace tamberline::test {

// The next line the simulator prints that starts with `prefix` ("cmd" for any command, "cmd E2 E4 0A" for
// a zone command), or nothing within waitMs.
inline std::optional<std::string> NextSimLine(TSimProcess& sim, const std::string& prefix, int waitMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < waitMs) {
        if (auto line = sim.ReadLine(10); line && line->rfind(prefix, 0) == 0) return line;
        QTest::qWait(20);
    }
    return std::nullopt;
}

}  // namespace tamberline::test
