# Sourced by the scripts that show the real program: without a display they start a virtual one
# (Xvfb) with a tray host (trayer), so the program can hide to its icon as on a desktop.
#   tamberline_virtual_desktop N   uses display :N when $DISPLAY is empty; appends the started
#                                  processes' pids to the caller's `pids` array for its clean-up.
tamberline_virtual_desktop() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n=$1
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 24 \
    --transparent false --tint 0x303030 >/dev/null 2>&1 &
  pids+=($!)
  sleep 0.5
}
