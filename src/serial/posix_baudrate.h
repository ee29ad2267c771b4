// Any bit rate on a Linux terminal device, standard or not (kept apart because the kernel's
// terminal header clashes with <termios.h>).
#pragma once

#include <cstdint>

namespace tamberline {

// Sets input and output rate in bits per second; returns 0 or errno.
int SetPosixBaudRate(int fd, uint32_t bitsPerSecond);

}  // namespace tamberline
