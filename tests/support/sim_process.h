// Runs the device simulator for a test: starts it with arguments, learns its pseudo-terminal from the
// first line it prints, talks to it through stdin/stdout, and stops it at destruction.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tamberline {

class TSimProcess {
  public:
    // Starts `program` (normally TAMBERLINE_SIM); throws std::runtime_error when it does not start or
    // prints no pty path within startMs.
    explicit TSimProcess(const std::string& program, const std::vector<std::string>& args = {}, int startMs = 5000);
    ~TSimProcess();
    TSimProcess(const TSimProcess&) = delete;
    TSimProcess& operator=(const TSimProcess&) = delete;

    const std::string& PtyPath() const { return ptyPath_; }
    // Sends one command line (newline added).
    void Command(const std::string& line);
    // The next stdout line, or nothing when none came within waitMs.
    std::optional<std::string> ReadLine(int waitMs);
    pid_t Pid() const { return pid_; }
    // Ends its stdin, as when the controlling program stops talking to it.
    void CloseCommands();
    // Waits for it to end by itself and gives its exit status (128 + signal when killed), or nothing
    // when it still runs after waitMs.
    std::optional<int> WaitExit(int waitMs);

  private:
    pid_t pid_ = -1;
    int toSim_ = -1, fromSim_ = -1;
    std::string buffered_;
    std::string ptyPath_;
};

}  // namespace tamberline
