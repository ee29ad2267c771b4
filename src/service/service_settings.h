// The headless program's own section of the settings file, "[Service]": whether it sets the clock
// itself or hands the device's time to chronyd, where chronyd listens, and a fixed correction.
#pragma once

#include <stdexcept>
#include <string>

namespace tamberline {

inline const char* const kSectionService = "Service";
inline const char* const kDefaultChronySocket = "/run/chrony.tamberline.sock";

enum class TServiceMode {
    Step,    // set the computer's clock on the window's schedule
    Chrony,  // one sample per device second to chronyd's SOCK refclock; never set the clock
};

struct TServiceSettings {
    TServiceMode Mode = TServiceMode::Step;
    std::string ChronySocket = kDefaultChronySocket;
    // How late the device's frames are beyond the line itself (its own delay, an adapter's latency),
    // ms; taken off the frame's arrival in both modes.
    int OffsetMs = 0;
};

// A value in [Service] that means nothing: the program must not guess, since a wrong guess either
// fights another time service or feeds nobody.
class EServiceSettings : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Whether this system has chronyd to feed; where it has none, Mode=chrony is refused (one answer per OS).
bool ChronyModeAvailable();

// Missing keys (or no file) give the defaults; a bad value throws EServiceSettings naming the key.
TServiceSettings ReadServiceSettings(const std::string& settingsPath);

// Far beyond any line or adapter, yet short of a second, which the device's own time would tell.
constexpr int kMaxOffsetMs = 500;

}  // namespace tamberline
