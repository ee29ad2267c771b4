// Linux capabilities through the raw system calls: the two rights are all the program needs, so
// it takes only those and does without libcap.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "clock/system_clock.h"

namespace tamberline {

bool TakeGrantedClockRights() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    // Both rights sit in the first word (bits 23 and 25).
    const uint32_t wanted = (1u << CAP_SYS_NICE) | (1u << CAP_SYS_TIME);
    const uint32_t granted = data[0].permitted & wanted;
    if (granted == 0) return false;
    if ((data[0].effective & granted) == granted) return granted == wanted;
    data[0].effective |= granted;
    return syscall(SYS_capset, &header, data) == 0 && granted == wanted;
}

}  // namespace tamberline
