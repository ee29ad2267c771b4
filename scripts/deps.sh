# Sourced by the scripts: installs the Debian 12 packages the build, tests and demo need, and any
# named as arguments (tamberline_install_deps [PACKAGE...]).
tamberline_install_deps() {
  # qt6-svg-dev: the build renders the scalable icon. The text-fit test runs in each face a fresh
  # machine may offer.
  local pkgs="cmake g++ make libgtest-dev libgmock-dev qt6-base-dev qt6-svg-dev xvfb trayer imagemagick xdotool"
  pkgs="$pkgs fonts-dejavu-core fonts-liberation"
  # The tray's test runs a session bus of its own.
  pkgs="$pkgs dbus-daemon"
  # The service's test feeds a chronyd of its own, started with -x (it never sets the clock).
  pkgs="$pkgs chrony"
  # The fuzzers' compiler (scripts/fuzz.sh, part of the test command) with its libFuzzer runtime.
  pkgs="$pkgs clang-14 libclang-rt-14-dev"
  tamberline_install_missing $pkgs "$@"
}

# The Windows stage: the MinGW-w64 cross compilers, wine, and GoogleTest's sources to build with them.
tamberline_install_windows_deps() {
  # nsis: the installer; unzip, x11-utils: the packaged program's run on a virtual desktop.
  tamberline_install_missing g++-mingw-w64-x86-64-posix wine64 googletest nsis unzip x11-utils
}

tamberline_install_missing() {
  local missing=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  # Installing a package must not start its service (chrony's would take over this machine's clock): a
  # policy that refuses every start holds while apt runs, unless the machine has a policy of its own.
  local policy=/usr/sbin/policy-rc.d own_policy=""
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
    own_policy=1
  fi
  local status=0
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null || status=$?
  if [ -n "$own_policy" ]; then $sudo rm -f "$policy"; fi
  return $status
}
