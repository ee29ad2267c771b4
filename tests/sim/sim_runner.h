// Starts the simulator executable, talks to it over its pseudo-terminal and its stdin/stdout.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tamberline::simtest {

int64_t NowNs();

struct TChunk {
    std::vector<uint8_t> Bytes;  // what one write of the simulator put on the line
    int64_t ArrivalNs = 0;       // monotonic
};

struct TTimeFrame {
    bool CrcOk = false;
    int Hundredths = -1, Hours = -1, Minutes = -1, Seconds = -1;
    bool NoSync = false;
    std::string Clock() const;  // "hh:mm:ss"
};
std::optional<TTimeFrame> DecodeTimeFrame(const std::vector<uint8_t>& bytes);  // 9 bytes of type 0x09
std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes);

class TSimRun {
  public:
    explicit TSimRun(const std::vector<std::string>& args);
    ~TSimRun();
    TSimRun(const TSimRun&) = delete;
    TSimRun& operator=(const TSimRun&) = delete;

    const std::string& FirstLine() const { return firstLine_; }
    int64_t StartNs() const { return startNs_; }
    void Control(const std::string& line);  // one stdin line
    void CloseControl();
    void Send(const std::vector<uint8_t>& bytes);
    std::optional<TChunk> NextChunk(int timeoutMs);
    std::optional<TTimeFrame> NextTimeFrame(int timeoutMs);  // skips other chunks
    std::optional<std::string> NextLine(int timeoutMs);      // stdout
    std::optional<int> WaitExit(int timeoutMs);              // exit status
    void Signal(int sig);
    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, line_ = -1;
    std::string outBuf_, firstLine_;
    int64_t startNs_ = 0;
    bool exited_ = false;
};

}  // namespace tamberline::simtest
