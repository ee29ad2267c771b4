// The console's control events (Ctrl+C, Ctrl+Break, its window closed, log-off, shut-down) through
// SetConsoleCtrlHandler. The system calls the handler on a thread of its own; the request goes to the
// UI thread like any other. A windowed program's session end comes through the toolkit instead.
#include <windows.h>

#include <memory>
#include <mutex>
#include <system_error>

#include "app/end_requests.h"
#include "serial/delivery.h"

namespace tamberline {

namespace {

// After a close, log-off or shut-down event the system ends the process as soon as the handler
// returns, and by force 5 s after the event (ms): the close steps get the time up to that.
constexpr DWORD kCloseStepsWaitMs = 4500;

// One request on its way: the UI thread marks it done, the handler may wait for that.
struct TRequest {
    HANDLE Done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~TRequest() {
        if (Done) CloseHandle(Done);
    }
};

std::mutex listenerMutex;
std::function<void()> listener;  // empty while nobody listens

bool EndsProcessOnReturn(DWORD type) {
    return type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT;
}

BOOL WINAPI OnControlEvent(DWORD type) {
    std::function<void()> onEnd;
    {
        std::lock_guard lock(listenerMutex);
        onEnd = listener;
    }
    if (!onEnd) return FALSE;  // the next handler's turn (in the end the system's, which ends the process)
    auto request = std::make_shared<TRequest>();
    CurrentUiPoster()([onEnd, request] {
        onEnd();
        if (request->Done) SetEvent(request->Done);
    });
    if (EndsProcessOnReturn(type) && request->Done) WaitForSingleObject(request->Done, kCloseStepsWaitMs);
    return TRUE;
}

class TWin32EndRequests : public TEndRequests {
  public:
    explicit TWin32EndRequests(std::function<void()> onEnd) {
        {
            std::lock_guard lock(listenerMutex);
            listener = std::move(onEnd);
        }
        if (!SetConsoleCtrlHandler(OnControlEvent, TRUE)) {
            const DWORD e = GetLastError();
            Forget();
            throw std::system_error(static_cast<int>(e), std::system_category(), "SetConsoleCtrlHandler");
        }
    }

    ~TWin32EndRequests() override {
        SetConsoleCtrlHandler(OnControlEvent, FALSE);
        Forget();
    }

  private:
    // A handler called after this finds nobody listening and leaves the event to the next one.
    static void Forget() {
        std::lock_guard lock(listenerMutex);
        listener = nullptr;
    }
};

}  // namespace

std::unique_ptr<TEndRequests> ListenForEndRequests(std::function<void()> onEnd) {
    return std::make_unique<TWin32EndRequests>(std::move(onEnd));
}

}  // namespace tamberline
