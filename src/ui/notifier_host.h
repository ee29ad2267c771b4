// Whether the desktop's notification area is a D-Bus status-notifier host (KDE Plasma, GNOME with
// the AppIndicator extension, XFCE's status notifier plugin). Such a host turns a click on the icon
// into one activation and never reports a double-click.
#pragma once

namespace tamberline {

// Asked afresh at each call, so a host that comes up after the program (a panel started late at
// log-in) counts too. False where the program is built without D-Bus (Windows) or no session bus
// answers.
bool StatusNotifierHostPresent();

}  // namespace tamberline
