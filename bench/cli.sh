#!/usr/bin/env bash
# kr90x as scripts run it: the wall time of a petrol read from the virtual tester as
# JSON (records kept, in a folder of its own), each run and the median; then a
# 65,534-sample high-pressure curve read as JSON, in samples per second, beside the
# window's own path (bench_curve_download) on the same machine.
# Usage: bench/cli.sh [runs]   (builds nothing: build kr90x and bench_curve_download first)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-21}
kr90x=${KR90X_CLI:-build/tools/kr90x}
window=${KR90X_CURVE_BENCH:-build/bench/bench_curve_download}

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
export XDG_DATA_HOME=$data
unset QT_QPA_PLATFORM # kr90x needs no display of any kind

now_ns() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

"$kr90x" read petrol --virtual-tester --format json >/dev/null # the file cache, the records made
times=()
for i in $(seq "$runs"); do
    start=$(now_ns)
    "$kr90x" read petrol --virtual-tester --format json >/dev/null
    us=$(( ($(now_ns) - start) / 1000 ))
    times+=("$us")
    printf 'run %2d: %6.1f ms\n' "$i" "$(awk -v u="$us" 'BEGIN { print u / 1000 }')"
done
awk -v u="$(median "${times[@]}")" -v n="$runs" 'BEGIN {
    printf "kr90x read petrol --virtual-tester --format json: median %.1f ms of %d runs (target <= 100)\n", u / 1000, n }'

# The same tester answering at once (pace=0), as the window's benchmark has it. The
# whole process (start, version question, JSON written) and, less a 1-sample read's time,
# the download alone, which is what the window's benchmark times; medians of three.
samples=65534
rail_ns() { # COUNT: the count the tester reports (the samples read are one fewer)
    local start
    start=$(now_ns)
    "$kr90x" read rail "--virtual-tester=samples=$1,pace=0" --format json --no-record \
        -o "$data/rail.json"
    echo $(($(now_ns) - start))
}
base=$(median "$(rail_ns 2)" "$(rail_ns 2)" "$(rail_ns 2)")
full=$(median "$(rail_ns $((samples + 1)))" "$(rail_ns $((samples + 1)))" "$(rail_ns $((samples + 1)))")
got=$(python3 -c "import json,sys; print(len(json.load(open(sys.argv[1]))['samples']))" "$data/rail.json")
awk -v n="$got" -v full="$full" -v base="$base" 'BEGIN {
    printf "kr90x read rail: %d samples in %.2f s, whole process: %.0f samples/s\n", n, full / 1e9, n / (full / 1e9)
    printf "kr90x read rail: the download alone (less %.0f ms for a 1-sample read): %.0f samples/s\n", base / 1e6, (n - 1) / ((full - base) / 1e9) }'
if [ -x "$window" ]; then
    rates=()
    for i in 1 2 3; do
        rates+=("$(XDG_RUNTIME_DIR=$data "$window" 2>/dev/null | sed -n 's/.*: \([0-9]*\) samples\/s.*/\1/p')")
    done
    echo "the window (bench_curve_download): median $(median "${rates[@]}") samples/s of ${rates[*]}"
fi
