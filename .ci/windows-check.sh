#!/usr/bin/env bash
# The Windows programs: cross-builds polling.exe, wizard.exe, terminal_sim.exe and every test
# suite with mingw-w64 against Qt for Windows (packaging/windows/build-qt.sh, built once and
# cached), then under wine, in a throw-away prefix:
#   - every suite on the offscreen platform;
#   - polling.exe end to end, fed by terminal_sim.exe, three layouts, two folder forms;
#   - wizard.exe's real window on the windows platform under Xvfb: the missing-file message
#     answered, "Save Parameters" pressed from the keyboard, the file checked byte for byte;
#   - the same window on 1366x728, 1280x680 and 1920x1032 at 150%: inside the screen, title bar
#     and all, and its preview's own window too;
#   - the per-user setup: installed silently, its shortcuts, key and programs checked, installed
#     again over itself, uninstalled; then its pages from the keyboard.
# Exits non-zero on any failure.
#
#   bash .ci/windows-check.sh                      (root or sudo the first time)
#   SCREENSHOTS=folder bash .ci/windows-check.sh   (also keeps PNGs of both windows)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build=${BUILD:-build-windows}
started=$(date +%s)

say() { printf '== %s\n' "$*"; }
fail() { printf 'windows-check: FAILED: %s\n' "$*" >&2; exit 1; }

bash .ci/install-missing.sh --no-install-recommends cmake make g++-mingw-w64-x86-64-posix wine wine64 \
  googletest python3 xvfb xauth xdotool x11-apps imagemagick

say "Qt for Windows"
kit=$(bash packaging/windows/build-qt.sh | tail -n 1)
[ -f "$kit/.complete" ] || fail "no Qt kit"
say "kit: $kit"
# shellcheck source=packaging/windows/configure.sh
source packaging/windows/configure.sh

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/tallivo-wine.XXXXXX)
work=$(mktemp -d /tmp/tallivo-windows-check.XXXXXX)
xvfb_pid=""
cleanup() {
  local rc=$?
  set +e
  wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$WINEPREFIX" "$work"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say "configure and build in $build"
log="$work/build.log"
ConfigureWindowsBuild "$kit" "$build" -DTALLIVO_TESTS=ON -DTALLIVO_GTEST_FROM_SOURCE=/usr/src/googletest \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >"$log" 2>&1 || { tail -60 "$log"; fail "configure"; }
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >"$log" 2>&1 || { grep -B2 -A12 'error' "$log" | head -80; fail "build"; }
warnings=$(grep -c 'warning:' "$log" || true)
if [ "$warnings" -gt 0 ]; then
  grep -A3 'warning:' "$log" | head -60
  fail "$warnings compiler warnings in the Windows build"
fi
for exe in polling/polling.exe wizard/wizard.exe tools/terminal_sim.exe; do
  [ -f "$build/$exe" ] || fail "missing $build/$exe"
done

# Quiet, and no offers to install Mono or Gecko into the fresh prefix. The Qt and MinGW
# runtime DLLs are found through WINEPATH, the plugins through QT_PLUGIN_PATH.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPATH=$(WindowsPath "$kit/bin")
while read -r folder; do WINEPATH+=";$(WindowsPath "$folder")"; done < <(MingwRuntimeFolders)
QT_PLUGIN_PATH=$(WindowsPath "$kit/plugins")
export WINEPATH QT_PLUGIN_PATH
unset DISPLAY WAYLAND_DISPLAY
say "wine: $(wine --version)"
wineboot --init >/dev/null 2>&1 || true

say "test suites under wine (offscreen)"
echo "skipped: wizard_screen_reader_e2e: it drives the window through Linux's accessibility bus (AT-SPI), which has no counterpart under wine"
failed=0
for exe in "$build"/tests/*/*_tests.exe; do
  name=$(basename "$exe")
  out="$work/$name.log"
  rc=0
  QT_QPA_PLATFORM=offscreen timeout 1500 wine "$exe" --gtest_color=no >"$out" 2>&1 || rc=$?
  tr -d '\r' <"$out" | grep -E '^\[ +(FAILED|SKIPPED|PASSED) +\]|^\[=+\] [0-9]+ tests' || true
  tr -d '\r' <"$out" | grep -A8 'Failure$' | head -60 || true
  tr -d '\r' <"$out" | grep -A1 '^\[ *SKIPPED' | grep -v '^\[\|^--' | head -5 || true
  case "$name" in
    common_tests.exe) suite=WindowsPlacesTest ;;
    polling_core_tests.exe) suite=WindowsBusyTest ;;
    *) suite="" ;;
  esac
  if [ -n "$suite" ] && ! grep -q "\[       OK \] .*$suite" "$out"; then echo "no passing $suite test ran"; rc=1; fi
  # A crash ends a suite without its closing line.
  if ! tr -d '\r' <"$out" | grep -q '^\[  PASSED  \]' && [ "$rc" -eq 0 ]; then rc=1; fi
  [ "$rc" -eq 0 ] || { echo "$name failed (exit $rc)"; failed=1; }
done
[ "$failed" -eq 0 ] || fail "test suites under wine"

say "polling.exe end to end under wine"
QT_QPA_PLATFORM=offscreen python3 tests/windows/wine_polling_e2e.py "$build/polling/polling.exe" \
  "$build/tools/terminal_sim.exe" "$work" || fail "polling.exe end to end"

say "wizard.exe on the windows platform under Xvfb"
display=99
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1366x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
# A wine session keeps the display driver its desktop process started with, and the suites
# started this one without a display: end it, so the window opens in a new one on Xvfb.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
bash tests/windows/wine_wizard_window.sh "$build/wizard/wizard.exe" "$work/wizard" "${SCREENSHOTS:-}" ||
  fail "wizard.exe window"

say "wizard.exe on small and 150% screens"
bash tests/windows/wine_wizard_screens.sh "$build/wizard/wizard.exe" "$work/wizard-screens" "${SCREENSHOTS:-}" ||
  fail "wizard.exe on small and 150% screens"
if [ -n "${SCREENSHOTS:-}" ]; then
  bash tests/windows/wine_polling_window.sh "$build/polling/polling.exe" "$build/tools/terminal_sim.exe" \
    "$work/polling-window" "$SCREENSHOTS" || fail "polling.exe window"
fi

# The setup, built from this build's programs, in a fresh prefix of its own (tests/windows/wine_installer.py).
say "the setup under wine"
setup_started=$(date +%s)
setup=$(BUILD="$build" bash packaging/windows/make-installer.sh | tail -n 1) || fail "building the setup"
python3 tests/windows/wine_installer.py "$setup" "$build/tools/terminal_sim.exe" "$work/setup" "${SCREENSHOTS:-}" ||
  fail "the setup under wine"
say "setup built and checked in $(($(date +%s) - setup_started)) s"

say "windows check passed in $(($(date +%s) - started)) s"
