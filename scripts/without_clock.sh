# Sourced by the scripts that start the real program: it must never set this machine's clock, so
# it runs without the right to (clock_settime then fails with EPERM, also for root).
#   tamberline_exec_without_clock CMD ARGS...   replaces the calling (sub)shell, keeping its pid.
tamberline_exec_without_clock() {
  local eff
  eff=$(awk '$1 == "CapEff:" {print $2}' /proc/self/status)
  # Root keeps its other rights; taking CAP_SYS_TIME out of the bounding set needs CAP_SETPCAP (8).
  if (((16#$eff >> 8) & 1)); then
    exec setpriv --no-new-privs --bounding-set -sys_time -- "$@"
  fi
  # Anyone else lacks the right already, and no file capability (setcap) may add it.
  exec setpriv --no-new-privs -- "$@"
}
