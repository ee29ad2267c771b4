// The pair under wine: the runner maps pairs of COM ports onto the links of a relay on the host (a
// folder per pair under TAMBERLINE_WINE_PAIRS, named 0, 1, ...; pair k is COM(10+2k) for the port,
// COM(11+2k) for the device). A lock file in the folder keeps each pair to one test at a time.
#include <windows.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "support/pty_pair.h"
#include "support/wine_host.h"

namespace tamberline {

const char* const kNoSuchPort = "COM99";

namespace {

// The device's end as a raw 8N1 line; its rate is the relay's to set.
HANDLE OpenDeviceEnd(const std::string& name) {
    const HANDLE h =
        CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("the relay's " + name + " did not open (error " + std::to_string(GetLastError()) +
                                 ")");
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(h, &dcb);
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
    SetCommState(h, &dcb);
    COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};  // reads return at once with what is there
    SetCommTimeouts(h, &t);
    return h;
}

// The links of an earlier relay may name terminals that now belong to others: the device's end
// opens only once this relay says its links are in place.
void StartRelay(const std::string& dir) {
    const std::string ready = wine::WindowsPath(dir + "/ready");
    DeleteFileA(ready.c_str());
    using wine::ShellQuoted;
    wine::StartOnHost("exec " + ShellQuoted(wine::Env("TAMBERLINE_WINE_RELAY")) + " " + ShellQuoted(dir + "/port") +
                      " " + ShellQuoted(dir + "/device") + " " + ShellQuoted(dir + "/ready"));
    if (!wine::WaitUntil([&] { return GetFileAttributesA(ready.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000, 5))
        throw std::runtime_error("the relay of " + dir + " did not start");
}

// By name: wine gives no attributes for a link to a terminal.
bool Listed(const std::string& path) {
    WIN32_FIND_DATAA found;
    const HANDLE h = FindFirstFileA(path.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

}  // namespace

TPtyPair::TPtyPair() {
    const std::string pairs = wine::Env("TAMBERLINE_WINE_PAIRS");
    int k = 0;
    for (;; ++k) {
        const std::string lock = wine::WindowsPath(pairs + "/" + std::to_string(k) + "/lock");
        slot_ = CreateFileA(lock.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (slot_ != INVALID_HANDLE_VALUE) break;
        if (GetLastError() != ERROR_SHARING_VIOLATION)  // no such folder: the runner maps no more
            throw std::runtime_error("no free COM port pair among the " + std::to_string(k) + " the runner maps");
    }
    pairDir_ = pairs + "/" + std::to_string(k);
    slavePath_ = "COM" + std::to_string(10 + 2 * k);
    try {
        StartRelay(pairDir_);
        device_ = OpenDeviceEnd("COM" + std::to_string(11 + 2 * k));
    } catch (const std::exception&) {
        CloseHandle(slot_);
        throw;
    }
}

TPtyPair::~TPtyPair() {
    CloseMaster();
    CloseHandle(slot_);
}

// Taking the relay's marker away ends it, and the port's end hangs up with it; the pair is free
// once the relay has removed its links.
void TPtyPair::CloseMaster() {
    if (!device_) return;
    CloseHandle(device_);
    device_ = nullptr;
    DeleteFileA(wine::WindowsPath(pairDir_ + "/ready").c_str());
    const std::string port = wine::WindowsPath(pairDir_ + "/port");
    wine::WaitUntil([&] { return !Listed(port); }, 2000, 5);
}

void TPtyPair::Write(const std::string& bytes) {
    Write(bytes.data(), bytes.size());
}

void TPtyPair::Write(const void* bytes, size_t n) {
    DWORD done = 0;
    if (!WriteFile(device_, bytes, static_cast<DWORD>(n), &done, nullptr) || done != n)
        throw std::runtime_error("device end write failed");
}

std::string TPtyPair::ReadAvailable(int waitMs) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        char buf[256];
        DWORD n = 0;
        if (!ReadFile(device_, buf, sizeof buf, &n, nullptr)) return out;
        if (n > 0) {
            out.append(buf, n);
            deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline) return out;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The relay carries the port's rate over within its 1 ms turn.
unsigned TPtyPair::LineSpeed() const {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    return GetCommState(device_, &dcb) ? dcb.BaudRate : 0;
}

}  // namespace tamberline
