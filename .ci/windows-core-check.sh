#!/usr/bin/env bash
# Cross-builds the standard C++ core (common/, polling/core/) and its tests for 64-bit
# Windows with mingw-w64 and runs them under wine, headless, in a throw-away wine prefix.
# The Qt programs are not built here. Exits non-zero on any failure.
#
#   bash .ci/windows-core-check.sh       (as root, or with sudo available)
#   BUILD=other-folder bash .ci/windows-core-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build-mingw}
gtest_sources=${GTEST_SOURCES:-/usr/src/googletest}
started=$(date +%s)

say() { printf '== %s\n' "$*"; }
fail() { printf 'windows-core-check: FAILED: %s\n' "$*" >&2; exit 1; }

# The posix flavour of the cross compiler, wine for 64-bit programs, GoogleTest's sources.
bash "$(dirname "$0")/install-missing.sh" --no-install-recommends cmake make g++-mingw-w64-x86-64-posix wine wine64 googletest
[ -f "$gtest_sources/CMakeLists.txt" ] || fail "no GoogleTest sources in $gtest_sources"

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/tallivo-wine.XXXXXX)
cleanup() {
  local rc=$?
  set +e
  # Only this prefix's wine server; others on the machine are left alone.
  wineserver -k >/dev/null 2>&1
  rm -rf "$WINEPREFIX"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Quiet, headless, and no offers to install Mono or Gecko into the fresh prefix.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

say "configure for x86_64-w64-mingw32 in $build"
log=$(mktemp /tmp/tallivo-mingw-build.XXXXXX)
# -O2 as in Debian's own builds: GCC 12 at -O3 warns falsely (-Wrestrict) inside std::string.
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$(pwd)/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DTALLIVO_GUI=OFF -DTALLIVO_BENCH=OFF -DTALLIVO_TESTS=ON -DTALLIVO_GTEST_FROM_SOURCE="$gtest_sources" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >"$log" 2>&1 ||
  { cat "$log"; rm -f "$log"; fail "configure"; }

say "build common_tests polling_core_tests"
if ! cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target common_tests polling_core_tests >"$log" 2>&1; then
  tail -60 "$log"
  rm -f "$log"
  fail "build"
fi
warnings=$(grep -c 'warning:' "$log" || true)
if [ "$warnings" -gt 0 ]; then
  grep -A3 'warning:' "$log" | head -60
  rm -f "$log"
  fail "$warnings compiler warnings in the Windows build"
fi
rm -f "$log"

say "wine: $(wine --version)"
# The prefix is made on the first start; do it here so that its messages stay out of the tests'.
wineboot --init >/dev/null 2>&1 || true

failed=0
for exe in "$build/tests/common/common_tests.exe" "$build/tests/polling_core/polling_core_tests.exe"; do
  [ -f "$exe" ] || fail "missing $exe"
  say "$(basename "$exe")"
  out=$(mktemp /tmp/tallivo-wine-run.XXXXXX)
  rc=0
  timeout 300 wine "$exe" --gtest_color=no >"$out" 2>&1 || rc=$?
  tr -d '\r' <"$out" | grep -E '^\[ +(FAILED|SKIPPED|PASSED) +\]|^\[=+\] [0-9]+ tests|Failure$' || true
  tr -d '\r' <"$out" | grep -A6 'Failure$' | head -80 || true
  # The Windows-only suites must really have run, not been compiled away.
  case "$(basename "$exe")" in
    common_tests.exe) suite=WindowsPlacesTest ;;
    *) suite=WindowsBusyTest ;;
  esac
  grep -q "\[       OK \] .*$suite" "$out" || { echo "no passing $suite test ran"; rc=1; }
  rm -f "$out"
  [ "$rc" -eq 0 ] || { echo "$(basename "$exe") failed (exit $rc)"; failed=1; }
done
[ "$failed" -eq 0 ] || fail "tests under wine"

say "windows core check passed in $(($(date +%s) - started)) s"
