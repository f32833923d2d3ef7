#!/usr/bin/env bash
# One delivery converted in a folder that a real on-access scanner watches, against the same
# delivery in a folder it does not watch: ClamAV's clamonacc holds every open in the watched
# folder until clamd has scanned the file, as Windows Defender's real-time protection does.
# Prints the median wall time of whole polling runs (start to exit, the program's own waits of
# about 2.5 s included) and the ratio watched / not watched.
#
#   bash bench/scanned_folder.sh [BUILD_DIR] [RECORDS ...]     (root: fanotify needs it)
#
# Needs Debian's clamav-daemon. No signatures can be downloaded here, and clamd will not start
# without one, so the script writes a database of one signature of its own.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(20000 100000)
runs=${TALLIVO_SCAN_RUNS:-3}
polling=$build/polling/polling
terminal=$build/tools/terminal_sim
[ -x "$polling" ] && [ -x "$terminal" ] || { echo "build polling and terminal_sim in $build first" >&2; exit 1; }
command -v clamonacc >/dev/null || bash "$repo/.ci/install-missing.sh" clamav-daemon

work=$(mktemp -d /tmp/tallivo-scan.XXXXXX)
chmod 755 "$work"
mkdir -p "$work/watched" "$work/plain" "$work/db"
printf 'TallivoBench.Signature:0:*:54616c6c69766f2d62656e63682d7369676e6174757265\n' >"$work/db/local.ndb"
chown -R clamav "$work/db"
cat >"$work/clamd.conf" <<EOF
LocalSocket $work/db/clamd.sock
DatabaseDirectory $work/db
User clamav
PidFile $work/db/clamd.pid
LogFile $work/db/clamd.log
OnAccessIncludePath $work/watched
OnAccessPrevention yes
OnAccessExcludeUname clamav
EOF
stop() {
  [ -z "${onacc:-}" ] || kill "$onacc" 2>/dev/null || true
  [ ! -f "$work/db/clamd.pid" ] || kill "$(cat "$work/db/clamd.pid")" 2>/dev/null || true
  sleep 1
  rm -rf "$work"
}
trap stop EXIT
clamd -c "$work/clamd.conf"
clamonacc -c "$work/clamd.conf" --fdpass --foreground -l "$work/onacc.log" &
onacc=$!
# Watching starts a moment after clamonacc does; a file opened before is not held.
for _ in $(seq 1 60); do
  grep -q "watching '$work/watched'" "$work/onacc.log" 2>/dev/null && break
  sleep 0.5
done
grep -q "watching '$work/watched'" "$work/onacc.log" || { cat "$work/onacc.log" >&2; echo "clamonacc is not watching" >&2; exit 1; }

# Wall seconds of one whole run of polling in `folder`, fed N generated records.
one_run() {
  local folder=$1 records=$2 started ended
  rm -f "$folder"/OUTPUT* "$folder"/~*
  sed "\$s|.*|\"$folder\"\r|" "$repo/samples/orvwizard.cfg" >"$folder/orvwizard.cfg"  # the output folder
  "$terminal" --folder "$folder" --records "$records" --seed 7 --timeout-ms 600000 &
  local sim=$!
  started=$(date +%s.%N)
  (cd "$folder" && QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/xdg" "$polling")
  ended=$(date +%s.%N)
  wait "$sim"
  [ "$(wc -l <"$folder/OUTPUT.TXT")" -ge "$records" ] || { echo "records missing in $folder" >&2; exit 1; }
  echo "$ended - $started" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

printf '%-10s %-12s %-12s %s\n' records "not watched" watched "watched / not"
for records in "${counts[@]}"; do
  plain=() watched=()
  for _ in $(seq 1 "$runs"); do
    plain+=("$(one_run "$work/plain" "$records")")
    watched+=("$(one_run "$work/watched" "$records")")
  done
  p=$(printf '%s\n' "${plain[@]}" | median)
  w=$(printf '%s\n' "${watched[@]}" | median)
  printf '%-10s %-12s %-12s %s\n' "$records" "${p} s" "${w} s" "$(echo "scale=2; $w / $p" | bc)"
done
