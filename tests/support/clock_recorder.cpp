// Loaded with LD_PRELOAD into a program under test, so that it can "set the clock" without ever
// touching the machine's: clock_settime(CLOCK_REALTIME) and settimeofday are written to the file
// named by $TAMBERLINE_CLOCK_LOG, one line "<call> <seconds> <microseconds>", and reported as done.
// The program's own later readings of CLOCK_REALTIME are moved by the same step, so it goes on as if
// the clock had been set (what it records afterwards shows that time). Built for the host only.
#include <dlfcn.h>
#include <sys/time.h>
#include <time.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<int64_t> stepUs{0};  // what the program set minus the real clock then

int64_t RealNowUs() {
    static auto real = reinterpret_cast<int (*)(clockid_t, timespec*)>(dlsym(RTLD_NEXT, "clock_gettime"));
    timespec ts{};
    real(CLOCK_REALTIME, &ts);
    return int64_t{ts.tv_sec} * 1'000'000 + ts.tv_nsec / 1000;
}

int Record(const char* call, int64_t sec, int64_t usec) {
    if (const char* path = std::getenv("TAMBERLINE_CLOCK_LOG")) {
        if (FILE* f = std::fopen(path, "a")) {
            std::fprintf(f, "%s %lld %06lld\n", call, static_cast<long long>(sec), static_cast<long long>(usec));
            std::fclose(f);
        }
    }
    stepUs = sec * 1'000'000 + usec - RealNowUs();
    return 0;
}

}  // namespace

extern "C" int clock_settime(clockid_t id, const timespec* tp) noexcept {
    if (id != CLOCK_REALTIME) {
        static auto real = reinterpret_cast<int (*)(clockid_t, const timespec*)>(dlsym(RTLD_NEXT, "clock_settime"));
        return real(id, tp);
    }
    return Record("clock_settime", tp->tv_sec, tp->tv_nsec / 1000);
}

extern "C" int settimeofday(const timeval* tv, const struct timezone*) noexcept {
    return tv ? Record("settimeofday", tv->tv_sec, tv->tv_usec) : 0;
}

extern "C" int clock_gettime(clockid_t id, timespec* tp) noexcept {
    static auto real = reinterpret_cast<int (*)(clockid_t, timespec*)>(dlsym(RTLD_NEXT, "clock_gettime"));
    const int r = real(id, tp);
    const int64_t step = stepUs;
    if (r != 0 || step == 0 || (id != CLOCK_REALTIME && id != CLOCK_REALTIME_COARSE)) return r;
    const int64_t ns = int64_t{tp->tv_sec} * 1'000'000'000 + tp->tv_nsec + step * 1000;
    tp->tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    tp->tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return 0;
}
