#!/usr/bin/env bash
# Installs what is missing, builds the program in build/ and starts it.
#   ./run.sh                   with a tester on USB
#   ./run.sh --virtual-tester  with a simulated tester, no hardware needed
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh build
cmake -S . -B build -G Ninja -DKR90X_TESTS=OFF -DKR90X_BENCH=OFF >/dev/null
cmake --build build
exec build/Orvo_KR90X.exe "$@"
