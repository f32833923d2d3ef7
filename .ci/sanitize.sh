#!/usr/bin/env bash
# The whole test suite again on an AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTALLIVO_SANITIZE=ON -DTALLIVO_BENCH=OFF >/dev/null
cmake --build build-asan -j "$(nproc)"
# Qt's own one-time allocations are reported as leaks at exit; leaks in our code show under valgrind runs instead.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
