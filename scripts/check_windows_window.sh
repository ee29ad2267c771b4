#!/usr/bin/env bash
# The installed tamberline.exe and its service tamberlined.exe under wine on a virtual desktop (Xvfb
# with trayer), against the simulator on COM5: the installer registers the service and wine's service
# manager runs it with the simulator's port; the window appears as the service's panel and hides to the
# tray, the device's time advances on it, the zone query is the first thing the device hears, the
# service's hourly synchronisation asks for the device's hh:00:01, `net stop` runs its close steps, and
# the uninstaller removes the service but keeps its settings.
# Called by scripts/test_windows.sh with its wine runner and prefix:
#   check_windows_window.sh INSTALLER WINE_DIR HOST_BUILD
# The installer runs silently (/S) into the prefix first; the program then runs from where it put
# it, in the working folder its shortcuts give it.
# wine 8 sets no clock: NtSetSystemTime refuses any step over half a second ("err:sync ... not
# allowed: difference N ms") and the service stays silent as on a refused change. That line, taken
# with the moment it appears, is the record of the time asked for; the runner also drops the right
# to set the clock and preloads the clock recorder, should wine ever call clock_settime. wine's
# services print on the standard error of the process that started the prefix's service manager,
# with its WINEDEBUG: so the service is started by the first process of a fresh wine server. The
# event log's lines come from wine's eventlog channel, their Cyrillic letters as \x escapes.
# Screenshots in $WINE_DIR/shots: tray.png (the icon), sync-a/-b.png and nosync.png (the window in
# both modes).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
installer=$(realpath "$1") w=$2 host=$3
. scripts/virtual_desktop.sh

shots=$w/shots
rm -rf "$shots" "$w/sim.in" "$w/sim.log" "$w/wine.log" "$w/service.log"
mkdir -p "$shots"
pids=()
fail() {
  echo "check_windows_window: $*" >&2
  for f in sim wine service; do [ -f "$w/$f.log" ] && echo "  $f: $(tr '\n' '|' <"$w/$f.log" | tail -c 600)" >&2; done
  exit 1
}

cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  # The wine server this check starts, and with it the services, which hold the service log's pipe.
  WINEPREFIX="$w/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT
# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local n=$1 i
  shift
  for ((i = 0; i < n; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

# A desktop of its own, whatever display the caller has.
unset DISPLAY
tamberline_virtual_desktop "${TAMBERLINE_CHECK_DISPLAY:-14}"
# On that desktop: wine's desktop process, started by the first window of the prefix, keeps the
# display it found.
"$w/run.sh" "$installer" /S || fail "the installer failed"
c=$w/prefix/drive_c
exe="$c/Program Files/Tamberline/tamberline.exe"
work=$(echo "$c"/users/*/AppData/Roaming/Tamberline)
[ -f "$exe" ] && [ -d "$work" ] || fail "the installer left no program or no working folder"
ls "$c"/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs/"Настройка времени.lnk" >/dev/null ||
  fail "the installer made no Start-menu entry"
# The program carries its own icon, drawn by the host build, for Explorer, the shortcuts and the
# programs list, and its version.
sizes=$(identify -format '%w ' "$host/tools/icons/tamberline.ico") || fail "the host build's icon file is unreadable"
[ "$sizes" = "16 24 32 48 256 " ] || fail "the icon file holds the sizes \"$sizes\" (px)"
resources=$(x86_64-w64-mingw32-windres -i "$exe" -O rc) || fail "the program's resources are unreadable"
grep -q 'IDI_ICON1.*RT_GROUP_ICON' <<<"$resources" && grep -q VERSIONINFO <<<"$resources" ||
  fail "tamberline.exe has no icon or no version resource"

# The service: beside the window, registered under LocalService with its quoted path, its event
# source registered, its settings folder made with a first Settings.INI, and started.
svc=$c/ProgramData/Tamberline
[ -f "$c/Program Files/Tamberline/tamberlined.exe" ] || fail "the installer left no tamberlined.exe"
# Event Viewer shows the lines through the message table the event source names.
[[ $(x86_64-w64-mingw32-windres -i "$c/Program Files/Tamberline/tamberlined.exe" -O rc) == *messagetable* ]] ||
  fail "tamberlined.exe has no message table"
[ -f "$svc/Settings.INI" ] || fail "the installer made no settings for the service"
reg_value() {
  "$w/run.sh" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v v="$2" '$1 == v {sub(/^ *[^ ]+ +[^ ]+ +/, ""); print}'
}
key='HKLM\SYSTEM\CurrentControlSet\Services'
[ "$(reg_value "$key\tamberlined" ObjectName)" = 'NT AUTHORITY\LocalService' ] ||
  fail "the service does not run as LocalService"
[ "$(reg_value "$key\tamberlined" ImagePath)" = '"C:\Program Files\Tamberline\tamberlined.exe"' ] ||
  fail "the service's path is \"$(reg_value "$key\tamberlined" ImagePath)\""
[ "$(reg_value "$key\EventLog\Application\Tamberline" EventMessageFile)" = 'C:\Program Files\Tamberline\tamberlined.exe' ] ||
  fail "the event source names no message table"
in_state() { [[ $("$w/run.sh" sc query tamberlined) == *"$1"* ]]; }
in_state RUNNING || fail "the installer did not start the service"
# wine's net stop asks the service to stop and returns without waiting for it.
net_stop() { "$w/run.sh" net stop tamberlined >/dev/null 2>&1 && wait_for 100 in_state STOPPED; }
net_stop || fail "net stop did not stop the service"

mkfifo "$w/sim.in"
"$host/tools/sim/tamberline-sim" --link "$w/sim/com" <"$w/sim.in" >"$w/sim.log" 2>&1 &
pids+=($!)
exec 3>"$w/sim.in"  # the simulator's commands; held open so that it runs on
wait_for 50 test -s "$w/sim.log" || fail "the simulator did not start"
# The service's port; the window's own settings name none, so only a panel shows the device's time.
printf '[ComPortSettings]\r\nComPort=COM5\r\nBaudRate=38400\r\n[Common Settings]\r\nSyncroEveryHours=1\r\n[Service]\r\nMode=step\r\n' \
  >"$svc/Settings.INI"
rm -f "$work/Settings.INI"

# Each line of wine's with the moment it came, for the time the synchronisation asked for.
stamp() { while IFS= read -r line; do printf '%s %s\n' "$(date +%s.%N)" "$line"; done; }
WINEPREFIX="$w/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
sleep 0.5
"$w/server.sh" >/dev/null 2>&1 &
sleep 0.5
# The server's first process starts the service manager, which starts the service (it starts
# automatically); sc start only makes sure.
WINEDEBUG=-all,err+sync,+eventlog "$w/run.sh" sc start tamberlined 2> >(stamp >"$w/service.log") >/dev/null || true
# The event log's lines as wine prints them: ASCII as it is, every other letter as \NNNN (hex).
escaped() {
  local LC_ALL=C.UTF-8 text=$1 out='' ch code i
  for ((i = 0; i < ${#text}; i++)); do
    ch=${text:i:1}
    printf -v code '%d' "'$ch"
    ((code < 128)) || printf -v ch '\\%04x' "$code"
    out+=$ch
  done
  printf '%s' "$out"
}
logged() { grep -qF "$(escaped "$1")" "$w/service.log"; }
wait_for 100 logged "порт COM5 открыт" || fail "the service did not open COM5"

title="Настройка времени"
cd "$work"
WINEDEBUG=-all,err+sync "$w/run.sh" "$exe" > >(stamp >"$w/wine.log") 2>&1 &
pids+=($!)
cd "$root"

wait_for 300 xdotool search --onlyvisible --name "$title" || fail "the window did not appear"
wait_for 100 logged "панель подключилась" || fail "the window did not attach to the service as its panel"
# The first activation sends it to the tray.
wait_for 100 bash -c "! xdotool search --onlyvisible --name '$title'" || fail "the window did not hide to the tray"
# The centre of the icon on the screen (xdotool reports an embedded window's place in its parent's
# terms).
icon() {
  local tray child
  tray=$(xdotool search --name '^panel$' | head -n 1)
  child=$(xwininfo -children -id "$tray" | awk '/^ +0x/ {print $1; exit}')
  [ -n "$child" ] && xwininfo -id "$child" |
    awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF} /Width:/ {w = $NF} /Height:/ {h = $NF}
         END {print x + int(w / 2), y + int(h / 2)}'
}
[ -n "$(icon)" ] || fail "no icon in the tray"
import -window root "$shots/tray.png"

# Back from the tray with a double click on the icon, as a user opens it.
reopen() {
  local x y
  read -r x y < <(icon)
  # wine takes the click only once the pointer has been seen over the icon.
  xdotool mousemove "$x" "$y" sleep 0.5 click --repeat 2 --delay 120 1
  wait_for 20 xdotool search --onlyvisible --name "$title"
}
wait_for 3 reopen || fail "the window did not come back from the tray"
win=$(xdotool search --onlyvisible --name "$title" | head -n 1)
sleep 1.2
import -window "$win" "$shots/sync-a.png"
sleep 1.2
import -window "$win" "$shots/sync-b.png"
diff=$(compare -metric AE "$shots/sync-a.png" "$shots/sync-b.png" null: 2>&1 || true)
[ "${diff%% *}" != 0 ] || fail "the device's time did not advance on the window"
echo "sync off" >&3
sleep 2.5
import -window "$win" "$shots/nosync.png"
echo "sync on" >&3
# Four seconds before a full hour of the device's, so the hourly synchronisation comes soon.
tod0=$(date -u -d '+1 hour' +%H):59:57
echo "tod $tod0" >&3
tod_set=$(date +%s.%N)

# A command's third byte is its type; 0C asks for the zone.
first=$(grep -m 1 '^cmd ' "$w/sim.log" || true)
[ "$(echo "$first" | awk '{print $4}')" = 0C ] || fail "the first command the device heard was \"$first\", not the zone query"

# The synchronisation at the device's hh:00:01.
wait_for 100 grep -q 'NtSetSystemTime' "$w/service.log" || fail "the service asked for no synchronisation"
! grep -q 'NtSetSystemTime' "$w/wine.log" || fail "the window, a panel, set the clock itself"
read -r at asked_ms < <(awk '/NtSetSystemTime/ {print $1, $(NF-1); exit}' "$w/service.log")
# The time asked for (local, as the program sets it) and the device's at that moment, as times of day.
asked=$(awk -v a="$at" -v d="$asked_ms" 'BEGIN {printf "%d", a + d / 1000}')
device=$(awk -v t0="$(date -u -d "1970-01-01 $tod0" +%s)" -v a="$at" -v s="$tod_set" 'BEGIN {printf "%d", t0 + a - s}')
tod_asked=$(date -d "@$asked" +%H:%M:%S)
tod_device=$(date -u -d "@$device" +%H:%M:%S)
case $tod_asked in *:00:01 | *:00:02) ;; *) fail "the synchronisation asked for $tod_asked, not hh:00:01" ;; esac
[ "${tod_asked%%:*}" = "${tod_device%%:*}" ] || fail "asked for $tod_asked while the device showed $tod_device"
if [ -s "$w/clock.log" ]; then fail "the machine's clock was to be set: $(cat "$w/clock.log")"; fi

# The SCM's stop runs the close steps: the settings written (the winter/summer choice is written only
# then), and the last line logged.
grep -q SumWnt "$svc/Settings.INI" && fail "the service's settings were written before its close steps"
net_stop || fail "net stop did not stop the service"
grep -q SumWnt "$svc/Settings.INI" || fail "net stop did not run the close steps: no settings written"
wait_for 30 logged "служба остановлена" || fail "the service did not log its stop"

# The uninstaller removes the service and its event source, and keeps the service's settings. It
# runs from a copy of its own and returns at once (wine quotes an in-place _?= out of its reach).
"$w/run.sh" "$c/Program Files/Tamberline/Uninstall.exe" /S || fail "the uninstaller failed"
wait_for 200 test ! -e "$c/Program Files/Tamberline/tamberlined.exe" || fail "the uninstaller left tamberlined.exe"
! "$w/run.sh" sc query tamberlined >/dev/null 2>&1 || fail "the uninstaller left the service"
[ -z "$(reg_value "$key\EventLog\Application\Tamberline" EventMessageFile)" ] ||
  fail "the uninstaller left the event source"
grep -q ComPort=COM5 "$svc/Settings.INI" || fail "the uninstaller did not keep the service's settings"
echo "tamberline.exe and tamberlined.exe under wine: the service installed, started and stopped by" \
  "the SCM; the window its panel, shown and hidden to the tray, time advancing, zone query first," \
  "synchronisation asked for $tod_asked (device $tod_device); uninstalled; screenshots in $shots"
