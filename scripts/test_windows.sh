#!/usr/bin/env bash
# The Windows stage: cross-builds the libraries below the window, their tests and tamberline-probe
# with MinGW-w64 (with Qt for MinGW also the window, its tests and packages), and runs them under wine
# against the native device simulator or a native relay that stands in for a test's own pty pair. Installs what it
# needs; without the cross tools it says so and succeeds. Nothing here may set the machine's clock:
# wine runs without the right to (CAP_SYS_TIME dropped) and with the clock recorder preloaded, which
# records clock settings instead (tests/support/clock_recorder.cpp), beside the pty shim
# (tests/support/wine_shim.cpp).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/deps.sh
tamberline_install_windows_deps || true
wine=/usr/lib/wine/wine64
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || [ ! -x "$wine" ] || [ ! -d /usr/src/googletest ]; then
  echo "== Windows build: skipped (MinGW-w64, wine64 or the GoogleTest sources are missing) =="
  exit 0
fi

host=${TAMBERLINE_HOST_BUILD:-build}
if [ ! -x "$host/tools/sim/tamberline-sim" ]; then
  cmake -S . -B "$host" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
  cmake --build "$host" -j"$(nproc)" --target tamberline-sim
fi
dir=$root/build-win
w=$dir/wine
pairs=8  # the pty pairs' COM ports: tests/support/win32_pty_pair.cpp
mkdir -p "$w/sim" "$w/probe"
for k in $(seq 0 $((pairs - 1))); do mkdir -p "$w/pairs/$k"; done

# Qt for MinGW (../shared/qt6-mingw beside the repository) makes the window's build and packages;
# without it the stage builds what lies below the window. The repository's own folder is the
# common one of its worktrees.
common=$(git rev-parse --path-format=absolute --git-common-dir 2>/dev/null || echo "$root/.git")
qt=${TAMBERLINE_QT_MINGW:-$(dirname "$(dirname "$common")")/shared/qt6-mingw}
if [ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  # Qt's libraries bring the shared compiler runtime; the program uses those copies too.
  cross=(-DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" -DQT_HOST_PATH=/usr
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTAMBERLINE_UI=ON -DTAMBERLINE_STATIC_RUNTIME=OFF)
  # The program's icon is drawn by a native tool: the host build renders it, the cross build takes it.
  cmake --build "$host" -j"$(nproc)" --target tamberline_icons >/dev/null
  cross+=(-DTAMBERLINE_WINDOWS_ICON="$root/$host/tools/icons/tamberline.ico")
  winepath="Z:${qt//\//\\}\\bin"
else
  echo "== Windows window and packages: skipped (no Qt for MinGW in $qt; TAMBERLINE_QT_MINGW names another) =="
  qt=""
  cross=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTAMBERLINE_UI=OFF -DTAMBERLINE_STATIC_RUNTIME=ON)
  winepath=""
fi

# Without debug information (-g) the cross-build takes far less time, and CI's budget is tight.
# wine as its tests run it: a throw-away prefix, no right to set the clock, the shim preloaded.
for lib in wine_shim clock_recorder; do
  g++ -std=c++20 -O2 -Wall -Wextra -Werror -shared -fPIC -o "$w/$lib.so" "tests/support/$lib.cpp" -ldl
done
g++ -std=c++20 -O2 -Wall -Wextra -Werror -o "$w/pty_relay" tests/support/pty_relay.cpp -lutil
preload="$w/wine_shim.so:$w/clock_recorder.so"
cat >"$w/run.sh" <<RUN
#!/usr/bin/env bash
export WINEPREFIX='$w/prefix' WINEDEBUG=\${WINEDEBUG:--all} WINEDLLOVERRIDES='mscoree,mshtml=' LD_PRELOAD='$preload'
export WINEPATH='$winepath'
export TAMBERLINE_CLOCK_LOG='$w/clock.log' TAMBERLINE_WINE_SIM_DIR='$w/sim' TAMBERLINE_WINE_SIM_PORT=COM5
export TAMBERLINE_WINE_PAIRS='$w/pairs' TAMBERLINE_WINE_RELAY='$w/pty_relay'
exec setpriv --bounding-set -sys_time -- $wine "\$@"
RUN
chmod +x "$w/run.sh"
# wine's server as the tests use it, in the foreground: started once for all the tests, so that tests
# starting together do not race to start their own; being no session leader, it never takes a
# simulator's terminal as its controlling one (whose hang-up would send it SIGHUP).
cat >"$w/server.sh" <<SERVER
#!/usr/bin/env bash
export WINEPREFIX='$w/prefix' LD_PRELOAD='$preload'
exec setpriv --bounding-set -sys_time -- /usr/lib/wine/wineserver -f -p
SERVER
chmod +x "$w/server.sh"

