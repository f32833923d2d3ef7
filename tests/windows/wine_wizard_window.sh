#!/usr/bin/env bash
# wizard.exe's real window under wine, on the X display in DISPLAY, driven from the keyboard as
# a user would: the missing-file message answered, "Save Parameters" pressed and its question
# answered Yes, the success message closed, "Exit" pressed. The file written to the current
# folder and to C:\orvwizard.cfg (in the wine prefix) must be the worked example byte for byte.
#
#   wine_wizard_window.sh WIZARD_EXE FOLDER [SCREENSHOT_FOLDER]
set -euo pipefail
exe=$(realpath "$1")
folder=$2
shots=${3:-}
mkdir -p "$folder"
[ -z "$shots" ] || mkdir -p "$shots"

fail() { printf 'wizard window: FAILED: %s\n' "$*" >&2; exit 1; }
step() { printf '   %s\n' "$*"; }

# A visible window with this exact title that is not one of the ids after the title (a box
# just answered may still be mapped for a moment); its id, or nothing after 120 s (a busy
# machine starts wine slowly).
window() {
  local title=$1 id
  shift
  for _ in $(seq 600); do
    for id in $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
      case " $* " in *" $id "*) ;; *) echo "$id"; return ;; esac
    done
    sleep 0.2
  done
}
# Keys to the window that has the focus, as typed (XTEST), after the window has taken it.
keys() {
  xdotool windowfocus "$1" 2>/dev/null || true
  sleep 0.5
  shift
  xdotool key --delay 200 "$@"
  sleep 2
}
shot() { [ -z "$shots" ] || timeout 20 import -window "$1" "$shots/$2.png" || true; }

main_title="Velmora PDA Output file wizard \\(V\\. 3\\.0\\)"  # a regular expression
prefix_c="$WINEPREFIX/drive_c"
rm -f "$folder/orvwizard.cfg" "$prefix_c/orvwizard.cfg" "$prefix_c/windows/orvwizard.cfg" \
  "$prefix_c/windows/system/orvwizard.cfg"

(cd "$folder" && exec env -u QT_QPA_PLATFORM wine "$exe") >"$folder.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

message=$(window "DOWNLOAD WIZARD")
[ -n "$message" ] || { cat "$folder.log"; fail "no missing-file message"; }
step "missing-file message shown"
shot "$message" wizard-missing-file
keys "$message" Return

sleep 2
main=$(window "$main_title")
[ -n "$main" ] || fail "no main window"
eval "$(xdotool getwindowgeometry --shell "$main")"
step "main window ${WIDTH}x${HEIGHT} at ${X},${Y}"
[ "$HEIGHT" -le 768 ] && [ "$WIDTH" -le 1366 ] || fail "the window (${WIDTH}x${HEIGHT}) does not fit a 1366x768 screen"
sleep 1
shot "$main" wizard

# The focus starts on the first control; the last three in reading order are "Save
# Parameters", "Reset Default" and "Exit", so three steps back reach "Save Parameters".
keys "$main" shift+Tab shift+Tab shift+Tab space
question=$(window "DOWNLOAD WIZARD" "$message")
[ -n "$question" ] || fail "no question after Save Parameters"
step "save question shown"
shot "$question" wizard-save-question
keys "$question" Return
done_box=$(window "DOWNLOAD WIZARD" "$message" "$question")
[ -n "$done_box" ] || fail "no message after saving"
shot "$done_box" wizard-saved
keys "$done_box" Return

expected=$(mktemp)
printf '"OUTPUT.TXT"\r\n"0",""\r\n"NONE","124","124","124","124"\r\n"0",""\r\n1,"<EOT>"\r\n"Com-1","9600"\r\n"0"\r\n"1"\r\n"0"\r\n"0"\r\n"VARIABLE","NONE","VARIABLE","NONE"\r\n"N","N"\r\n"0"\r\n"0"\r\n"\\"\r\n' >"$expected"
for written in "$folder/orvwizard.cfg" "$prefix_c/orvwizard.cfg"; do
  [ -f "$written" ] || fail "nothing written to $written"
  cmp "$expected" "$written" || { od -c "$written" | head -20; fail "$written is not the worked example"; }
  step "$written is the worked example, byte for byte"
done
rm -f "$expected"

# "Save Parameters" keeps the focus; "Exit" is two steps on.
keys "$main" Tab Tab space
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
if kill -0 "$pid" 2>/dev/null; then fail "Exit did not end the program"; fi
wait "$pid" || fail "wizard.exe ended with status $?"
trap - EXIT
step "Exit ended the program"
