#!/usr/bin/env bash
# wizard.exe under wine on Xvfb screens the size of a shop PC's usable area: 1366x728 and
# 1280x680 at 96 dpi, 1920x1032 at 144 dpi (Windows at 150%). With wine drawing the title bar
# (no window manager here) the X window is the whole window: it must open centred inside the
# screen. 1366 pixels leave room for the preview beside the form; on the others a tick on
# "Preview" opens the preview's own window, which must lie inside the screen too.
#
#   wine_wizard_screens.sh WIZARD_EXE FOLDER [SCREENSHOT_FOLDER]
set -euo pipefail
exe=$(realpath "$1")
folder=$2
shots=${3:-}
mkdir -p "$folder" "${shots:-$folder}"

fail() { printf 'wizard screens: FAILED: %s\n' "$*" >&2; exit 1; }
# Polled rather than "search --sync": a window wine destroys during one search ends that xdotool
# with an X error, which must not count as "no window". Nothing after 120 s.
find_window() {
  local id
  for _ in $(seq 600); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -z "$id" ] || { echo "$id"; return; }
    sleep 0.2
  done
}
# Inside the screen; with a fifth argument, centred within 4 pixels (frames round at 150%).
check_inside() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  printf '   %s: %sx%s at %s,%s\n' "$2" "$WIDTH" "$HEIGHT" "$X" "$Y"
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le "$3" ] && [ $((Y + HEIGHT)) -le "$4" ] ||
    fail "$2 lies outside the ${3}x${4} screen"
  local dx=$((2 * X + WIDTH - $3)) dy=$((2 * Y + HEIGHT - $4))
  [ -z "${5:-}" ] || { [ "${dx#-}" -le 8 ] && [ "${dy#-}" -le 8 ]; } || fail "$2 is not centred"
}
desktop='HKCU\Control Panel\Desktop' x11='HKCU\Software\Wine\X11 Driver' pid="" xvfb=""
cleanup() {
  kill $pid $xvfb 2>/dev/null || true
  wine reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1 || true
  wine reg delete "$x11" /v Decorated /f >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

for setup in "1366 728 96 beside" "1280 680 96 own-window" "1920 1032 144 own-window"; do
  read -r width height dpi preview_place <<<"$setup"
  name="wizard-${width}x${height}-${dpi}dpi"
  # A free display that Xvfb picks itself, so that checks running side by side never share one.
  rm -f "$folder/display"
  Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp 3>"$folder/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$folder/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(tr -d '\n' <"$folder/display")"
  wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wine reg add "$x11" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  # A new wine session on this display, with these settings.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  mkdir -p "$folder/$name"
  (cd "$folder/$name" && exec env -u QT_QPA_PLATFORM wine "$exe") >"$folder/$name.log" 2>&1 &
  pid=$!
  message=$(find_window '^DOWNLOAD WIZARD$')
  [ -n "$message" ] || { cat "$folder/$name.log"; fail "no missing-file message"; }
  xdotool windowfocus "$message" 2>/dev/null || true
  sleep 0.5
  xdotool key Return
  main=$(find_window '^Velmora PDA Output file wizard \(V\. 3\.0\)$')
  [ -n "$main" ] || fail "no main window"
  sleep 2
  check_inside "$main" "main window at $dpi dpi" "$width" "$height" centred
  import -window root "${shots:-$folder}/$name.png"
  if [ "$preview_place" = own-window ]; then
    # From the first control back past Exit, About, Save Parameters and Reset Default to "Preview".
    xdotool windowfocus "$main" 2>/dev/null || true
    sleep 0.5
    xdotool key --delay 200 shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space
    preview=$(find_window '^Preview$')
    [ -n "$preview" ] || fail "no preview window after a tick on Preview"
    sleep 2
    check_inside "$preview" "preview window" "$width" "$height"
    import -window root "${shots:-$folder}/$name-preview.png"
  fi
  kill "$pid" "$xvfb" 2>/dev/null || true
  wait "$pid" "$xvfb" 2>/dev/null || true
  pid="" xvfb=""
  wineserver -k >/dev/null 2>&1 || true
done
