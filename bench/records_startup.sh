#!/usr/bin/env bash
# Start-up with 10,000 workshop records against none: bench/startup.sh twice, each with
# a records folder of its own. Usage: bench/records_startup.sh [runs]
# (builds nothing: run ./run.sh or ./test.sh first; needs build/bench/bench_records)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/none/orvo-kr90x" "$work/many/orvo-kr90x"
build/bench/bench_records --fill "$work/many/orvo-kr90x/records.sqlite" 10000
# "None": a records file with no record in it, as a first run leaves it.
build/Orvo_KR90X.exe --help >/dev/null
XDG_DATA_HOME=$work/none QT_QPA_PLATFORM=offscreen build/Orvo_KR90X.exe --startup-probe >/dev/null 2>&1
for kind in none many; do
    echo "== $kind"
    XDG_DATA_HOME=$work/$kind bench/startup.sh "$runs" | tail -n 1
done
