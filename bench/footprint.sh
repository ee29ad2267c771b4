#!/usr/bin/env bash
# Footprint of the running program against the simulator: time from process start to hidden in
# the tray (10 starts), resident memory, and CPU over 60 s with a frame arriving every second; the
# same for the service tamberlined over the same minute, against a simulator of its own and with no
# panel attached.
# Usage: bench/footprint.sh [build-dir] [seconds]   (default: build, 60). Prints figures only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-60}
. "$root/scripts/virtual_desktop.sh"
. "$root/scripts/without_clock.sh"  # the program runs as in the demo: it must not set the clock
app=$build/src/ui/tamberline
service=$build/src/service/tamberlined
sim=$build/tools/sim/tamberline-sim
work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

tamberline_virtual_desktop 97

mkfifo "$work/sim.in"
"$sim" <"$work/sim.in" >"$work/sim.out" 2>&1 &
pids+=($!)
exec 7>"$work/sim.in"  # keeps the simulator's stdin open
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -1 "$work/sim.out")
printf '[ComPortSettings]\nComPort=%s\nBaudRate=38400\n' "$pty" >"$work/Settings.INI"

# Start to tray: the launch instant from bash, the hiding instant from the program's probe (both
# wall clock, µs).
starts=()
for run in $(seq 10); do
  t0=${EPOCHREALTIME/./}
  (cd "$work" && TAMBERLINE_STARTUP_PROBE=1 tamberline_exec_without_clock "$app" 2>"$work/probe.$run") &
  pid=$!
  for _ in $(seq 300); do grep -q hidden-to-tray "$work/probe.$run" 2>/dev/null && break; sleep 0.01; done
  t1=$(awk '/hidden-to-tray/ {print $3}' "$work/probe.$run")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  [ -n "$t1" ] && starts+=($(((t1 - t0) / 1000)))
done
sorted=$(printf '%s\n' "${starts[@]}" | sort -n)
n=${#starts[@]}
echo "start to tray (ms, $n runs): p50 $(echo "$sorted" | sed -n "$(((n + 1) / 2))p")" \
  "p99/max $(echo "$sorted" | tail -1)"

# The service, in a folder of its own, against a simulator of its own.
mkdir -p "$work/svc"
"$sim" --link "$work/svc/device" >"$work/svc/sim.out" 2>&1 </dev/null &
pids+=($!)
printf '[ComPortSettings]\nComPort=%s\nBaudRate=38400\n' "$work/svc/device" >"$work/svc/Settings.INI"
(cd "$work/svc" && TAMBERLINE_CONTROL="$work/svc/control" tamberline_exec_without_clock "$service" 2>"$work/svc/log") &
svc=$!
pids+=("$svc")

# Steady state: frames arrive every second, the tick runs every second.
(cd "$work" && tamberline_exec_without_clock "$app" 2>/dev/null) &
pid=$!
pids+=("$pid")
sleep 5
# CPU time of all threads in ns (schedstat), finer than the 10 ms clock ticks of /proc/PID/stat.
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{n += $1} END {printf "%d", n}'; }
c0=$(cpu_ns "$pid") s0=$(cpu_ns "$svc")
sleep "$seconds"
c1=$(cpu_ns "$pid") s1=$(cpu_ns "$svc")
report() {  # name pid cpu-ns
  local rss hwm anon
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$2/status")
  hwm=$(awk '/VmHWM/ {print $2}' "/proc/$2/status")
  anon=$(awk '/^Anonymous/ {print $2}' "/proc/$2/smaps_rollup")
  echo "$1 resident memory: VmRSS $((rss / 1024)) MB ($rss kB; its own anonymous memory $anon kB," \
    "the rest shared library pages), peak VmHWM $((hwm / 1024)) MB"
  awk -v d="$3" -v s="$seconds" -v n="$1" \
    'BEGIN { printf "%s CPU over %d s: %.1f ms = %.4f %% of one core\n", n, s, d / 1e6, 100 * d / 1e9 / s }'
}
report tamberline "$pid" $((c1 - c0))
grep -q "открыт" "$work/svc/log" || echo "tamberlined did not open its port: $(tail -3 "$work/svc/log")"
report tamberlined "$svc" $((s1 - s0))
