// Where the settings file lives: the process's current directory, asked afresh for every use.
#pragma once

#include <string>

namespace tamberline {

class TCurrentDirectory {
  public:
    virtual ~TCurrentDirectory();
    virtual std::string Get() = 0;  // throws std::system_error when the system cannot tell
};

// Any length of path: the buffer grows until the whole directory fits.
class TPosixCurrentDirectory : public TCurrentDirectory {
  public:
    std::string Get() override;
};

// dir + "/Settings.INI"
std::string SettingsPath(TCurrentDirectory& dir);

}  // namespace tamberline
