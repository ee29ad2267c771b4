// Runs the device simulator for a test: starts it with arguments, learns its pseudo-terminal from the
// first line it prints, talks to it through stdin/stdout, and stops it at destruction. Under wine the
// simulator is the native Linux program, started through the shell with its stdin and stdout in
// files of a folder that the test run names (TAMBERLINE_WINE_SIM_DIR), and PtyPath() is the COM port
// mapped onto the simulator's link in that folder (TAMBERLINE_WINE_SIM_PORT).
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
    // A simulator to be started later: the port a program is to look for now, and the arguments that
    // put the simulator there (a link in `dir`; under wine the one COM port mapped onto its link).
    static std::string LaterPort(const std::string& dir);
    static std::vector<std::string> LaterArgs(const std::string& dir);
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
    // The first whole line of what has been read so far, without its line end.
    std::optional<std::string> TakeLine();

    pid_t pid_ = -1;
    int toSim_ = -1, fromSim_ = -1;
    std::string buffered_;
    std::string ptyPath_;
    std::string dir_;           // Windows: the folder of the simulator's files, as a Windows path
    long long readOffset_ = 0;  // Windows: how much of its output has been read
};

}  // namespace tamberline
