// Loaded into wine (LD_PRELOAD) for the Windows tests; built for the host, never for Windows.
// - A pseudo-terminal refuses the modem-line requests, and wine's WaitCommEvent then completes at
//   once with an empty mask; answered with "all lines off", it waits and reports EV_RXCHAR as on a
//   real port.
// - Setting the machine's clock is recorded in $TAMBERLINE_CLOCK_LOG and reported as done, so the
//   Windows clock code can be tested without ever touching the real clock.
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/time.h>
#include <time.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

void Record(const char* what, long long sec, long long usec) {
    const char* path = std::getenv("TAMBERLINE_CLOCK_LOG");
    if (!path) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s %lld %06lld\n", what, sec, usec);
        std::fclose(f);
    }
}

}  // namespace

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

extern "C" int clock_settime(clockid_t, const struct timespec* ts) {
    Record("clock_settime", ts->tv_sec, ts->tv_nsec / 1000);
    return 0;
}

extern "C" int settimeofday(const struct timeval* tv, const struct timezone*) {
    if (tv) Record("settimeofday", tv->tv_sec, tv->tv_usec);
    return 0;
}
