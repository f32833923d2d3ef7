#!/usr/bin/env bash
# The whole test suite again on an AddressSanitizer + UndefinedBehaviorSanitizer build (with
# float-cast-overflow, which GCC leaves out of "undefined"; see TALLIVO_SANITIZE).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTALLIVO_SANITIZE=ON -DTALLIVO_BENCH=OFF >/dev/null
cmake --build build-asan -j "$(nproc)"
# Qt's own one-time allocations are reported as leaks at exit, so the suite as a whole runs
# without leak detection...
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
# ...and the two test programs without Qt run again with it, where every leak is ours.
for tests in build-asan/tests/common/common_tests build-asan/tests/polling_core/polling_core_tests; do
  echo "== $tests with leak detection"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 "$tests" --gtest_brief=1
done
