#!/usr/bin/env bash
# The Windows programs: cross-builds polling.exe, wizard.exe, terminal_sim.exe and every test
# suite with mingw-w64 against Qt for Windows (packaging/windows/build-qt.sh, built once and
# cached) and libxlsxwriter (packaging/windows/build-xlsxwriter.sh, likewise), then under wine,
# each job in a throw-away prefix of its own (copied from one made once) and, where it needs
# one, an Xvfb display of its own, WINDOWS_JOBS (default 4) at a time: most of their time is
# the programs' own waits and wine's start-up, not the processor.
#   - every suite on the offscreen platform, the long ones split into gtest shards;
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
#   bash .ci/windows-check.sh --install-only       (the packages and the locale it needs, no more)
#   SCREENSHOTS=folder bash .ci/windows-check.sh   (also keeps PNGs of both windows)
#   WINDOWS_ONLY="polling-e2e common_tests" bash .ci/windows-check.sh   (only the jobs whose
#                                                  names start with one of these words)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build=${BUILD:-build-windows}
started=$(date +%s)

say() { printf '== %s\n' "$*"; }
fail() { printf 'windows-check: FAILED: %s\n' "$*" >&2; exit 1; }

# Everything installed here, at once: run beside the package check, a later apt would be
# taken for what the package pulled in.
bash .ci/install-missing.sh --no-install-recommends cmake make g++-mingw-w64-x86-64-posix wine wine64 \
  pkg-config libxlsxwriter-dev zlib1g-dev qt6-base-dev \
  googletest python3 xvfb xauth xdotool x11-apps imagemagick nsis zip gcc-mingw-w64-x86-64-posix \
  binutils-mingw-w64-x86-64 libz-mingw-w64-dev libz-mingw-w64 dpkg-dev

# A Cyrillic Windows for the end-to-end table: wine takes its ANSI code page from the locale.
bash .ci/install-missing.sh locales
if ! locale -a | grep -qix 'ru_RU\.utf-\?8'; then
  grep -qx 'ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen ru_RU.UTF-8 >/dev/null
fi
[ "${1:-}" != --install-only ] || exit 0

