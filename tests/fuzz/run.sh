#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a while from its
# seed corpus. Usage: tests/fuzz/run.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKR90X_FUZZ=ON -DKR90X_TESTS=OFF \
    -DKR90X_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target fuzz_targets
export UBSAN_OPTIONS=halt_on_error=1
export ASAN_OPTIONS=detect_leaks=0
for target in $(find build-fuzz/tests/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*'); do
    name=${target##*/fuzz_}
    work=$(mktemp -d)
    cp tests/fuzz/corpus/"$name"/* "$work"/
    echo "fuzzing $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 "$work" 2>&1 | tail -n 2
    rm -rf "$work"
done
