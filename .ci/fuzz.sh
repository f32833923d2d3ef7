#!/usr/bin/env bash
# Builds the libFuzzer targets with AddressSanitizer + UndefinedBehaviorSanitizer and runs each for a
# bounded time. FUZZ_SECONDS sets the time per target (default 30); FUZZ_TARGETS picks some
# of them (for example FUZZ_TARGETS="config_reader work_file_reader").
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
bash .ci/install-missing.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLIVO_FUZZ=ON -DTALLIVO_SANITIZE=ON \
  -DTALLIVO_GUI=OFF -DTALLIVO_TESTS=OFF -DTALLIVO_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzz_config_reader fuzz_leading_number fuzz_record_layout fuzz_work_file_reader fuzz_wizard_load
for target in ${FUZZ_TARGETS:-config_reader leading_number record_layout work_file_reader wizard_load}; do
  work=$(mktemp -d)
  cp fuzz/corpus/$target/* "$work"/
  echo "== fuzz_$target for ${seconds}s"
  status=0
  ./build-fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/$target-" "$work" \
    >"$work.log" 2>&1 || status=$?
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' "$work.log" || true
  [ "$status" -ne 0 ] && tail -n 40 "$work.log"
  rm -f "$work.log"
  rm -rf "$work"
  if [ "$status" -ne 0 ]; then echo "fuzz_$target failed; the input is kept as build-fuzz/$target-*"; exit 1; fi
done
