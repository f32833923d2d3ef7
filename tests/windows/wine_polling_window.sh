#!/usr/bin/env bash
# Screenshots of polling.exe's windows under wine on the X display in DISPLAY: the splash,
# "Off Line" while the marker waits, the conversion under way and "Done...   Quit...".
#
#   wine_polling_window.sh POLLING_EXE TERMINAL_SIM_EXE FOLDER SCREENSHOT_FOLDER
set -euo pipefail
exe=$(realpath "$1")
terminal=$(realpath "$2")
folder=$3
shots=$4
mkdir -p "$folder" "$shots"

fail() { printf 'polling window: FAILED: %s\n' "$*" >&2; exit 1; }

# The worked example with the splash on and the output in the current folder.
printf '"OUTPUT.TXT"\r\n"0",""\r\n"NONE","124","124","124","124"\r\n"0",""\r\n1,"<EOT>"\r\n"Com-1","9600"\r\n"0"\r\n"1"\r\n"0"\r\n"0"\r\n"VARIABLE","NONE","VARIABLE","NONE"\r\n"N","N"\r\n"1"\r\n"0"\r\n"\\"\r\n' \
  >"$folder/orvwizard.cfg"

(cd "$folder" && exec env -u QT_QPA_PLATFORM wine "$exe") >"$folder.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

# The splash has no title bar: the screen is taken while it shows.
for _ in $(seq 300); do [ -e "$folder/~1~" ] && break; xdotool search --onlyvisible --name . >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
import -window root "$shots/polling-splash.png"
# Polled: a window wine destroys during one "search --sync" ends it with an X error.
main=""
for _ in $(seq 300); do
  main=$(xdotool search --onlyvisible --name '^TALLIVO 5.0$' 2>/dev/null | tail -n 1 || true)
  [ -z "$main" ] || break
  sleep 0.2
done
[ -n "$main" ] || { cat "$folder.log"; fail "no status window"; }
for _ in $(seq 300); do [ -e "$folder/~1~" ] && break; sleep 0.1; done
sleep 2
import -window "$main" "$shots/polling-off-line.png"

(cd "$folder" && exec wine "$terminal" --folder . --records 30000 --seed 7 --timeout-ms 60000) >/dev/null 2>&1 &
sim=$!
for _ in $(seq 600); do [ -e "$folder/OUTPUT.TXT" ] && break; sleep 0.1; done
sleep 1
import -window "$main" "$shots/polling-converting.png"
wait "$sim" || fail "terminal_sim.exe failed"
for _ in $(seq 1200); do [ -e "$folder/~~dati.txt" ] || break; sleep 0.05; done
sleep 0.3
import -window "$main" "$shots/polling-done.png" || true
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
wait "$pid" || fail "polling.exe ended with status $?"
trap - EXIT
echo "   screenshots in $shots"
