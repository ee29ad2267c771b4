#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a normal build (then its Debian package is built
# and checked), then under AddressSanitizer + UndefinedBehaviorSanitizer. Installs what it needs
# (Debian 12).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
# The package check: dpkg-dev and file make cpack's dependency list.
tamberline_install_deps dpkg-dev file lintian desktop-file-utils

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DTAMBERLINE_UI=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs")
}

# Line tables are all the debug information a failing test's stack needs; full -g makes the
# compile a third slower. The sanitizer build at -O1, as the sanitizers' own guides suggest, also
# compiles in half the time of -O2.
echo "== normal build =="
run_suite build -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
bash scripts/test_package.sh build
bash scripts/fuzz.sh --smoke  # both fuzzers for a short run
echo "== ASan + UBSan build =="
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DTAMBERLINE_SANITIZE=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1"
bash scripts/test_windows.sh  # the Windows suites under wine (skipped without the cross tools)
