// A pseudo-terminal pair for tests: the test plays the device on the master side and the port under
// test opens SlavePath(). The slave is not kept open here, so the port is its only user.
#pragma once

#include <string>

namespace tamberline {

class TPtyPair {
  public:
    TPtyPair();   // throws std::runtime_error when no pseudo-terminal can be had
    ~TPtyPair();  // closes the master (the device "goes away")
    TPtyPair(const TPtyPair&) = delete;
    TPtyPair& operator=(const TPtyPair&) = delete;

    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    void Write(const std::string& bytes);
    void Write(const void* bytes, size_t n);
    // Reads what the port wrote, waiting up to waitMs for the first byte and then until it stops.
    std::string ReadAvailable(int waitMs);
    // The device goes away: the port's end sees a hang-up.
    void CloseMaster();

  private:
    int master_ = -1;
    std::string slavePath_;
};

}  // namespace tamberline
