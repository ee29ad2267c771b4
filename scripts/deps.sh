# Sourced by the scripts: installs the Debian 12 packages the build, tests and demo need.
tamberline_install_deps() {
  tamberline_install cmake g++ make libgtest-dev libgmock-dev qt6-base-dev xvfb trayer imagemagick xdotool
}

# The Windows stage: the MinGW-w64 cross compilers, wine, and GoogleTest's sources to build with them.
tamberline_install_windows_deps() {
  tamberline_install g++-mingw-w64-x86-64-posix wine64 googletest
}

tamberline_install() {
  local pkgs="$*"
  local missing=""
  for p in $pkgs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
}
