// The rights a file capability grants as permitted only must count once the program has started,
// and a refusal for want of the right must say so; checked in children that first put the rights
// to sleep or give them up, so nothing here can reach the clock itself.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "clock/system_clock.h"

namespace tamberline {
namespace {

constexpr uint32_t kBoth = (1u << CAP_SYS_NICE) | (1u << CAP_SYS_TIME);

bool Caps(__user_cap_data_struct (&d)[_LINUX_CAPABILITY_U32S_3], bool set) {
    __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(set ? SYS_capset : SYS_capget, &h, d) == 0;
}

TEST(ClockRights, DormantRightsAreTakenAtStart) {
    __user_cap_data_struct d[_LINUX_CAPABILITY_U32S_3]{};
    ASSERT_TRUE(Caps(d, false));
    if ((d[0].permitted & kBoth) != kBoth) GTEST_SKIP() << "needs a process that holds both rights";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // 1: could not set up, 2: not taken, 3: taken but other rights woken too.
        d[0].effective &= ~kBoth;
        if (!Caps(d, true)) _exit(1);
        const uint32_t othersBefore = d[0].effective;
        if (!TakeGrantedClockRights() || !Caps(d, false) || (d[0].effective & kBoth) != kBoth) _exit(2);
        _exit((d[0].effective & ~kBoth) == othersBefore ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ClockRights, RefusalForWantOfTheRightIsToldApart) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // 1: the right could not be given up for good, 2: the refusal not told apart.
        constexpr uint32_t kTime = 1u << CAP_SYS_TIME;
        __user_cap_data_struct d[_LINUX_CAPABILITY_U32S_3]{};
        if (!Caps(d, false)) _exit(1);
        d[0].effective &= ~kTime, d[0].permitted &= ~kTime, d[0].inheritable &= ~kTime;
        if (!Caps(d, true) || !Caps(d, false) || (d[0].effective & kTime)) _exit(1);
        TLocalSystemClock clock;
        _exit(clock.SetLocal(clock.Now()) == TClockSetResult::NoRight ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tamberline
