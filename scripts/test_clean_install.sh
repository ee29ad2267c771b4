#!/usr/bin/env bash
# Installs the Debian package into a clean Debian 12 tree and checks it there for real: apt pulls
# its dependencies, the postinst makes the group and enables the service, the simulator runs, the program started
# through the autostart entry makes ~/.config/tamberline/, talks to the simulator and hides to the
# tray of a virtual display (screenshots in the build folder), and removing the package leaves the
# user's settings alone. Slow (a debootstrap and a Qt install), so not part of the test command.
# Usage, as root: scripts/test_clean_install.sh [BUILD-DIR]   (default build; the package is built
# there first when missing). TAMBERLINE_DISPLAY=N picks the X display number.
#
# Nothing here may set the host's clock: the chroot shares it. Root's commands in the tree run
# without cap_sys_time in their bounding set; the user's run with no_new_privs, so the program's
# file capabilities are not granted.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || {
  echo "run as root: debootstrap, chroot and mount need it" >&2
  exit 1
}
. scripts/deps.sh
tamberline_install_deps debootstrap dpkg-dev file lintian desktop-file-utils

build=$(realpath "${1:-build}")
deb=$build/tamberline_1.05_amd64.deb
tree=$build/clean-install
start=$SECONDS
step() { echo "== $* ($((SECONDS - start)) s)"; }
fail() {
  echo "clean install: $*" >&2
  [ -z "${DISPLAY:-}" ] || import -window root "$build/clean-install-failed.png" 2>/dev/null || true
  exit 1
}

if [ ! -f "$deb" ]; then
  step "building the package"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DTAMBERLINE_UI=ON >/dev/null
  cmake --build "$build" -j"$(nproc)"
  bash scripts/test_package.sh "$build"
fi

# The mirror apt uses here: the first source of the plain suite (one-line or deb822 format), and
# the one of its security suite when there is one.
apt_sources() { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null || true; }
mirror_for() {
  apt_sources | awk -v suite="$1" '
    $1 == "deb" { i = 2; if ($i ~ /^\[/) while ($i !~ /\]$/) i++; if ($i ~ /^\[/ || $i ~ /\]$/) i++
                  if ($(i + 1) == suite) { print $i; exit } }
    /^URIs:/ { uri = $2 }
    /^Suites:/ { for (j = 2; j <= NF; j++) if ($j == suite && uri != "") { print uri; exit } }
    /^$/ { uri = "" }'
}
mirror=$(mirror_for bookworm)
security=$(mirror_for bookworm-security)
[ -n "$mirror" ] || fail "no Debian 12 (bookworm) source in /etc/apt/sources.list*"

mounted_below() { awk -v t="$tree/" 'index($2 "/", t) == 1' /proc/mounts; }
[ -z "$(mounted_below)" ] || fail "something is still mounted below $tree; unmount it first"

pids=()
mounts=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true; done
}
trap cleanup EXIT INT TERM

step "debootstrap Debian 12 from $mirror into $tree"
rm -rf "$tree"
debootstrap --variant=minbase --keyring=/usr/share/keyrings/debian-archive-keyring.gpg bookworm "$tree" "$mirror" \
  >"$build/clean-install-debootstrap.log" 2>&1 || fail "debootstrap failed; see $build/clean-install-debootstrap.log"
{
  echo "deb $mirror bookworm main"
  echo "deb $mirror bookworm-updates main"
  [ -z "$security" ] || echo "deb $security bookworm-security main"
} >"$tree/etc/apt/sources.list"
cp /etc/resolv.conf "$tree/etc/resolv.conf"
# No service of an installed package starts in the tree.
printf '#!/bin/sh\nexit 101\n' >"$tree/usr/sbin/policy-rc.d"
chmod 755 "$tree/usr/sbin/policy-rc.d"

