#!/usr/bin/env bash
# Start-up with COUNT workshop records (10,000 unless given) against none: bench/startup.sh twice, each with
# a records folder of its own. Usage: bench/records_startup.sh [runs] [count]
# (builds nothing: run ./run.sh or ./test.sh first; needs build/bench/bench_records)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
count=${2:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/none/orvo-kr90x" "$work/many/orvo-kr90x"
build/bench/bench_records --fill "$work/many/orvo-kr90x/records.sqlite" "$count"
# "None": a records file with no record in it, as a first run leaves it.
build/Orvo_KR90X.exe --help >/dev/null
XDG_DATA_HOME=$work/none QT_QPA_PLATFORM=offscreen build/Orvo_KR90X.exe --startup-probe >/dev/null 2>&1
for kind in none many; do
    echo "== $kind"
    XDG_DATA_HOME=$work/$kind bench/startup.sh "$runs" | tail -n 1
done
