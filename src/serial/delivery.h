// The hook through which the serial event thread hands reports to the UI thread, and the
// application's general error handler that receives errors raised inside deliveries.
#pragma once

#include <exception>
#include <functional>

namespace tamberline {

// Called from the event thread with a `take` function that the UI thread must run; the event thread
// waits until the UI thread has started running `take`, not until the handler ends.
using TUiPoster = std::function<void(std::function<void()> take)>;
void SetUiPoster(TUiPoster poster);  // process-wide, set once at start
// The installed poster, or one that runs `take` on the calling thread when none was set.
TUiPoster CurrentUiPoster();

using TErrorHandler = std::function<void(const std::exception&)>;
void SetApplicationErrorHandler(TErrorHandler h);
// Calls the installed handler (default: the message on stderr).
void HandleApplicationError(const std::exception& e);

}  // namespace tamberline
