// tamberline-sim: a clock device on a pseudo-terminal, for tests, benchmarks and demonstrations.
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "options.h"
#include "pty.h"
#include "sim_loop.h"

using namespace tamberline::sim;

namespace {

// SIGINT, SIGTERM and SIGHUP arrive through a descriptor, so the loop ends normally and the link is removed.
int BlockSignalsToFd() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    return signalfd(-1, &set, SFD_CLOEXEC);
}

// A text that could not be written (say, to a full disk) is no success.
int PrintAndEnd(TRequest request) {
    const std::string text = request == TRequest::Help ? HelpText() : VersionText();
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    pid_t parent = getppid();
    TOptions options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "tamberline-sim: %s; try tamberline-sim --help\n", e.what());
        return 2;
    }
    if (options.Request != TRequest::Run) return PrintAndEnd(options.Request);
    std::signal(SIGPIPE, SIG_IGN);  // a reader that went away must not kill us before the link is removed
    int sigFd = BlockSignalsToFd();
    if (!options.OutliveParent) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) return 0;  // the parent died before the request took hold
    }
    prctl(PR_SET_TIMERSLACK, 1UL);  // 1 ns: frames leave within microseconds of their moment
    try {
        TPty pty;
        if (!options.LinkPath.empty()) pty.Link(options.LinkPath);
        std::printf("%s\n", pty.SlavePath().c_str());
        std::fflush(stdout);
        TSimulator sim(options, pty, sigFd);
        sim.Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tamberline-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
