#!/usr/bin/env bash
# Runs each fuzz target for a while from its seed corpus, as many at once as there are
# cores. Usage: tests/fuzz/run.sh [seconds per target] [build folder]
# Given a build folder configured with -DKR90X_FUZZ=ON (as ./test.sh's build-asan/ is),
# its targets are used; otherwise build-fuzz/ is configured and built with clang.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-20}
build=${2:-}
if [ -z "$build" ]; then
    build=build-fuzz
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DKR90X_FUZZ=ON -DKR90X_TESTS=OFF \
        -DKR90X_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target fuzz_targets
export UBSAN_OPTIONS=halt_on_error=1
export ASAN_OPTIONS=detect_leaks=0
export SECONDS_PER_TARGET=$seconds
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
export LOGS=$logs

# One target: a private copy of its seeds, so that what it finds stays out of the tree
# unless somebody copies it in. Prints the last lines of its output when it is done.
fuzz_one() {
    local target=$1 name=${1##*/fuzz_} work status=0
    work=$(mktemp -d)
    cp tests/fuzz/corpus/"$name"/* "$work"/
    "$target" -max_total_time="$SECONDS_PER_TARGET" -timeout=5 -rss_limit_mb=2048 "$work" \
        >"$LOGS/$name" 2>&1 || status=$?
    echo "fuzzed $name for ${SECONDS_PER_TARGET}s: $(tail -n 1 "$LOGS/$name")"
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$LOGS/$name"
    fi
    rm -rf "$work"
    return "$status"
}
export -f fuzz_one
find "$build"/tests/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' |
    xargs -P "$(nproc)" -I{} bash -c 'fuzz_one "$1"' _ {}
