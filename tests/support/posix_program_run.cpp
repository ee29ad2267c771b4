#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/program_run.h"

namespace tamberline {

namespace {

std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

TProgramRun RunProgram(const std::string& path, const std::vector<std::string>& args, int waitMs) {
    // No display to reach, nothing on stdin, standard error into a file of its own, and killed when it
    // does not end in time.
    const std::string errPath = "/tmp/tamberline-run-" + std::to_string(getpid()) + ".err";
    std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout -s KILL " +
                      std::to_string((waitMs + 999) / 1000) + " " + Quoted(path);
    for (const auto& a : args)
        cmd += " " + Quoted(a);
    cmd += " </dev/null 2>" + errPath;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) throw std::runtime_error("cannot run " + path);
    TProgramRun run;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        run.Out.append(buf, n);
    const int status = pclose(p);
    run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ostringstream err;
    err << std::ifstream(errPath).rdbuf();
    run.Err = err.str();
    unlink(errPath.c_str());
    return run;
}

}  // namespace tamberline
