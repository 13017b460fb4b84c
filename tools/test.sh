#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest; then runs the suite once
# more under AddressSanitizer and UndefinedBehaviorSanitizer (the slow interop and limits labels excepted).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh test
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

if [ "${BRANTOVEL_SKIP_SANITIZERS:-0}" != 1 ]; then
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DBRANTOVEL_SANITIZE=ON
    cmake --build build-asan -j"$jobs"
    (cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j"$jobs" -LE "interop|limits")
fi
