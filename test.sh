#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite, checks the
# Debian package (build, lint, install, purge), runs the suite once more under
# AddressSanitizer and UndefinedBehaviorSanitizer, the device layer under
# ThreadSanitizer, and each parser of outside data under libFuzzer for a short while.
# Prints at its end how long each stage took.
set -euo pipefail
cd "$(dirname "$0")"

stage_names=()
stage_ms=()
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# stage NAME COMMAND...: runs the command and keeps its wall-clock time for the table.
stage() {
    local name=$1 start
    shift
    start=$(now_ms)
    "$@"
    stage_names+=("$name")
    stage_ms+=($(($(now_ms) - start)))
}
print_stages() {
    local i total=0
    echo
    printf '%-30s %8s\n' "stage" "seconds"
    for i in "${!stage_names[@]}"; do
        printf '%-30s %4d.%d\n' "${stage_names[$i]}" $((stage_ms[i] / 1000)) $((stage_ms[i] % 1000 / 100))
        total=$((total + stage_ms[i]))
    done
    printf '%-30s %4d.%d\n' "total" $((total / 1000)) $((total % 1000 / 100))
}

stage "install packages" tools/install-deps.sh test

export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

# Counts what a ctest run passed, for the closing line.
passed=0
run_ctest() {
    local log
    log=$(mktemp)
    (cd "$1" && ctest --output-on-failure -j "$(nproc)") | tee "$log"
    passed=$((passed + $(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)))
    rm -f "$log"
}

# build_tree FOLDER TARGET CMAKE-ARGS...: configures and builds one tree (TARGET empty:
# everything).
build_tree() {
    local dir=$1 target=$2
    shift 2
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" ${target:+--target "$target"}
}

stage "build: plain" build_tree build "" -DKR90X_TESTS=ON -DKR90X_BENCH=ON
stage "tests: plain" run_ctest build

# The Debian package: its maintainer scripts against fake devices, then the package itself
# built, linted, installed, started and purged again.
stage "package: maintainer scripts" tests/packaging/maintscript_test.sh
stage "package: build, lint, install" tests/packaging/package_test.sh

# One clang tree serves the sanitized suite and the fuzzers (the libraries carry the
# fuzzers' coverage instrumentation, which the tests do not mind). A tree left by gcc
# from an older checkout is started afresh.
if [ -f build-asan/CMakeCache.txt ] && ! grep -q 'CMAKE_CXX_COMPILER:.*clang' build-asan/CMakeCache.txt; then
    rm -rf build-asan
fi
stage "build: ASan+UBSan, fuzz" build_tree build-asan "" -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DKR90X_FUZZ=ON -DKR90X_TESTS=ON -DKR90X_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
stage "tests: ASan+UBSan" run_ctest build-asan

# The HID reader and its hand-off to the main thread under ThreadSanitizer (Qt itself is
# not instrumented, so only the device layer's own tests run here).
stage "build: TSan (device layer)" build_tree build-tsan link_tests -DKR90X_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-fsanitize=thread \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
stage "tests: TSan (device layer)" env TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/link_tests

# The parsers of outside data, fuzzed for a short while from their seeds.
stage "fuzz: 15 s per target" tests/fuzz/run.sh 15 build-asan

print_stages
echo
echo "test.sh: $passed passed, 0 failed"
