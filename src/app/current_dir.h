// Where the settings file lives: the process's current directory, asked afresh for every use.
#pragma once

#include <string>

namespace tamberline {

class TCurrentDirectory {
  public:
    virtual ~TCurrentDirectory();
    virtual std::string Get() = 0;  // throws std::system_error when the system cannot tell
};

// The process's own (getcwd, GetCurrentDirectoryW), any length: the buffer grows until it fits.
class TProcessCurrentDirectory : public TCurrentDirectory {
  public:
    std::string Get() override;
};

// dir + "/Settings.INI" ("\Settings.INI" on Windows)
std::string SettingsPath(TCurrentDirectory& dir);

}  // namespace tamberline
