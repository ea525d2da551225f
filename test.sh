#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite, then once
# more under AddressSanitizer and UndefinedBehaviorSanitizer, the device layer under
# ThreadSanitizer, and each parser of outside data under libFuzzer for a short while.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh test

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

cmake -S . -B build -G Ninja -DKR90X_TESTS=ON -DKR90X_BENCH=ON >/dev/null
cmake --build build
# Counts what a ctest run passed, for the closing line.
passed=0
run_ctest() {
    local log
    log=$(mktemp)
    (cd "$1" && ctest --output-on-failure -j "$jobs") | tee "$log"
    passed=$((passed + $(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)))
    rm -f "$log"
}
run_ctest build

cmake -S . -B build-asan -G Ninja -DKR90X_ASAN=ON -DKR90X_TESTS=ON -DKR90X_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
run_ctest build-asan

# The HID reader and its hand-off to the main thread under ThreadSanitizer (Qt itself is
# not instrumented, so only the device layer's own tests run here).
cmake -S . -B build-tsan -G Ninja -DKR90X_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build build-tsan --target link_tests
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/link_tests

# The parsers of outside data, fuzzed for a short while from their seeds.
if command -v clang++ >/dev/null; then
    tests/fuzz/run.sh 15
fi

echo
echo "test.sh: $passed passed, 0 failed"
