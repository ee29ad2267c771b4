// Kept apart: the kernel's terminal header, which knows any rate, clashes with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "line_out.h"

namespace tamberline::sim {

TLineTiming ReadLineTiming(int masterFd) {
    TLineTiming t;
    struct termios2 tio {};
    if (ioctl(masterFd, TCGETS2, &tio) != 0) return t;
    if (tio.c_ospeed > 0) t.BitsPerSecond = tio.c_ospeed;
    static const int dataBits[] = {5, 6, 7, 8};
    t.BitsPerChar =
        1 + dataBits[(tio.c_cflag & CSIZE) >> 4] + ((tio.c_cflag & PARENB) ? 1 : 0) + ((tio.c_cflag & CSTOPB) ? 2 : 1);
    return t;
}

}  // namespace tamberline::sim
