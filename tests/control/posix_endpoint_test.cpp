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
#include <vector>

#include "control/endpoint.h"
#include "control/endpoint_test_os.h"
#include "control/peer_rights.h"

namespace tamberline {

namespace {

constexpr uid_t kNobody = 65534;

sockaddr_un Address(const std::string& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    path.copy(a.sun_path, sizeof a.sun_path - 1);
    return a;
}

int Bind(const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un a = Address(path);
    EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    return fd;
}

// A socket file left by a listener that died: bound, then closed without removing it.
void LeaveStaleSocket(const std::string& path) {
    close(Bind(path));
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
        auto listener = ListenOnEndpoint(path, {});
        EXPECT_EQ(Mode(path), 0666u);
        EXPECT_EQ(Mode(std::filesystem::path(path).parent_path()), 0755u);
        EXPECT_NE(ConnectToEndpoint(path), nullptr);
        listener.reset();
        EXPECT_FALSE(std::filesystem::exists(path));
        // A listener whose file another one has replaced leaves that one's file alone.
        listener = ListenOnEndpoint(path, {});
        std::filesystem::remove(path);
        LeaveStaleSocket(path);
        listener.reset();
        EXPECT_TRUE(std::filesystem::exists(path));
    }
}

// A child that connects as `uid` (0: stays root; else uid and gid 65534 with these supplementary
// groups), sends a byte and waits for the end. Only system calls after fork: the test has other threads.
pid_t ConnectAs(const std::string& path, uid_t uid, const std::vector<gid_t>& groups) {
    const sockaddr_un a = Address(path);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (uid != 0 && (setgroups(groups.size(), groups.data()) != 0 || setgid(kNobody) != 0 || setuid(uid) != 0))
        _exit(2);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) _exit(3);
    char byte = '1';
    if (write(fd, &byte, 1) != 1) _exit(4);
    [[maybe_unused]] const ssize_t n = read(fd, &byte, 1);
    _exit(0);
}

// Root may command, and so may members of the group, by its primary or a supplementary group
// (SO_PEERGROUPS) as the kernel saw them at connect time; nobody else.
TEST(PosixControlEndpoint, RightsOfTheUserAtTheOtherEnd) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    const group* users = getgrnam("users");
    const group* nogroup = getgrgid(kNobody);
    if (users == nullptr || nogroup == nullptr) GTEST_SKIP() << "needs the groups \"users\" and 65534";
    const std::string usersName = users->gr_name, nogroupName = nogroup->gr_name;
    const gid_t usersGid = users->gr_gid;
    const struct {
        const char* name;
        uid_t uid;
        std::vector<gid_t> groups;
        std::string group;  // the commanding group
        bool may;
    } cases[] = {
        {"root", 0, {}, "tamberline-no-such-group", true},
        {"another user", kNobody, {}, usersName, false},
        {"its primary group", kNobody, {}, nogroupName, true},
        {"a supplementary group", kNobody, {usersGid}, usersName, true},
        {"no such group: nobody but root", kNobody, {usersGid}, "tamberline-no-such-group", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTestEndpoint endpoint;
        const int server = Bind(endpoint.Name());
        ASSERT_EQ(listen(server, 1), 0);
        chmod(endpoint.Name().c_str(), 0666);
        const pid_t child = ConnectAs(endpoint.Name(), c.uid, c.groups);
        pollfd waiting{server, POLLIN, 0};
        ASSERT_EQ(poll(&waiting, 1, 5000), 1) << "the child did not connect";
        const int fd = accept(server, nullptr, nullptr);
        const TPeer peer = UnixSocketPeer(fd, c.group.c_str());
        char byte;
        EXPECT_EQ(read(fd, &byte, 1), 1);  // closed before the child wrote, it would die of SIGPIPE
        close(fd);
        close(server);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(peer.MayCommand, c.may);
        EXPECT_EQ(peer.Who, "uid " + std::to_string(c.uid) + " pid " + std::to_string(child));
    }
}

}  // namespace
}  // namespace tamberline
