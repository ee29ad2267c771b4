// Paths arrive as UTF-8 and go to the wide calls; an absolute path gets the "\\?\" prefix, so a
// directory deeper than MAX_PATH (260 characters) works as on POSIX.
#include <windows.h>
// windows.h names its own ReplaceFile as a macro, which would rename this unit's function.
#undef ReplaceFile

#include <chrono>
#include <string>

#include "app/inifile_store.h"
#include "serial/wide_text.h"

namespace tamberline::ini {

namespace {

class THandle {
  public:
    explicit THandle(HANDLE h) : h_(h) {}
    ~THandle() { Close(); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    THandle(THandle&& o) noexcept : h_(o.h_) { o.h_ = INVALID_HANDLE_VALUE; }
    bool Ok() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }
    bool Close() {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h == INVALID_HANDLE_VALUE || CloseHandle(h);
    }

  private:
    HANDLE h_;
};

std::wstring LongPath(const std::string& path) {
    std::wstring w = Widen(path);
    for (auto& c : w)
        if (c == L'/') c = L'\\';
    if (w.size() > 2 && w[1] == L':' && w[2] == L'\\') return L"\\\\?\\" + w;
    if (w.size() > 2 && w[0] == L'\\' && w[1] == L'\\' && w[2] != L'?') return L"\\\\?\\UNC\\" + w.substr(2);
    return w;
}

bool WriteAll(HANDLE h, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(s.size() - done, 1u << 20));
        if (!WriteFile(h, s.data() + done, chunk, &n, nullptr) || n == 0) return false;
        done += n;
    }
    return true;
}

// How long another writer may keep the temporary file before this write gives up, ms. A write of
// the settings file takes a few ms; only a writer that hangs (stopped, disk stalled) holds it longer.
constexpr DWORD kTempLockWaitMs = 2000;
constexpr DWORD kTempLockPollMs = 5;

// One more pause in a wait for a holder to let go; false once the wait has lasted kTempLockWaitMs.
bool WaitAgain(DWORD& waitedMs) {
    if (waitedMs >= kTempLockWaitMs) return false;
    Sleep(kTempLockPollMs);
    waitedMs += kTempLockPollMs;
    return true;
}

// The folder part of a path, with its last backslash ("" for a bare name).
std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Deletes the file open as `h`; a leftover may be read-only, which would refuse it.
bool DeleteOpen(HANDLE h) {
    FILE_BASIC_INFO basic{};  // zero times stay as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);  // a failure shows in the delete
    FILE_DISPOSITION_INFO gone{TRUE};
    return SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone) != 0;
}

// Something already has the temporary name: either another writer's file, open in its hands until its
// move, or what a writer that died (killed, power lost) left behind. Only the latter is removed; the
// former is waited for. false when it cannot be removed (a folder, or its writer hangs).
bool RemoveLeftover(const std::wstring& tmp) {
    for (DWORD waited = 0;;) {
        // Shared with nobody: refused while any writer still holds the file open.
        THandle f(CreateFileW(tmp.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (f.Ok()) return DeleteOpen(f.Get());
        const DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND) return true;  // its writer moved it meanwhile
        if (e != ERROR_SHARING_VIOLATION || !WaitAgain(waited)) return false;
    }
}

// A new, empty temporary file at the fixed name, held open: while this handle lives no other writer can
// open the name (it is shared for reading, which LoadFile needs once it is moved into place, and for
// deletion, which MoveFileExW needs), and the system lets go of it when the process dies, as the POSIX
// side's lock.
// Writers taking turns are waited out for a time, not a count of turns, as on POSIX.
THandle CreateTemp(const std::wstring& tmp, DWORD attributes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTempLockWaitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        THandle f(CreateFileW(tmp.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, attributes, nullptr));
        if (f.Ok()) return f;
        const DWORD e = GetLastError();
        if ((e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) || !RemoveLeftover(tmp)) break;
    }
    return THandle(INVALID_HANDLE_VALUE);
}

// Moves the temporary file over the settings file. Windows refuses to replace a file that is open
// anywhere (another copy reading it, a virus scanner, the indexer), and such holders let go within
// moments: the move is tried again for as long as a writer's file is waited for.
bool MoveIntoPlace(const std::wstring& tmp, const std::wstring& target) {
    for (DWORD waited = 0;;) {
        if (MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        const DWORD e = GetLastError();
        if ((e != ERROR_ACCESS_DENIED && e != ERROR_SHARING_VIOLATION) || !WaitAgain(waited)) return false;
    }
}

// Opens the settings file for reading. A program that holds it without sharing it for reading (a virus
// scanner, an editor saving it) lets go within moments, so that refusal is waited out for a time; a
// read given up on too early would hand out defaults as if the file had none.
THandle OpenForLoad(const std::wstring& path) {
    for (DWORD waited = 0;;) {
        THandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (f.Ok() || GetLastError() != ERROR_SHARING_VIOLATION || !WaitAgain(waited)) return f;
    }
}

}  // namespace

TLoadResult LoadFile(const std::string& path, std::string& content) {
    THandle f = OpenForLoad(LongPath(path));
    if (!f.Ok()) {
        const DWORD e = GetLastError();
        return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? TLoadResult::Missing : TLoadResult::Failed;
    }
    content.clear();
    char buf[8192];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(f.Get(), buf, sizeof buf, &n, nullptr)) return TLoadResult::Failed;
        if (n == 0) return TLoadResult::Loaded;
        content.append(buf, n);
    }
}

bool ReplaceFile(const std::string& path, const std::string& content) {
    const std::wstring target = LongPath(path);
    const DWORD old = GetFileAttributesW(target.c_str());
    const bool exists = old != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    // Moving over a read-only file would succeed; the file's own protection must hold.
    if (exists && (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return false;
    const std::wstring tmp = FolderOf(target) + Widen(TempNameFor(NameOf(path)));
    // Hidden or system files keep those marks in their new copy.
    const DWORD keep = exists ? (old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) : 0;
    THandle f = CreateTemp(tmp, FILE_ATTRIBUTE_NORMAL | keep);
    if (!f.Ok()) return false;
    // The file stays open, and so its name taken, until the move is done: a closed temporary file would
    // look like a leftover to another writer.
    bool ok = WriteAll(f.Get(), content) && FlushFileBuffers(f.Get());
    ok = ok && MoveIntoPlace(tmp, target);
    if (!ok) DeleteOpen(f.Get());
    f.Close();  // after the flush a close has nothing left to lose
    return ok;
}

}  // namespace tamberline::ini
