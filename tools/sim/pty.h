// The pseudo-terminal that stands in for the device's serial line.
#pragma once

#include <string>

namespace tamberline::sim {

class TPty {
  public:
    TPty();  // throws std::runtime_error when no pseudo-terminal can be had
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    // Makes `path` a symbolic link to the slave (replacing an old link); removed again at destruction.
    void Link(const std::string& path);

  private:
    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees hang-up while no client has the line open
    std::string slavePath_;
    std::string linkPath_;
};

}  // namespace tamberline::sim
