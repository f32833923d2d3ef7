#!/usr/bin/env bash
# Whole runs of the cross-built polling.exe under wine, fed by terminal_sim.exe, for deliveries of
# the given sizes: the median wall time of each (the program's own waits of about 2.5 s
# included). The records' own cost is a large delivery's time less a small one's.
#
#   bash bench/wine_delivery.sh [WINDOWS_BUILD_DIR] [RECORDS ...]
#
# The Windows build is the one `bash .ci/windows-check.sh` makes (build-windows by default).
# TERMINAL_SIM names another terminal_sim.exe: an older polling.exe built alone, for a before
# and after.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
build=$(cd "${1:-build-windows}" && pwd)
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(2000 100000)
runs=${TALLIVO_WINE_RUNS:-3}
terminal=${TERMINAL_SIM:-$build/tools/terminal_sim.exe}
kit=$(bash packaging/windows/build-qt.sh | tail -n 1)
xlsxwriter=$(bash packaging/windows/build-xlsxwriter.sh | tail -n 1)
# shellcheck source=packaging/windows/configure.sh
source packaging/windows/configure.sh

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/tallivo-wine-bench.XXXXXX)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
ExportWineRunPaths "$kit" "$xlsxwriter"
export QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY
wineboot --init >/dev/null 2>&1 || true
wineserver -w
# One server for all runs: the two programs of a run start at once.
wineserver -p

folder=$WINEPREFIX/run
mkdir -p "$folder"
one_run() {
  local records=$1 started ended
  rm -f "$folder"/OUTPUT* "$folder"/~*
  # The output folder is the run's own (the sample's "\" would be the drive's root on Windows).
  # No splash: it would only add its own seconds.
  sed -e '13s|.*|"0"\r|' -e "\$s|.*|\"$(WindowsPath "$folder" | sed 's/\\/\\\\/g')\"\r|" samples/orvwizard.cfg \
    >"$folder/orvwizard.cfg"
  (cd "$folder" && wine "$terminal" --folder . --records "$records" --seed 7 \
    --timeout-ms 600000 >/dev/null 2>&1) &
  local sim=$!
  started=$(date +%s.%N)
  (cd "$folder" && wine "$build/polling/polling.exe" >"$folder.log" 2>&1) || { echo "polling.exe failed with $?" >&2; exit 1; }
  ended=$(date +%s.%N)
  wait "$sim" || { echo "terminal_sim.exe failed with $?" >&2; exit 1; }
  [ "$(wc -l <"$folder/OUTPUT.TXT")" -ge "$records" ] || { echo "records missing" >&2; exit 1; }
  echo "$ended - $started" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

for records in "${counts[@]}"; do
  times=()
  for _ in $(seq 1 "$runs"); do times+=("$(one_run "$records")"); done
  printf '%-10s %s s\n' "$records" "$(printf '%s\n' "${times[@]}" | median)"
done
