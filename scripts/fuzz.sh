#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang++-14 with fuzzer, ASan and UBSan) into build-fuzz/ and runs each in
# turn, at the lowest priority and on one core: MINUTES each (default 10), or 20 s each with --smoke
# (the test command's run). Seeds in fuzz/seeds/NAME are only read; what the fuzzer learns stays in
# build-fuzz/corpus/NAME for the next run, findings go to build-fuzz/findings/. Exits 1 on a finding.
# Installs the compiler when it is missing (the test command needs it); fails when it cannot build fuzzers.
#
# Usage: scripts/fuzz.sh [MINUTES | --smoke]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh

case "${1:-10}" in
  --smoke) seconds=20 ;;
  *[!0-9]* | 0) echo "usage: $0 [MINUTES | --smoke]" >&2; exit 2 ;;
  *) seconds=$(( ${1:-10} * 60 )) ;;
esac

echo "== fuzz: $seconds s each =="
tamberline_install_deps
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/p.cpp"
if ! clang++-14 -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p"; then
  echo "fuzz: clang++-14 cannot build libFuzzer harnesses (Debian: clang-14 libclang-rt-14-dev)" >&2
  exit 1
fi

CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -gline-tables-only" \
  -DBUILD_TESTING=OFF -DTAMBERLINE_UI=OFF -DTAMBERLINE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target core_fuzz inifile_fuzz control_fuzz >/dev/null

# A small quarantine: the harnesses make many short strings, and a large one makes them twice as slow.
export ASAN_OPTIONS=quarantine_size_mb=8:malloc_context_size=4:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
run() {
  local name=$1 maxlen=$2
  local log=build-fuzz/$name.log
  mkdir -p "build-fuzz/corpus/$name" build-fuzz/findings
  if nice -n 19 "build-fuzz/fuzz/$name" -max_total_time="$seconds" -max_len="$maxlen" -print_final_stats=1 \
      -artifact_prefix="build-fuzz/findings/$name-" "build-fuzz/corpus/$name" "fuzz/seeds/$name" >"$log" 2>&1; then
    local runs rate
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz $name: $runs runs in ${seconds} s ($rate runs/s), no findings"
  else
    echo "fuzz $name: FINDING (full log: $log)"
    grep -E "^(${name}:|SUMMARY|==[0-9]+==ERROR)|Test unit written" "$log" || tail -n 30 "$log"
    failed=1
  fi
}
run core_fuzz 600
run inifile_fuzz 2048
run control_fuzz 8192
exit $failed