echo "== Windows build (MinGW-w64) =="
# A build made with the other toolchain (Qt appeared or went away) starts afresh: CMake keeps the
# first toolchain of a build folder.
if ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=${cross[0]#*=}" "$dir/CMakeCache.txt" 2>/dev/null; then
  rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
fi
cmake -S . -B "$dir" "${cross[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
  -DBUILD_TESTING=ON -DTAMBERLINE_HOST_SIM="$root/$host/tools/sim/tamberline-sim" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$w/run.sh" >/dev/null
cmake --build "$dir" -j"$(nproc)"

stop_wine() { WINEPREFIX="$w/prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true; }
start_wine() {
  "$w/server.sh" >/dev/null 2>&1 &
  sleep 0.5
}
trap stop_wine EXIT
stop_wine
rm -rf "$w/prefix" "$w/clock.log"
start_wine
"$w/run.sh" wineboot -i >/dev/null 2>&1
# The simulators' links and the pty pairs' relays stand in for COM ports; wine reads the mapping
# when its server starts. The window's tests run on the offscreen platform, whose fonts come from a
# folder named here (wine hands no QT_* variable over from the environment).
{
  echo 'Windows Registry Editor Version 5.00'
  echo '[HKEY_LOCAL_MACHINE\Software\Wine\Ports]'
  # This machine's own serial ports stay out of the tests: an empty value maps none.
  for n in 1 2 3 4; do echo "\"COM$n\"=\"\""; done
  echo "\"COM5\"=\"$w/sim/com\""
  echo "\"COM6\"=\"$w/probe/com\""
  for k in $(seq 0 $((pairs - 1))); do
    echo "\"COM$((10 + 2 * k))\"=\"$w/pairs/$k/port\""
    echo "\"COM$((11 + 2 * k))\"=\"$w/pairs/$k/device\""
  done
  echo '[HKEY_CURRENT_USER\Environment]'
  echo '"QT_QPA_FONTDIR"="Z:\\usr\\share\\fonts\\truetype\\dejavu"'
} >"$w/ports.reg"
"$w/run.sh" regedit /S "$(printf 'Z:%s' "$w/ports.reg" | tr / '\\')" >/dev/null 2>&1
stop_wine
sleep 0.5
start_wine
# Also starts the prefix's services, before tests start side by side.
"$w/run.sh" reg query 'HKLM\Software\Wine\Ports' | grep -q COM5 || { echo "COM5 not mapped"; exit 1; }

echo "== Windows tests under wine =="
(cd "$dir" && ctest --output-on-failure -j"$(nproc)")

echo "== tamberline-probe.exe under wine, 10 s against the simulator (wine adds its own latency) =="
coproc PROBESIM { exec "$host/tools/sim/tamberline-sim" --phase 30 --link "$w/probe/com"; }
# bash forgets a coprocess's pid once it has ended, and the simulator may end with the probe's line.
probesim=$PROBESIM_PID
read -r _ <&"${PROBESIM[0]}"
"$w/run.sh" "$dir/tools/probe/tamberline-probe.exe" COM6 10 | tail -n 3
kill "$probesim" 2>/dev/null || true
wait "$probesim" 2>/dev/null || true

[ -n "$qt" ] || exit 0
echo "== Windows packages: ZIP and NSIS installer =="
(cd "$dir" && cpack -G ZIP >/dev/null && cpack -G NSIS >/dev/null && ls tamberline-*-win64.*)
echo "== tamberline.exe installed silently, then run under wine on a virtual desktop against the simulator =="
bash scripts/check_windows_window.sh "$(ls "$dir"/tamberline-*-win64.exe)" "$w" "$root/$host"
