#!/bin/sh
# Runs a QtTest program under wine: RUNNER EXE [ARGS]. Its report reaches no pipe there (wine's
# console output of a Qt program does not), so it goes to a file that is shown afterwards.
runner=$1 exe=$2
shift 2
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$runner" "$exe" -platform offscreen -o "Z:$(printf '%s' "$log" | tr / '\\'),txt" "$@"
rc=$?
cat "$log"
exit $rc
