#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "support/wine_host.h"

namespace tamberline::wine {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v) throw std::runtime_error(std::string(name) + " is not set: run the tests through the wine runner");
    return v;
}

std::string WindowsPath(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (auto& c : p)
        if (c == '/') c = '\\';
    return p;
}

std::string ShellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void StartOnHost(const std::string& script) {
    // Through wine's start.exe: a Linux program started directly would take the test's own output
    // away with it.
    std::string line = "start.exe /unix /bin/sh -c \"" + script + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        throw std::runtime_error("cannot start on the host: " + script);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

bool WaitUntil(const std::function<bool()>& done, int waitMs, int pollMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return true;
}

}  // namespace tamberline::wine
