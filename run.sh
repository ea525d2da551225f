#!/usr/bin/env bash
# Installs what is missing, builds the program in build/ and starts it.
#   ./run.sh                   with a tester on USB
#   ./run.sh --virtual-tester  with a simulated tester, no hardware needed
#   ./run.sh --simulated-tester
#                              the program on its Linux device path (libudev, hidraw) with
#                              a simulated tester on a fake USB node; type "unplug",
#                              "plug" or "quit" in the terminal
set -euo pipefail
cd "$(dirname "$0")"
if [ "${1:-}" = --simulated-tester ]; then
    shift
    tools/install-deps.sh simulated
    cmake -S . -B build -G Ninja -DKR90X_TESTS=OFF -DKR90X_BENCH=OFF >/dev/null
    cmake --build build --target Orvo_KR90X kr90x_simulated_tester
    exec build/tools/kr90x_simulated_tester build/Orvo_KR90X.exe "$@"
fi
tools/install-deps.sh build
cmake -S . -B build -G Ninja -DKR90X_TESTS=OFF -DKR90X_BENCH=OFF >/dev/null
cmake --build build
exec build/Orvo_KR90X.exe "$@"
