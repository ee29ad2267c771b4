#include "serial/posix_baudrate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace tamberline {

int SetPosixBaudRate(int fd, uint32_t bitsPerSecond) {
    // Rate 0 would mean "hang up" to a terminal, never a line speed.
    if (bitsPerSecond == 0) return EINVAL;
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = bitsPerSecond;
    t.c_ospeed = bitsPerSecond;
    if (ioctl(fd, TCSETS2, &t) != 0) return errno;
    return 0;
}

}  // namespace tamberline
