// The console's Ctrl+C reaches the UI thread as one request to end, and once the listener is gone the
// handling that was there before has it again.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/end_requests.h"
#include "serial/posted_loop.h"

namespace tamberline {
namespace {

using namespace std::chrono_literals;

std::atomic<int> earlierHandlerCalls = 0;

BOOL WINAPI EarlierHandler(DWORD) {
    ++earlierHandlerCalls;
    return TRUE;
}

TEST(Win32EndRequests, CtrlCRunsTheCloseOnTheUiThreadAndLeavesNoHandlerBehind) {
    // Ctrl+C goes to a console's processes, and a test run may have a console that takes none (wine's
    // for a program whose output is a pipe): a console of the test's own.
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << GetLastError();
    ASSERT_TRUE(SetConsoleCtrlHandler(EarlierHandler, TRUE));
    TPostedLoop loop;
    SetUiPoster(loop.Poster());
    int ends = 0;
    std::thread::id ranOn;
    {
        auto listener = ListenForEndRequests([&] {
            ++ends;
            ranOn = std::this_thread::get_id();
        });
        ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
        EXPECT_TRUE(loop.RunUntil([&] { return ends > 0; }, 3000ms));
        loop.RunFor(100ms);
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(ranOn, std::this_thread::get_id());
        EXPECT_EQ(earlierHandlerCalls, 0) << "the listener passed the event on";
    }
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (earlierHandlerCalls == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    loop.RunFor(100ms);
    EXPECT_EQ(earlierHandlerCalls, 1);
    EXPECT_EQ(ends, 1);
    SetUiPoster(nullptr);
    SetConsoleCtrlHandler(EarlierHandler, FALSE);
}

}  // namespace
}  // namespace tamberline
