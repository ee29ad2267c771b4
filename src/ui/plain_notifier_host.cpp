// A Qt without D-Bus (the Windows build): the notification area reports double-clicks itself.
#include "ui/notifier_host.h"

namespace tamberline {

bool StatusNotifierHostPresent() {
    return false;
}

}  // namespace tamberline
