// The kernel vouches for a Unix socket's peer: SO_PEERCRED for its ids, SO_PEERGROUPS (Linux 4.13)
// for its supplementary groups, taken when it connected. Older kernels only give the ids; the user
// database's groups of that uid stand in then.
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "control/peer_rights.h"

#ifndef SO_PEERGROUPS
#define SO_PEERGROUPS 59  // the Linux value, for C libraries older than the kernel
#endif

namespace tamberline {

namespace {

// The user database's buffers have no fixed size: grow until the entry fits (a group of many members
// takes more than the usual 1 KiB).
template <class Entry, class Lookup>
std::optional<Entry> LookUp(Lookup lookup, std::vector<char>& buf) {
    Entry entry{};
    Entry* found = nullptr;
    for (buf.resize(1024); buf.size() <= (1u << 20); buf.resize(buf.size() * 4)) {
        const int e = lookup(&entry, buf.data(), buf.size(), &found);
        if (e == ERANGE) continue;
        if (e != 0 || found == nullptr) return std::nullopt;
        return entry;
    }
    return std::nullopt;
}

std::optional<gid_t> GroupId(const char* name) {
    std::vector<char> buf;
    const auto g = LookUp<group>(
        [name](group* e, char* b, size_t n, group** found) { return getgrnam_r(name, e, b, n, found); }, buf);
    if (!g) return std::nullopt;
    return g->gr_gid;
}

std::optional<std::vector<gid_t>> PeerGroups(int fd) {
    std::vector<gid_t> groups(64);
    for (int attempt = 0; attempt < 2; ++attempt) {
        socklen_t len = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
        if (getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &len) == 0) {
            groups.resize(len / sizeof(gid_t));
            return groups;
        }
        if (errno != ERANGE) return std::nullopt;
        groups.resize(len / sizeof(gid_t) + 1);  // the kernel said how many it has
    }
    return std::nullopt;
}

std::vector<gid_t> DatabaseGroups(uid_t uid, gid_t gid) {
    std::vector<char> buf;
    const auto pw = LookUp<passwd>(
        [uid](passwd* e, char* b, size_t n, passwd** found) { return getpwuid_r(uid, e, b, n, found); }, buf);
    if (!pw) return {gid};
    std::vector<gid_t> groups(64);
    int n = static_cast<int>(groups.size());
    if (getgrouplist(pw->pw_name, gid, groups.data(), &n) < 0) {
        groups.resize(static_cast<size_t>(n));
        if (getgrouplist(pw->pw_name, gid, groups.data(), &n) < 0) return {gid};
    }
    groups.resize(static_cast<size_t>(n));
    return groups;
}

}  // namespace

TPeer UnixSocketPeer(int fd, const char* group) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return TPeer{false, "unknown"};
    TPeer peer;
    peer.Who = "uid " + std::to_string(cred.uid) + " pid " + std::to_string(cred.pid);
    if (cred.uid == 0) {
        peer.MayCommand = true;
        return peer;
    }
    const auto commanding = GroupId(group);
    if (!commanding) return peer;
    if (cred.gid == *commanding) {
        peer.MayCommand = true;
        return peer;
    }
    auto groups = PeerGroups(fd);
    if (!groups) groups = DatabaseGroups(cred.uid, cred.gid);
    peer.MayCommand = std::find(groups->begin(), groups->end(), *commanding) != groups->end();
    return peer;
}

}  // namespace tamberline
