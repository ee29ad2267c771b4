#!/usr/bin/env bash
# Builds Tamberline and runs it against the device simulator on a pseudo-terminal. Closing the
# program stops the simulator. Without a display it starts a virtual one (Xvfb) with a tray host.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/deps.sh
. scripts/without_clock.sh
. scripts/virtual_desktop.sh
tamberline_install_deps

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j"$(nproc)" --target tamberline tamberline-sim

pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ]; then
  echo "No display: starting a virtual one (Xvfb :99) with a tray host (trayer)."
  echo "Look at it with: DISPLAY=:99 import -window root /tmp/tamberline.png"
  tamberline_virtual_desktop 99
fi

# The simulator prints its pseudo-terminal first; the rest of its output is the commands it got.
coproc SIM { exec "$root/build/tools/sim/tamberline-sim"; }
pids+=("$SIM_PID")
read -r pty <&"${SIM[0]}"
echo "Simulated clock device on $pty"

mkdir -p demo
printf '[ComPortSettings]\nComPort=%s\nBaudRate=38400\n' "$pty" >demo/Settings.INI
echo "Tamberline starts in the tray: double-click its icon (or right-click, \"Открыть программу\")."
# The simulator's time (try --tod) must never reach this machine's clock.
(cd demo && tamberline_exec_without_clock "$root/build/src/ui/tamberline")
