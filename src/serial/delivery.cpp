#include "serial/delivery.h"

#include <cstdio>
#include <mutex>

namespace tamberline {
namespace {
std::mutex hookMutex;
TUiPoster uiPoster;
TErrorHandler errorHandler;
}  // namespace

void SetUiPoster(TUiPoster poster) {
    std::lock_guard lock(hookMutex);
    uiPoster = std::move(poster);
}

TUiPoster CurrentUiPoster() {
    std::lock_guard lock(hookMutex);
    if (uiPoster) return uiPoster;
    return [](std::function<void()> take) { take(); };
}

void SetApplicationErrorHandler(TErrorHandler h) {
    std::lock_guard lock(hookMutex);
    errorHandler = std::move(h);
}

void HandleApplicationError(const std::exception& e) {
    TErrorHandler h;
    {
        std::lock_guard lock(hookMutex);
        h = errorHandler;
    }
    if (h)
        h(e);
    else
        std::fprintf(stderr, "%s\n", e.what());
}

}  // namespace tamberline
