// Paths arrive as UTF-8 and go to the wide calls; an absolute path gets the "\\?\" prefix, so a
// directory deeper than MAX_PATH (260 characters) works as on POSIX.
#include <windows.h>
// windows.h names its own ReplaceFile as a macro, which would rename this unit's function.
#undef ReplaceFile

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

}  // namespace

TLoadResult LoadFile(const std::string& path, std::string& content) {
    THandle f(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    const std::wstring tmp = target + L".tmp" + std::to_wstring(GetCurrentProcessId());
    // Hidden or system files keep those marks in their new copy.
    const DWORD keep = exists ? (old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) : 0;
    THandle f(
        CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | keep, nullptr));
    if (!f.Ok()) return false;
    bool ok = WriteAll(f.Get(), content) && FlushFileBuffers(f.Get());
    ok = f.Close() && ok;
    if (ok) ok = MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) DeleteFileW(tmp.c_str());
    return ok;
}

}  // namespace tamberline::ini
