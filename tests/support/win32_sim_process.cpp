// The simulator under wine: wine starts a Linux program given by its Unix path, but hands it no
// Windows pipes, so the shell puts a command file (followed with tail -f) on its stdin and an output
// file on its stdout; a marker file tells that it has ended.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "support/sim_process.h"
#include "support/wine_host.h"

namespace tamberline {
namespace {

// Whole file from `offset` on; empty when it does not exist (yet).
std::string ReadFrom(const std::string& path, long long offset) {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    LARGE_INTEGER at;
    at.QuadPart = offset;
    std::string out;
    if (SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) {
        char buf[4096];
        DWORD n = 0;
        while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0)
            out.append(buf, n);
    }
    CloseHandle(h);
    return out;
}

void Append(const std::string& path, const std::string& text) {
    const HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("simulator command file cannot be written: " + path);
    DWORD n = 0;
    const BOOL ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    CloseHandle(h);
    if (!ok || n != text.size()) throw std::runtime_error("simulator command file cannot be written: " + path);
}

}  // namespace

TSimProcess::TSimProcess(const std::string& program, const std::vector<std::string>& args, int startMs) {
    const std::string unixDir = wine::Env("TAMBERLINE_WINE_SIM_DIR");
    ptyPath_ = wine::Env("TAMBERLINE_WINE_SIM_PORT");
    dir_ = wine::WindowsPath(unixDir);
    for (const char* f : {"\\out", "\\cmd", "\\done"})
        DeleteFileA((dir_ + f).c_str());
    Append(dir_ + "\\cmd", "");
    using wine::ShellQuoted;
    std::string sim = ShellQuoted(program);
    for (const auto& a : args)
        sim += " " + ShellQuoted(a);
    sim += " --link " + ShellQuoted(unixDir + "/com");
    wine::StartOnHost("tail -f -n +1 --pid=$$ " + ShellQuoted(unixDir + "/cmd") + " | " + sim + " >" +
                      ShellQuoted(unixDir + "/out") + " 2>&1; echo $? >" + ShellQuoted(unixDir + "/done"));
    if (!ReadLine(startMs)) throw std::runtime_error("simulator printed no pty path: " + program);
}

TSimProcess::~TSimProcess() {
    try {
        Command("quit");
        WaitExit(3000);
    } catch (const std::exception&) {
        // Gone already: nothing left to stop.
    }
}

void TSimProcess::Command(const std::string& line) {
    Append(dir_ + "\\cmd", line + "\n");
}

// The simulator's stdin is the followed command file, which never ends: "quit" ends it instead.
void TSimProcess::CloseCommands() {
    Command("quit");
}

std::optional<int> TSimProcess::WaitExit(int waitMs) {
    std::string code;
    if (!wine::WaitUntil([&] { return !(code = ReadFrom(dir_ + "\\done", 0)).empty(); }, waitMs, 10))
        return std::nullopt;
    return std::atoi(code.c_str());
}

std::optional<std::string> TSimProcess::ReadLine(int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (auto line = TakeLine()) return line;
        const std::string more = ReadFrom(dir_ + "\\out", readOffset_);
        readOffset_ += static_cast<long long>(more.size());
        buffered_ += more;
        if (!more.empty()) continue;
        // A short or spent wait still looks once at what is already there.
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string TSimProcess::LaterPort(const std::string&) {
    return wine::Env("TAMBERLINE_WINE_SIM_PORT");
}

std::vector<std::string> TSimProcess::LaterArgs(const std::string&) {
    return {};  // the constructor links it to that port
}

}  // namespace tamberline
