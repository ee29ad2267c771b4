// POSIX cases: what lies at the socket's path, and the rights the kernel reports for another user.
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "control/endpoint.h"
#include "control/endpoint_test_os.h"
#include "control/peer_rights.h"
#include "serial/posted_loop.h"

namespace tamberline {

TTestEndpoint::TTestEndpoint() {
    char dir[] = "/tmp/tamberline-endpoint-XXXXXX";
    if (mkdtemp(dir) == nullptr) throw std::runtime_error("mkdtemp");
    root_ = dir;
    chmod(dir, 0755);                // the rights cases connect as another user
    name_ = root_ + "/run/control";  // the listener makes "run"
}

TTestEndpoint::~TTestEndpoint() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

namespace {

using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;

sockaddr_un Address(const std::string& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    path.copy(a.sun_path, sizeof a.sun_path - 1);
    return a;
}

// A socket file left by a listener that died: bound, then closed without removing it.
void LeaveStaleSocket(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un a = Address(path);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    close(fd);
}

mode_t Mode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(PosixControlEndpoint, WhatLiesAtThePath) {
    const struct {
        const char* name;
        void (*lay)(const std::string& path);
        bool listens;
    } cases[] = {
        {"nothing: the folder is made", [](const std::string&) {}, true},
        {"a stale socket file is replaced", LeaveStaleSocket, true},
        {"a file that is no socket stays",
         [](const std::string& p) {
             std::filesystem::create_directories(std::filesystem::path(p).parent_path());
             std::ofstream(p) << "keep";
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTestEndpoint endpoint;
        const std::string& path = endpoint.Name();
        c.lay(path);
        if (!c.listens) {
            EXPECT_THROW(ListenOnEndpoint(path, {}), EControl);
            EXPECT_TRUE(std::filesystem::is_regular_file(path));
            continue;
        }
        {
            auto listener = ListenOnEndpoint(path, {});
            EXPECT_EQ(Mode(path), 0666u);
            EXPECT_EQ(Mode(std::filesystem::path(path).parent_path()), 0755u);
            EXPECT_NE(ConnectToEndpoint(path), nullptr);
        }
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

// A listener whose socket file another one has replaced leaves that one's file alone.
TEST(PosixControlEndpoint, OnlyItsOwnSocketFileGoes) {
    TTestEndpoint endpoint;
    auto listener = ListenOnEndpoint(endpoint.Name(), {});
    std::filesystem::remove(endpoint.Name());
    LeaveStaleSocket(endpoint.Name());
    listener.reset();
    EXPECT_TRUE(std::filesystem::exists(endpoint.Name()));
}

// A child that becomes another user (uid and gid 65534, the given supplementary groups) and connects:
// returns its pid. Only system calls between fork and _exit: the test has other threads.
pid_t ConnectAs(const std::string& path, const std::vector<gid_t>& groups) {
    const sockaddr_un a = Address(path);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (setgroups(groups.size(), groups.data()) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) _exit(3);
    const char one = '1';
    if (write(fd, &one, 1) != 1) _exit(4);
    char end;
    [[maybe_unused]] const ssize_t n = read(fd, &end, 1);  // until the test closes its end
    _exit(0);
}

void Reap(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's status " << status;
}

TEST(PosixControlEndpoint, RootMayCommandAnotherUserMayNot) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    TPostedLoop loop;
    SetUiPoster(loop.Poster());
    TTestEndpoint endpoint;
    std::map<int, TPeer> peers;
    auto listener = ListenOnEndpoint(
        endpoint.Name(), {nullptr, [&](int c, const TPeer& p, const std::string&) { peers[c] = p; }, nullptr});
    const pid_t child = ConnectAs(endpoint.Name(), {});
    auto root = ConnectToEndpoint(endpoint.Name());
    ASSERT_NE(root, nullptr);
    root->Send("1");
    EXPECT_TRUE(loop.RunUntil([&] { return peers.size() == 2; }, 5s));
    listener.reset();
    SetUiPoster(nullptr);
    Reap(child);
    const std::string nobody = "uid 65534 pid " + std::to_string(child);
    const std::string self = "uid 0 pid " + std::to_string(getpid());
    ASSERT_EQ(peers.size(), 2u);
    for (const auto& [c, p] : peers) {
        ASSERT_TRUE(p.Who == nobody || p.Who == self) << p.Who;
        EXPECT_EQ(p.MayCommand, p.Who == self) << p.Who;
    }
}

// Group membership counts as the kernel saw it at connect time: the primary group or a supplementary
// one (SO_PEERGROUPS), looked up by name at each connection.
TEST(PosixControlEndpoint, MembersOfTheCommandingGroupMayCommand) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    group* users = getgrnam("users");
    group* nogroup = getgrgid(kNobody);
    if (users == nullptr || nogroup == nullptr) GTEST_SKIP() << "needs the groups \"users\" and 65534";
    const std::string usersName = users->gr_name, nogroupName = nogroup->gr_name;
    const gid_t usersGid = users->gr_gid;
    const struct {
        const char* name;
        std::vector<gid_t> groups;
        std::string group;
        bool may;
    } cases[] = {
        {"the primary group", {}, nogroupName, true},
        {"a supplementary group", {usersGid}, usersName, true},
        {"not a member", {}, usersName, false},
        {"no such group: nobody but root", {usersGid}, "tamberline-no-such-group", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTestEndpoint endpoint;
        std::filesystem::create_directories(std::filesystem::path(endpoint.Name()).parent_path());
        const int server = socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un a = Address(endpoint.Name());
        ASSERT_EQ(bind(server, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(listen(server, 1), 0);
        chmod(endpoint.Name().c_str(), 0666);
        const pid_t child = ConnectAs(endpoint.Name(), c.groups);
        pollfd waiting{server, POLLIN, 0};
        ASSERT_EQ(poll(&waiting, 1, 5000), 1) << "the child did not connect";
        const int fd = accept(server, nullptr, nullptr);
        const TPeer peer = UnixSocketPeer(fd, c.group.c_str());
        char one;
        EXPECT_EQ(read(fd, &one, 1), 1);  // closed before the child wrote, it would die of SIGPIPE
        close(fd);
        close(server);
        Reap(child);
        EXPECT_EQ(peer.MayCommand, c.may);
        EXPECT_EQ(peer.Who, "uid 65534 pid " + std::to_string(child));
    }
}

}  // namespace
}  // namespace tamberline
