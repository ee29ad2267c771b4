// A pseudo-terminal pair for tests: the test plays the device on the master side and the port under
// test opens SlavePath(). The slave is not kept open here, so the port is its only user. Under wine a
// Windows program cannot make one: the pair is two COM ports that a relay on the host joins
// (tests/support/pty_relay.cpp), the port's and the device's.
#pragma once

#include <string>

namespace tamberline {

// A port name that no device answers to.
extern const char* const kNoSuchPort;

class TPtyPair {
  public:
    TPtyPair();   // throws std::runtime_error when no pseudo-terminal can be had
    ~TPtyPair();  // closes the master (the device "goes away")
    TPtyPair(const TPtyPair&) = delete;
    TPtyPair& operator=(const TPtyPair&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    void Write(const std::string& bytes);
    void Write(const void* bytes, size_t n);
    // Reads what the port wrote, waiting up to waitMs for the first byte and then until it stops.
    std::string ReadAvailable(int waitMs);
    // The rate the port set on its line, in bits/s, as the device sees it (0 when it cannot be read).
    unsigned LineSpeed() const;
    // The device goes away: the port's end sees a hang-up.
    void CloseMaster();

  private:
    int master_ = -1;  // POSIX
    std::string slavePath_;
    void* device_ = nullptr;  // Windows: the device's COM port
    void* slot_ = nullptr;    // Windows: the held lock of the pair of COM ports in use
    std::string pairDir_;     // Windows: the relay's folder of that pair
};

}  // namespace tamberline
