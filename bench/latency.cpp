// Receive latency of a time frame: from the write of its last byte into the pseudo-terminal's device
// side to the frame decoded by ReadMessageFrame in OnRxChar on the UI thread (a TPostedLoop here).
// Prints p50, p99 and max in microseconds. Usage: bench_latency [frames=300] [perSecond=50]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "bench_frames.h"
#include "device/frames.h"
#include "serial/comport.h"
#include "serial/delivery.h"
#include "serial/posted_loop.h"
#include "support/pty_pair.h"

using namespace tamberline;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const int frames = std::clamp(argc > 1 ? std::atoi(argv[1]) : 300, 1, 3600);  // seq lives in mm:ss
    const int perSecond = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    TPtyPair pty;
    TPostedLoop loop;
    SetUiPoster(loop.Poster());
    TComPort port;
    ConfigureComPort1(port);
    port.SetPort(pty.SlavePath());

    // When the write of each frame's last byte returned (ns); the decoder may get there first.
    std::vector<std::atomic<int64_t>> writtenNs(static_cast<size_t>(frames));
    std::vector<double> latencyUs;
    int bad = 0;
    port.OnRxChar = [&](TCustomComPort& p, int) {
        while (p.InputCount() > 0) {
            auto frame = ReadMessageFrame(p);
            const auto decoded = Clock::now().time_since_epoch().count();
            if (!frame) {
                ++bad;
                continue;
            }
            auto unbcd = [](uint8_t b) { return (b >> 4) * 10 + (b & 15); };
            const auto seq = static_cast<size_t>(unbcd(frame->bytes[6]) * 60 + unbcd(frame->bytes[5]));
            if (seq >= writtenNs.size()) {
                ++bad;
                continue;
            }
            while (writtenNs[seq].load() == 0)
                std::this_thread::yield();
            latencyUs.push_back(static_cast<double>(decoded - writtenNs[seq].load()) / 1000.0);
        }
    };
    port.Open();

    std::thread device([&] {
        const auto period = std::chrono::nanoseconds(1000000000 / perSecond);
        auto next = Clock::now() + period;
        for (int i = 0; i < frames; ++i) {
            std::this_thread::sleep_until(next);
            next += period;
            const auto f = BenchTimeFrame(0, i % 60, i / 60 % 60, 12);
            pty.Write(f.data(), f.size());
            writtenNs[static_cast<size_t>(i)] = Clock::now().time_since_epoch().count();
        }
    });
    loop.RunUntil([&] { return static_cast<int>(latencyUs.size()) + bad >= frames; },
                  std::chrono::milliseconds(frames * 1000 / perSecond + 3000));
    device.join();
    port.Close();
    SetUiPoster(nullptr);

    if (latencyUs.empty()) {
        std::printf("no frames decoded\n");
        return 1;
    }
    std::printf("frames %zu (bad %d) at %d/s: latency last byte written -> frame decoded on the UI thread\n",
                latencyUs.size(), bad, perSecond);
    std::printf("(negative: decoded before the writer's write() call had returned)\n");
    std::printf("p50 %.1f us  p99 %.1f us  max %.1f us\n", Percentile(latencyUs, 0.50), Percentile(latencyUs, 0.99),
                *std::max_element(latencyUs.begin(), latencyUs.end()));
    return 0;
}