# /proc for apt and Qt, /sys (read-only) for the program's port list, a private pseudo-terminal
# instance for the simulator.
mount -t proc proc "$tree/proc" && mounts+=("$tree/proc")
mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$tree/sys" && mounts+=("$tree/sys")
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts "$tree/dev/pts" && mounts+=("$tree/dev/pts")
[ -e "$tree/dev/ptmx" ] || touch "$tree/dev/ptmx"
mount --bind "$tree/dev/pts/ptmx" "$tree/dev/ptmx" && mounts+=("$tree/dev/ptmx")

# Commands in the tree, each without the right to set the clock.
in_tree() { setpriv --bounding-set -sys_time chroot "$tree" "$@"; }
as_user() { chroot "$tree" setpriv --reuid=tester --regid=tester --init-groups --no-new-privs env -i \
  HOME=/home/tester PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY" XDG_RUNTIME_DIR=/tmp/runtime-tester "$@"; }

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$tree/tmp/"
in_tree apt-get update -qq >/dev/null
DEBIAN_FRONTEND=noninteractive in_tree apt-get install -y -qq "/tmp/$(basename "$deb")" \
  >"$build/clean-install-apt.log" 2>&1 || fail "apt-get install failed; see $build/clean-install-apt.log"
echo "   $(grep -c '^Setting up' "$build/clean-install-apt.log") packages set up"

step "the service and its group"
# The service alone may set the clock: the window holds no right of its own. systemd does not run in
# the tree, so the unit is only enabled there, not started.
caps=$(in_tree getcap /usr/bin/tamberline)
[ -z "$caps" ] || fail "the window has capabilities: $caps"
in_tree getent group tamberline >/dev/null || fail "no group tamberline"
[ -L "$tree/etc/systemd/system/multi-user.target.wants/tamberlined.service" ] || fail "tamberlined is not enabled"
echo "   group tamberline, tamberlined enabled, no capabilities on the window"

in_tree useradd -m -G dialout -s /bin/sh tester
in_tree install -d -o tester -g tester -m 700 /tmp/runtime-tester

step "a virtual display with a tray"
display=${TAMBERLINE_DISPLAY:-}
if [ -z "$display" ]; then
  for n in $(seq 90 120); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=$n; break; }; done
fi
# Clients in the tree reach the server through its abstract socket, which a chroot does not hide.
Xvfb ":$display" -screen 0 1024x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$display"
for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 24 \
  --transparent false --tint 0x303030 >/dev/null 2>&1 &
pids+=($!)
sleep 1

