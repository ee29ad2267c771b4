// Loaded into wine (LD_PRELOAD) for the Windows tests; built for the host, never for Windows. A
// pseudo-terminal refuses the modem-line requests, and wine's WaitCommEvent then completes at once
// with an empty mask; answered with "all lines off", it waits and reports EV_RXCHAR as on a real
// port. (Clock settings are the clock recorder's, preloaded beside it.)
#include <dlfcn.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdarg>

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    using TIoctl = int (*)(int, unsigned long, void*);
    static const auto real = reinterpret_cast<TIoctl>(dlsym(RTLD_NEXT, "ioctl"));
    const int r = real(fd, request, arg);
    const bool modem = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (r == 0 || !modem || (errno != ENOTTY && errno != EINVAL)) return r;
    if (request == TIOCMGET) *static_cast<int*>(arg) = 0;
    return 0;
}
