// Paths are opened one directory at a time (openat), so a directory of any depth and length works,
// beyond the system's limit for a whole path (PATH_MAX, 4096 bytes).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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

// How long another writer may keep the temporary file before this write gives up, ms. A write of
// the settings file takes a few ms; only a writer that hangs (stopped, disk stalled) holds it longer.
constexpr int kTempLockWaitMs = 2000;
constexpr int kTempLockPollMs = 5;

bool LockWithin(int fd) {
    for (int waited = 0;; waited += kTempLockPollMs) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (waited >= kTempLockWaitMs) return false;
        usleep(kTempLockPollMs * 1000);
    }
}

// Whether `name` in `dir` still is the file open as `fd`.
bool StillNamed(int dir, const std::string& name, int fd) {
    struct stat a {};
    struct stat b {};
    return fstat(fd, &a) == 0 && fstatat(dir, name.c_str(), &b, AT_SYMLINK_NOFOLLOW) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool Unlink(int dir, const std::string& name) {
    return unlinkat(dir, name.c_str(), 0) == 0 || errno == ENOENT;
}

// Something already has the temporary name: either another writer's file, locked by it until its
// rename, or what a writer that died (killed, power lost) left behind. Only the latter is removed.
// false when it cannot be removed (not ours, a directory, or its writer hangs).
bool RemoveLeftover(int dir, const std::string& name) {
    TFd fd(openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Ok()) {
        if (errno == ENOENT) return true;              // its writer renamed it meanwhile
        if (errno == ELOOP) return Unlink(dir, name);  // a symbolic link: no writer of ours makes one
        return false;
    }
    if (!LockWithin(fd.Get())) return false;
    // Renamed into place (or removed and made anew) before the lock came: that one is not ours to remove.
    if (!StillNamed(dir, name, fd.Get())) return true;
    return Unlink(dir, name);
}

// A new, empty temporary file at the fixed name, locked: the lock marks it as being written for as
// long as this process holds it open, and the kernel drops it when the process dies.
// Writers that keep taking turns (each one's rename frees the name for the next) are waited out
// for the same time as one that holds it, not for a count of turns: a count ran out when two
// writers wrote in a loop on a busy machine, and a write then failed that would have come through.
TFd CreateTemp(int dir, const std::string& name) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTempLockWaitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        TFd fd(openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd.Ok()) {
            if (errno != EEXIST || !RemoveLeftover(dir, name)) return TFd();
            continue;
        }
        // Between the creation and the lock another writer may have taken it for a leftover.
        if (LockWithin(fd.Get()) && StillNamed(dir, name, fd.Get())) return fd;
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
    const std::string tmp = TempNameFor(base);
    TFd fd = CreateTemp(dir.Get(), tmp);
    if (!fd.Ok()) return false;
    bool ok = WriteAll(fd.Get(), content);
    if (ok && exists) {
        ok = fchmod(fd.Get(), old.st_mode & 07777) == 0;
        if (fchown(fd.Get(), old.st_uid, old.st_gid) != 0) {
            // Only the owner or root may give a file away; the writer then owns the new file, as with an edit.
        }
    }
    // The data must be on the disk before the name moves. The file stays open, and so locked, until the
    // rename is done: a closed temporary file would look like a leftover to another writer.
    ok = ok && fsync(fd.Get()) == 0;
    if (ok) ok = renameat(dir.Get(), tmp.c_str(), dir.Get(), base.c_str()) == 0;
    if (!ok) {
        unlinkat(dir.Get(), tmp.c_str(), 0);
        return false;
    }
    fd.Close();        // after a successful fsync a close has nothing left to lose
    fsync(dir.Get());  // the rename itself reaches the disk; a failure here loses nothing already written
    return true;
}

}  // namespace tamberline::ini
