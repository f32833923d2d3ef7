#!/usr/bin/env bash
# wizard.exe's window under wine on the screens shop PCs have, each an Xvfb screen the size of
# its usable area: 1366x728 and 1280x680 at 96 dpi, 1920x1032 at 144 dpi (Windows at 150%).
# wine draws the title bar itself (no window manager decorates it), so the X window is the
# whole window: it must lie inside the screen, centred; so must the preview's own window
# after a tick on "Preview".
#
#   wine_wizard_screens.sh WIZARD_EXE FOLDER [SCREENSHOT_FOLDER]
# The Xvfb displays are the first free ones from DISPLAY_FROM (99).
set -euo pipefail
exe=$(realpath "$1")
folder=$2
shots=${3:-}
mkdir -p "$folder"
[ -z "$shots" ] || mkdir -p "$shots"

fail() { printf 'wizard screens: FAILED: %s\n' "$*" >&2; exit 1; }
step() { printf '   %s\n' "$*"; }
shot() { [ -z "$shots" ] || timeout 20 import -window root "$shots/$1.png" || true; }
visible() { timeout 120 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
# The window's outer rectangle: x y width height.
outer() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
  /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'; }
# Inside the screen, and (with "centred") no more than 2 pixels from its middle.
check_inside() {
  local what=$1 screen_w=$2 screen_h=$3 centred=${4:-} x y w h
  read -r x y w h
  step "$what: ${w}x${h} at ${x},${y}"
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$screen_w" ] && [ $((y + h)) -le "$screen_h" ] ||
    fail "$what (${w}x${h} at ${x},${y}) is not inside the ${screen_w}x${screen_h} screen"
  [ -z "$centred" ] && return
  local off_x=$((2 * x + w - screen_w)) off_y=$((2 * y + h - screen_h))
  [ "${off_x#-}" -le 4 ] && [ "${off_y#-}" -le 4 ] || fail "$what is not centred"
}

desktop='HKCU\Control Panel\Desktop'
x11='HKCU\Software\Wine\X11 Driver'
xvfb_pid="" pid=""
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  wine reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1 || true
  wine reg delete "$x11" /v Decorated /f >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

display=${DISPLAY_FROM:-99}
for setup in "1366 728 96" "1280 680 96" "1920 1032 144"; do
  read -r width height dpi <<<"$setup"
  name="wizard-${width}x${height}-${dpi}dpi"
  echo "   -- ${width}x${height} at $dpi dpi"
  while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 "${width}x${height}x24" -nolisten tcp >"$folder/xvfb-$name.log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
  wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wine reg add "$x11" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  # A new wine session on this display, reading the resolution and the decoration setting.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true

  work="$folder/$name"
  mkdir -p "$work"
  rm -f "$work/orvwizard.cfg"
  (cd "$work" && exec env -u QT_QPA_PLATFORM wine "$exe") >"$work.log" 2>&1 &
  pid=$!
  message=$(visible '^DOWNLOAD WIZARD$')
  [ -n "$message" ] || { cat "$work.log"; fail "no missing-file message"; }
  xdotool windowfocus "$message" 2>/dev/null || true
  sleep 0.5
  xdotool key Return
  main=$(visible '^Velmora PDA Output file wizard \(V\. 3\.0\)$')
  [ -n "$main" ] || fail "no main window"
  sleep 2
  outer "$main" | check_inside "main window" "$width" "$height" centred
  shot "$name"

  # From the first control back past Exit, About, Save Parameters and Reset Default to "Preview".
  xdotool windowfocus "$main" 2>/dev/null || true
  sleep 0.5
  xdotool key --delay 200 shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space
  preview=$(visible '^Preview$')
  [ -n "$preview" ] || fail "no preview window after ticking Preview"
  sleep 2
  outer "$preview" | check_inside "preview window" "$width" "$height"
  outer "$main" | check_inside "main window with the preview shown" "$width" "$height"
  shot "$name-preview"

  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=""
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
done
