// What the Windows tests under wine need of the Linux host around them: the folders and programs the
// wine runner names in the environment, Unix paths as wine sees them, and native programs started
// beside the test.
#pragma once

#include <functional>
#include <string>

namespace tamberline::wine {

// The runner's setting `name`; throws std::runtime_error when the test was not started by it.
std::string Env(const char* name);
// wine's drive Z: is the Unix root.
std::string WindowsPath(const std::string& unixPath);
// `s` as one word for /bin/sh.
std::string ShellQuoted(const std::string& s);
// Starts /bin/sh -c `script` on the host, not waiting for it; throws std::runtime_error when it
// cannot be started.
void StartOnHost(const std::string& script);
// Asks `done` every pollMs until it says yes (true) or waitMs have passed (false): a host program
// running beside the test speaks only through files.
bool WaitUntil(const std::function<bool()>& done, int waitMs, int pollMs);

}  // namespace tamberline::wine
