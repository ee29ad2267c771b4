// Paths are opened one directory at a time (openat), so a directory of any depth and length works,
// beyond the system's limit for a whole path (PATH_MAX, 4096 bytes).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "app/inifile_store.h"

namespace tamberline::ini {

namespace {

class TFd {
  public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    TFd(TFd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    TFd& operator=(TFd&& o) noexcept {
        std::swap(fd_, o.fd_);
        return *this;
    }
    int Get() const { return fd_; }
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }
    bool Ok() const { return fd_ >= 0; }

  private:
    int fd_;
};

constexpr int kMaxLinks = 8;  // symbolic links followed for the file itself

// Opens the directory that holds the last component of `path`, starting at `from`.
bool OpenParent(int from, const std::string& path, TFd& dir, std::string& base) {
    size_t slash = path.rfind('/');
    base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") {
        errno = EISDIR;
        return false;
    }
    std::string dirPart = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    bool absolute = !dirPart.empty() && dirPart[0] == '/';
    TFd cur(openat(absolute ? AT_FDCWD : from, absolute ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    size_t pos = 0;
    while (cur.Ok() && pos < dirPart.size()) {
        size_t next = dirPart.find('/', pos);
        std::string comp = dirPart.substr(pos, next - pos);
        pos = next + 1;
        if (comp.empty() || comp == ".") continue;
        cur = TFd(openat(cur.Get(), comp.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!cur.Ok()) return false;
    dir = std::move(cur);
    return true;
}

// Follows symbolic links of the file itself, so a linked settings file is updated, not replaced by a copy.
bool Resolve(const std::string& path, TFd& dir, std::string& base) {
    if (!OpenParent(AT_FDCWD, path, dir, base)) return false;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (fstatat(dir.Get(), base.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) return true;
        std::string target(st.st_size > 0 ? st.st_size + 1 : 4096, '\0');
        ssize_t n = readlinkat(dir.Get(), base.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) return false;
        target.resize(n);
        TFd next;
        if (!OpenParent(dir.Get(), target, next, base)) return false;
        dir = std::move(next);
    }
    errno = ELOOP;
    return false;
}

bool WriteAll(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        ssize_t n = write(fd, s.data() + done, s.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// Unique within the directory: process id and a counter; O_EXCL guards against anything left over.
TFd CreateTemp(int dir, const std::string& base, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = "." + base.substr(0, 200) + ".tmp" + std::to_string(getpid()) + "." + std::to_string(counter++);
        TFd fd(openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.Ok() || errno != EEXIST) return fd;
    }
    return TFd();
}

}  // namespace

TLoadResult LoadFile(const std::string& path, std::string& content) {
    TFd dir;
    std::string base;
    if (!OpenParent(AT_FDCWD, path, dir, base)) return errno == ENOENT ? TLoadResult::Missing : TLoadResult::Failed;
    TFd fd(openat(dir.Get(), base.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Ok()) return errno == ENOENT ? TLoadResult::Missing : TLoadResult::Failed;
    content.clear();
    struct stat st {};
    if (fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode)) content.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd.Get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return TLoadResult::Failed;
        if (n == 0) return TLoadResult::Loaded;
        content.append(buf, n);
    }
}

bool ReplaceFile(const std::string& path, const std::string& content) {
    TFd dir;
    std::string base;
    if (!Resolve(path, dir, base)) return false;
    struct stat old {};
    bool exists = fstatat(dir.Get(), base.c_str(), &old, 0) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists) {
        // Renaming over a read-only file would succeed; the file's own protection must hold, even for root.
        if (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0 || faccessat(dir.Get(), base.c_str(), W_OK, 0) != 0)
            return false;
    }
    std::string tmp;
    TFd fd = CreateTemp(dir.Get(), base, tmp);
    if (!fd.Ok()) return false;
    bool ok = WriteAll(fd.Get(), content);
    if (ok && exists) {
        ok = fchmod(fd.Get(), old.st_mode & 07777) == 0;
        if (fchown(fd.Get(), old.st_uid, old.st_gid) != 0) {
            // Only the owner or root may give a file away; the writer then owns the new file, as with an edit.
        }
    }
    ok = ok && fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;  // a failed close can mean the data never reached the disk
    if (ok) ok = renameat(dir.Get(), tmp.c_str(), dir.Get(), base.c_str()) == 0;
    if (!ok) {
        unlinkat(dir.Get(), tmp.c_str(), 0);
        return false;
    }
    fsync(dir.Get());  // the rename itself reaches the disk; a failure here loses nothing already written
    return true;
}

}  // namespace tamberline::ini
