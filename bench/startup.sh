#!/usr/bin/env bash
# Start-up benchmark: time from process start to the first paint of the main window,
# and the peak resident memory by then, offscreen. Prints each run and the medians.
# Usage: bench/startup.sh [runs]   (builds nothing: run ./run.sh or ./test.sh first)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
program=${KR90X_PROGRAM:-build/Orvo_KR90X.exe}
export QT_QPA_PLATFORM=offscreen

"$program" --startup-probe >/dev/null 2>&1 # warm the file cache once
times=()
peaks=()
for i in $(seq "$runs"); do
    start=$(date +%s%N)
    line=$("$program" --startup-probe 2>/dev/null | grep '^shown_ns=')
    shown=${line#shown_ns=}
    shown=${shown%% *}
    peak=${line##*peak_kib=}
    ms=$(( (shown - start) / 1000000 ))
    times+=("$ms")
    peaks+=("$peak")
    printf 'run %2d: %4d ms to window shown, peak %6d KiB\n' "$i" "$ms" "$peak"
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
mt=$(median "${times[@]}")
mp=$(median "${peaks[@]}")
awk -v t="$mt" -v p="$mp" 'BEGIN {
    printf "median: %d ms to window shown (target < 150), peak %.1f MiB (target < 60)\n", t, p / 1024 }'
