#!/usr/bin/env bash
# The program as the scripts start it cannot set the clock: CAP_SYS_TIME (bit 25) is neither
# effective nor to be gained from a file capability. Only reads /proc; never tries the clock.
set -euo pipefail
. "$(dirname "$0")/../../scripts/without_clock.sh"
status=$(tamberline_exec_without_clock cat /proc/self/status)
field() { awk -v k="$1:" '$1 == k {print $2}' <<<"$status"; }
has_sys_time() { (((16#$1 >> 25) & 1)); }
if has_sys_time "$(field CapEff)"; then
  echo "FAIL: CAP_SYS_TIME is effective"
  exit 1
fi
if has_sys_time "$(field CapBnd)" && [ "$(field NoNewPrivs)" != 1 ]; then
  echo "FAIL: CAP_SYS_TIME can still be gained"
  exit 1
fi
echo "ok: no right to set the clock"
