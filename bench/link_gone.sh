#!/usr/bin/env bash
# The running program with its device gone: CPU over a stretch while the simulator is away (the
# program looks for it again about once a second), and the time from SIGTERM to the process's exit
# with the device there and with it gone. The program runs without the right to set the clock.
# Usage: bench/link_gone.sh [build-dir] [seconds]   (default: build, 10). Prints figures only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-10}
. "$root/scripts/virtual_desktop.sh"
. "$root/scripts/without_clock.sh"
app=$build/src/ui/tamberline
sim=$build/tools/sim/tamberline-sim
work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

tamberline_virtual_desktop 96

start_sim() {
  "$sim" --link "$work/device" </dev/null >"$work/sim.out" 2>&1 &
  sim_pid=$!
  pids+=("$sim_pid")
  for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
}
start_app() {
  (cd "$work" && tamberline_exec_without_clock "$app" 2>/dev/null) &
  app_pid=$!
  pids+=("$app_pid")
}
# ms from SIGTERM until the process has ended, into $term_ms (in this shell: wait needs the child).
term() {
  local t0 t1
  t0=${EPOCHREALTIME/./}
  kill -TERM "$1"
  while kill -0 "$1" 2>/dev/null && ! grep -q '^State:.*zombie' "/proc/$1/status" 2>/dev/null; do sleep 0.001; done
  t1=${EPOCHREALTIME/./}
  wait "$1" 2>/dev/null || true
  term_ms=$(awk -v us=$((t1 - t0)) 'BEGIN { printf "%.1f", us / 1000 }')
}
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{n += $1} END {printf "%d", n}'; }

printf '[ComPortSettings]\nComPort=%s\nBaudRate=38400\n' "$work/device" >"$work/Settings.INI"
start_sim
start_app
sleep 4
term "$app_pid"
echo "close on SIGTERM with the device there: $term_ms ms"

start_app
sleep 4
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sleep 2  # the loss is noticed within a second
c0=$(cpu_ns "$app_pid")
sleep "$seconds"
c1=$(cpu_ns "$app_pid")
awk -v d=$((c1 - c0)) -v s="$seconds" \
  'BEGIN { printf "CPU over %d s with the device gone: %.2f ms = %.4f %% of one core\n", s, d / 1e6, 100 * d / 1e9 / s }'
printf '[ComPortSettings]\n' >"$work/Settings.INI"
term "$app_pid"
echo "close on SIGTERM with the device gone: $term_ms ms"
grep -q "^ComPort=$work/device" "$work/Settings.INI" && echo "settings written at SIGTERM: yes" ||
  echo "settings written at SIGTERM: NO"
