# Sourced by the scripts: installs the Debian 12 packages the build, tests and demo need.
tamberline_install_deps() {
  # chrony: the service's test feeds a chronyd of its own, started with -x (it never sets the clock).
  local pkgs="cmake g++ make libgtest-dev libgmock-dev qt6-base-dev xvfb trayer imagemagick xdotool chrony"
  local missing=""
  for p in $pkgs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  # Installing chrony must not start its service, which would take over this machine's clock: a
  # policy that refuses every start holds while apt runs (only when the machine has none of its own).
  local policy=/usr/sbin/policy-rc.d own_policy=""
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
    own_policy=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null || {
    [ -n "$own_policy" ] && $sudo rm -f "$policy"
    return 1
  }
  [ -n "$own_policy" ] && $sudo rm -f "$policy"
  return 0
}