step "tamberline-sim"
as_user tamberline-sim --link /tmp/tamberline-sim >"$tree/tmp/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$tree/tmp/sim.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$tree/tmp/sim.out")
[[ $pty == /dev/pts/* ]] || fail "the simulator printed no terminal: $(cat "$tree/tmp/sim.out")"
echo "   simulated device on $pty, linked as /tmp/tamberline-sim"

# The pid of the process in the tree that runs BINARY (the launcher execs the program, and the
# background jobs here are subshells around the chroot).
tree_pid() {
  local p
  for _ in $(seq 100); do
    for p in /proc/[0-9]*; do
      [ "$(readlink "$p/exe" 2>/dev/null)" = "$tree$1" ] && { echo "${p#/proc/}"; return 0; }
    done
    sleep 0.1
  done
  return 1
}

step "tamberline through the autostart entry"
as_user sh -c 'mkdir -p ~/.config/autostart && cp /usr/share/tamberline/tamberline-autostart.desktop ~/.config/autostart/'
exec_line=$(sed -n 's/^Exec=//p' "$tree/home/tester/.config/autostart/tamberline-autostart.desktop")
[ -n "$exec_line" ] || fail "the autostart entry has no Exec line"
settings=$tree/home/tester/.config/tamberline
# First start ever: the launcher makes the settings folder; without settings the program tries
# the default port (Com1), which is not there, so it shows the error and stays on the screen.
as_user $exec_line >"$tree/tmp/first.out" 2>&1 &
pids+=($!)
first=$(tree_pid /usr/bin/tamberline) || fail "tamberline did not start: $(cat "$tree/tmp/first.out")"
[ "$(readlink "/proc/$first/cwd")" = "$settings" ] || fail "the first start is not in ~/.config/tamberline"
sleep 2
import -window root "$build/clean-install-first.png"
# SIGTERM closes the program as its close button does, so it writes its settings on the way out.
gone() { for _ in $(seq 100); do [ -e "/proc/$1" ] || return 0; sleep 0.1; done; fail "pid $1 did not end"; }
kill "$first"
gone "$first"
echo "   first start made ~/.config/tamberline/: $build/clean-install-first.png"

# Then with the simulator as its port, as the README's demo writes it.
printf '[ComPortSettings]\nComPort=/tmp/tamberline-sim\nBaudRate=38400\n' >"$settings/Settings.INI"
in_tree chown tester:tester /home/tester/.config/tamberline/Settings.INI
as_user $exec_line >"$tree/tmp/tamberline.out" 2>&1 &
pids+=($!)
app=$(tree_pid /usr/bin/tamberline) || fail "tamberline did not start: $(cat "$tree/tmp/tamberline.out")"
pids+=("$app")
[ "$(readlink "/proc/$app/cwd")" = "$settings" ] || fail "not started in ~/.config/tamberline"
cap_eff=$(awk '/^CapEff/ { print $2 }' "/proc/$app/status")
[ "$((0x$cap_eff))" -eq 0 ] || fail "the program runs with capabilities (CapEff $cap_eff)"
echo "   pid $app in ~/.config/tamberline, no capabilities (CapEff $cap_eff)"

# The zone query is the first command the program sends, so the simulator printing a command
# shows that the two talk.
for _ in $(seq 100); do grep -q '^cmd ' "$tree/tmp/sim.out" && break; sleep 0.1; done
grep -q '^cmd ' "$tree/tmp/sim.out" || fail "the simulator got no command from the program"
echo "   simulator got: $(grep -m1 '^cmd ' "$tree/tmp/sim.out")"
# The program's windows on the screen, by title: the main window is "Настройка времени", the
# tray icon's own window takes the program's name.
shown() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    [ "$(xdotool getwindowname "$w")" = "$1" ] && echo "$w"
  done
  return 0
}
sleep 2
[ -z "$(shown 'Настройка времени')" ] || fail "the main window is still on the screen, not hidden to the tray"
icon=$(shown tamberline | head -n1)
[ -n "$icon" ] || fail "no tray icon on the screen"
import -window root "$build/clean-install.png"
echo "   hidden to the tray: $build/clean-install.png"

# A double-click on the tray icon brings the window back.
eval "$(xdotool getwindowgeometry --shell "$icon")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click --repeat 2 --delay 80 1
sleep 1.5
import -window root "$build/clean-install-window.png"
[ -n "$(shown 'Настройка времени')" ] || fail "a double-click on the tray icon did not bring the window back"
echo "   restored by a double-click: $build/clean-install-window.png"
kill "$app"
gone "$app"

step "remove and purge"
settings_sum=$(md5sum <"$settings/Settings.INI")
DEBIAN_FRONTEND=noninteractive in_tree apt-get purge -y -qq tamberline >>"$build/clean-install-apt.log" 2>&1
[ ! -e "$tree/usr/bin/tamberline" ] || fail "the program is still there after purge"
[ "$(md5sum <"$settings/Settings.INI")" = "$settings_sum" ] || fail "purge changed the settings"
[ -f "$tree/home/tester/.config/autostart/tamberline-autostart.desktop" ] || fail "purge removed the autostart copy"
echo "   settings and autostart copy stay"

# The tree is large (about 850 MB); it stays only when a check failed, for a look inside.
cleanup
trap - EXIT INT TERM
[ -n "$(mounted_below)" ] || rm -rf "$tree"
step "passed"