say "Qt for Windows"
# The same lock as .ci/run's build of the kit beside the Linux steps: this waits for it.
kit=$(exec 9>/tmp/tallivo-qt-kit.lock && flock 9 && bash packaging/windows/build-qt.sh | tail -n 1)
[ -f "$kit/.complete" ] || fail "no Qt kit"
say "kit: $kit"
say "libxlsxwriter for Windows"
xlsxwriter=$(bash packaging/windows/build-xlsxwriter.sh | tail -n 1)
[ -f "$xlsxwriter/.complete" ] || fail "no libxlsxwriter"
say "libxlsxwriter: $xlsxwriter"
# shellcheck source=packaging/windows/configure.sh
source packaging/windows/configure.sh

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/tallivo-wine.XXXXXX)
work=$(mktemp -d /tmp/tallivo-windows-check.XXXXXX)
cleanup() {
  local rc=$? prefix
  set +e
  for prefix in "$WINEPREFIX" "$work"/prefix-*; do
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    [ -z "${wine_user:-}" ] || WINEPREFIX=$prefix runuser -u "$wine_user" -- env WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
  done
  # Jobs still running (after a failure or Ctrl-C) and their Xvfb servers.
  jobs -p | xargs -r kill 2>/dev/null
  cat "$work"/*.xvfb 2>/dev/null | xargs -r kill 2>/dev/null
  rm -rf "$WINEPREFIX" "$work"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The Linux workbook_tool: the workbook row compares polling.exe's workbook with its bytes.
# make test has built it before CI gets here; a check run on its own builds just that.
linux_tool="$repo/build/tools/workbook_tool"
if [ ! -x "$linux_tool" ]; then
  say "the Linux workbook_tool"
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null && cmake --build build --target workbook_tool -j 2 >/dev/null ||
    fail "the Linux workbook_tool"
fi
say "configure and build in $build"
log="$work/build.log"
ConfigureWindowsBuild "$kit" "$xlsxwriter" "$build" -DTALLIVO_TESTS=ON \
  -DTALLIVO_GTEST_FROM_SOURCE=/usr/src/googletest -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >"$log" 2>&1 || { tail -60 "$log"; fail "configure"; }
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" >"$log" 2>&1 || { grep -B2 -A12 'error' "$log" | head -80; fail "build"; }
warnings=$(grep -c 'warning:' "$log" || true)
if [ "$warnings" -gt 0 ]; then
  grep -A3 'warning:' "$log" | head -60
  fail "$warnings compiler warnings in the Windows build"
fi
for exe in polling/polling.exe wizard/wizard.exe tools/terminal_sim.exe tools/hold_file.exe; do
  [ -f "$build/$exe" ] || fail "missing $build/$exe"
done

ExportWineRunPaths "$kit" "$xlsxwriter"
unset DISPLAY WAYLAND_DISPLAY
say "wine: $(wine --version)"
wineboot --init >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true

# The setup is built now, while nothing else wants the processor; its check runs with the rest.
say "build the setup"
setup=$(BUILD="$build" bash packaging/windows/make-installer.sh | tail -n 1) || fail "building the setup"

# An Xvfb server of the given size on a free display of its own (Xvfb picks the number and
# reports it once it listens); prints the number. Ends with the job that started it.
StartDisplay() {
  local number_file
  number_file=$(mktemp "$work/display.XXXXXX")
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  echo $! >>"$work/$job_name.xvfb"
  for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
  [ -s "$number_file" ] || return 1
  tr -d '\n' <"$number_file"
}

# Each job: a copy of the prefix, its own log, its exit status in NAME.rc.
declare -a job_names=()
RunJob() {
  local name=$1 wanted
  shift
  if [ -n "${WINDOWS_ONLY:-}" ]; then
    for wanted in $WINDOWS_ONLY "-"; do [[ $wanted == - || $name == "$wanted"* ]] && break; done
    [ "$wanted" != - ] || return 0
  fi
  while [ "$(jobs -rp | wc -l)" -ge "${WINDOWS_JOBS:-4}" ]; do wait -n || true; done
  job_names+=("$name")
  (
    job_name=$name
    export WINEPREFIX="$work/prefix-$name"
    cp -a "$base_prefix" "$WINEPREFIX"
    # Debian's wine keeps the folder of the prefix's server in it: each copy finds its own.
    rm -f "$WINEPREFIX/wineserver"
    job_started=$(date +%s)
    rc=0
    "$@" || rc=$?
    wineserver -k >/dev/null 2>&1 || true
    [ -z "$wine_user" ] || runuser -u "$wine_user" -- env WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    if [ -f "$work/$name.xvfb" ]; then xargs -r kill <"$work/$name.xvfb" 2>/dev/null || true; fi
    echo "($(($(date +%s) - job_started)) s)"
    echo "$rc" >"$work/$name.rc"
  ) >"$work/$name.log" 2>&1 &
}

# The suites run as an ordinary user, as on a shop's PC: wine run as root writes read-only
# files and folders. WINE_USER= (empty) runs them as the caller.
wine_user=${WINE_USER-tallivo-wine}
if [ -n "$wine_user" ] && [ "$(id -u)" -eq 0 ]; then
  id -u "$wine_user" >/dev/null 2>&1 ||
    useradd --system --create-home --home-dir "/var/lib/$wine_user" --shell /usr/sbin/nologin "$wine_user"
  chmod 755 "$work"
else
  wine_user=""
fi
# Runs a command as that user in the job's prefix, which it is given first.
AsWineUser() {
  if [ -z "$wine_user" ]; then
    "$@"
    return
  fi
  chown -R "$wine_user" "$WINEPREFIX"
  runuser -u "$wine_user" -- env HOME="/var/lib/$wine_user" WINEPREFIX="$WINEPREFIX" WINEPATH="$WINEPATH" \
    QT_PLUGIN_PATH="$QT_PLUGIN_PATH" WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" "$@"
}

# One suite, or one shard of it, on the offscreen platform.
SuiteJob() {
  local exe=$1 index=$2 total=$3 rc=0 out
  out="$work/$(basename "$exe")-$index.out"
  AsWineUser env GTEST_SHARD_INDEX="$index" GTEST_TOTAL_SHARDS="$total" QT_QPA_PLATFORM=offscreen \
    timeout 1500 wine "$exe" --gtest_color=no >"$out" 2>&1 || rc=$?
  tr -d '\r' <"$out" | grep -E '^\[ +(FAILED|SKIPPED|PASSED) +\]|^\[=+\] [0-9]+ tests' || true
  tr -d '\r' <"$out" | grep -A8 'Failure$' | head -60 || true
  tr -d '\r' <"$out" | grep -A1 '^\[ *SKIPPED' | grep -v '^\[\|^--' | head -5 || true
  # A crash ends a suite without its closing line.
  if ! tr -d '\r' <"$out" | grep -q '^\[  PASSED  \]' && [ "$rc" -eq 0 ]; then rc=1; fi
  return "$rc"
}

# The real polling.exe, as the ordinary user: read-only deliveries and held files are real then.
E2eJob() {
  local display
  mkdir -p "$work/e2e"
  [ -z "$wine_user" ] || chown "$wine_user" "$work/e2e"
  # The display answers the one message box of the table: the folder that refuses writes.
  display=$(StartDisplay 1366x768x24) || return 1
  AsWineUser env DISPLAY=":$display" QT_QPA_PLATFORM=offscreen python3 tests/windows/wine_polling_e2e.py "$build/polling/polling.exe" \
    "$build/tools/terminal_sim.exe" "$work/e2e" "$build/tools/hold_file.exe" "$linux_tool"
}

WizardWindowJob() {
  local display
  display=$(StartDisplay 1366x768x24) || return 1
  DISPLAY=":$display" bash tests/windows/wine_wizard_window.sh "$build/wizard/wizard.exe" "$work/wizard" "${SCREENSHOTS:-}"
}

SetupJob() {
  local display
  display=$(StartDisplay 1366x768x24) || return 1
  DISPLAY=":$display" python3 tests/windows/wine_installer.py "$setup" "$build/tools/terminal_sim.exe" "$work/setup" \
    "${SCREENSHOTS:-}"
}

PollingWindowJob() {
  local display
  display=$(StartDisplay 1366x768x24) || return 1
  DISPLAY=":$display" bash tests/windows/wine_polling_window.sh "$build/polling/polling.exe" \
    "$build/tools/terminal_sim.exe" "$work/polling-window" "$SCREENSHOTS"
}

base_prefix=$WINEPREFIX
say "under wine, ${WINDOWS_JOBS:-4} jobs at a time"
echo "skipped: wizard_screen_reader_e2e: it drives the window through Linux's accessibility bus (AT-SPI), which has no counterpart under wine"
# The longest first, so that the short ones fill in beside them. Shards: the suites whose
# cases start programs under wine. Not more: the crash-safety cases start and kill polling.exe
# over and over, and six of them at once on two cores run out of their time.
declare -A shards=([reliability_tests.exe]=3 [polling_process_tests.exe]=2 [wizard_polling_tests.exe]=2)
suites=("$build"/tests/reliability/reliability_tests.exe)
for exe in "$build"/tests/*/*_tests.exe; do [[ $exe == */reliability_tests.exe ]] || suites+=("$exe"); done
for exe in "${suites[@]}"; do
  name=$(basename "$exe")
  total=${shards[$name]:-1}
  for ((index = 0; index < total; index++)); do RunJob "${name%.exe}-$index" SuiteJob "$exe" "$index" "$total"; done
  [[ $exe != */reliability_tests.exe ]] || RunJob setup SetupJob
done
RunJob polling-e2e E2eJob
RunJob wizard-window WizardWindowJob
RunJob wizard-screens bash tests/windows/wine_wizard_screens.sh "$build/wizard/wizard.exe" "$work/wizard-screens" "${SCREENSHOTS:-}"
if [ -n "${SCREENSHOTS:-}" ]; then RunJob polling-window PollingWindowJob; fi
wait

failed=()
for name in "${job_names[@]}"; do
  say "$name $(tail -n 1 "$work/$name.log" 2>/dev/null)"
  sed '$d' "$work/$name.log"
  rc=$(cat "$work/$name.rc" 2>/dev/null || echo "none")
  [ "$rc" = 0 ] || { echo "$name failed (exit $rc)"; failed+=("$name"); }
done
# The Windows-only cases must have run and passed somewhere among their suite's shards.
for pair in common_tests:WindowsPlacesTest polling_core_tests:WindowsBusyTest; do
  [ -z "${WINDOWS_ONLY:-}" ] || break
  if ! cat "$work/${pair%%:*}.exe-"*.out 2>/dev/null | grep -q "\[       OK \] .*${pair#*:}"; then
    echo "no passing ${pair#*:} test ran"
    failed+=("${pair%%:*}")
  fi
done
[ "${#failed[@]}" -eq 0 ] || fail "under wine: ${failed[*]}"

say "windows check passed in $(($(date +%s) - started)) s"
