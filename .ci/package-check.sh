#!/usr/bin/env bash
# Builds the Debian package (packaging/build-deb.sh), checks it with lintian and its AppStream
# metadata with appstreamcli, installs it, checks the desktop entries, icons, manual pages and
# the commands' --help and --version, runs the installed tallivo-polling for one real
# conversion fed by the simulated terminal, and removes the package again. The machine is
# left as it was: the package, and any package apt pulled in for it, is removed on every way
# out. Exits non-zero on any failure.
#
#   bash .ci/package-check.sh            (as root, or with sudo available)
#   BUILD=other-folder bash .ci/package-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build=${BUILD:-build-package}
records=${RECORDS:-25}
package=tallivo
started=$(date +%s)

say() { printf '== %s\n' "$*"; }
fail() { printf 'package-check: FAILED: %s\n' "$*" >&2; exit 1; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

# Build tools only; the package's own run-time dependencies come through apt below.
bash "$(dirname "$0")/install-missing.sh" cmake g++ make pkg-config qt6-base-dev libxlsxwriter-dev zlib1g-dev dpkg-dev desktop-file-utils file \
  lintian appstream man-db gzip

# lintian info tags the package may carry, each with the reason it is accepted. Errors and
# warnings are never accepted; neither is any other info tag.
declare -A accepted_info_tags=(
  [hardening-no-fortify-functions]="built with -D_FORTIFY_SOURCE=2, but no call in polling has a buffer size the compiler knows"
)

if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
  fail "package $package is already installed; remove it first (this check installs and removes it)"
fi

work=$(mktemp -d /tmp/tallivo-package-check.XXXXXX)
packages_before="$work/packages-before"
installed_packages() { dpkg-query -W -f='${Package} ${Status}\n' | awk '$4 == "installed" {print $1}' | sort; }
installed_packages >"$packages_before"
installed_by_us=0
sim_pid=""

cleanup() {
  local rc=$?
  set +e
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then kill "$sim_pid"; wait "$sim_pid" 2>/dev/null; fi
  if [ "$installed_by_us" = 1 ]; then
    say "removing $package"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 purge -y -qq "$package" >/dev/null || rc=1
    # Anything apt pulled in for the package goes too, and nothing else.
    local added
    added=$(installed_packages | comm -13 "$packages_before" -)
    if [ -n "$added" ]; then
      say "removing what came with it: $(echo $added)"
      # shellcheck disable=SC2086
      DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 purge -y -qq $added >/dev/null || rc=1
    fi
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      echo "package-check: $package is still installed" >&2
      rc=1
    fi
  fi
  rm -rf "$work"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say "build the package in $build (packaging/build-deb.sh)"
bash packaging/build-deb.sh "$build" >"$work/build.log" 2>&1 || { tail -40 "$work/build.log"; fail "package build"; }
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target terminal_sim >>"$work/build.log" 2>&1 ||
  { tail -40 "$work/build.log"; fail "build terminal_sim"; }
deb=$(ls "$build"/${package}_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no .deb in $build"
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
say "built $(basename "$deb")"

version=$(dpkg-deb -f "$deb" Version)
changelog_version=$(dpkg-parsechangelog -l packaging/changelog -S Version)
[ "$version" = "$changelog_version" ] ||
  fail "package version $version, but packaging/changelog's latest entry is $changelog_version"
for metainfo in packaging/*.metainfo.xml; do
  grep -q "<release version=\"$version\"" "$metainfo" || fail "$metainfo has no release $version"
done

say "lintian"
lintian --display-info --fail-on none "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian did not run"; }
lintian_out=$(grep -v '^running with root privileges' "$work/lintian.log" || true)
[ -z "$lintian_out" ] || echo "$lintian_out"
lintian_bad=0
while read -r severity tag; do
  case "$severity" in
    E: | W:) lintian_bad=1 ;;
    I: | X:)
      if [ -n "${accepted_info_tags[$tag]:-}" ]; then
        echo "   accepted: $tag: ${accepted_info_tags[$tag]}"
      else
        echo "   $tag has no reason in accepted_info_tags" >&2
        lintian_bad=1
      fi
      ;;
  esac
done < <(awk '$1 ~ /^[EWIX]:$/ {print $1, $3}' <<<"$lintian_out")
[ "$lintian_bad" = 0 ] || fail "lintian"

say "appstreamcli validate"
appstreamcli validate --no-net packaging/*.metainfo.xml || fail "appstreamcli validate"
# The installed tree as software centres see it: metadata, desktop entries and icons together.
unpacked="$work/unpacked"
dpkg-deb -x "$deb" "$unpacked"
appstreamcli validate-tree --no-net "$unpacked" || fail "appstreamcli validate-tree"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libc6 libstdc++6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
expect_files=(/usr/bin/tallivo-polling /usr/bin/tallivo-wizard
  /usr/share/applications/tallivo-polling.desktop /usr/share/applications/tallivo-wizard.desktop
  /usr/share/metainfo/org.example.tallivo.polling.metainfo.xml
  /usr/share/metainfo/org.example.tallivo.wizard.metainfo.xml
  /usr/share/man/man1/tallivo-polling.1.gz /usr/share/man/man1/tallivo-wizard.1.gz
  /usr/share/doc/tallivo/copyright /usr/share/doc/tallivo/changelog.gz)
for size in 16 22 24 32 48 64 128 256; do
  for name in polling wizard; do expect_files+=("/usr/share/icons/hicolor/${size}x${size}/apps/tallivo-$name.png"); done
done
for f in "${expect_files[@]}"; do
  grep -qx "$f" <<<"$contents" || fail "package lacks $f"
done
unexpected=$(grep -v -e '/$' <<<"$contents" | grep -vxF -f <(printf '%s\n' "${expect_files[@]}") || true)
[ -z "$unexpected" ] || fail "package holds files not meant for it: $unexpected"

say "apt-get install $(basename "$deb")"
installed_by_us=1
DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "$deb" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "apt-get install"; }

say "desktop-file-validate"
# It exits 0 on warnings: any error or warning it prints fails the check.
desktop_out=$(desktop-file-validate /usr/share/applications/tallivo-polling.desktop \
  /usr/share/applications/tallivo-wizard.desktop 2>&1) || { echo "$desktop_out"; fail "desktop-file-validate"; }
[ -z "$desktop_out" ] || echo "$desktop_out"
! grep -qE '(error|warning):' <<<"$desktop_out" || fail "desktop-file-validate"
for name in polling wizard; do
  exec_line=$(grep '^Exec=' "/usr/share/applications/tallivo-$name.desktop" | cut -d= -f2 | cut -d' ' -f1)
  command -v "$exec_line" >/dev/null || fail "Exec=$exec_line of tallivo-$name.desktop is not on PATH"
  icon=$(grep '^Icon=' "/usr/share/applications/tallivo-$name.desktop" | cut -d= -f2)
  for size in 16 32 48 256; do
    png=/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
    file "$png" | grep -q "PNG image data, $size x $size" || fail "$png is not a ${size}x${size} PNG"
  done
done

say "manual pages"
for name in polling wizard; do
  page=/usr/share/man/man1/tallivo-$name.1.gz
  man_warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man $page"
  [ -z "$man_warnings" ] || { echo "$man_warnings"; fail "man --warnings on $page"; }
  man -w "tallivo-$name" >/dev/null || fail "man does not find tallivo-$name"
done

say "--help and --version, without a display"
for name in polling wizard; do
  command=tallivo-$name
  answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$command" --version) ||
    fail "$command --version"
  [ "$answer" = "$command $version" ] || fail "$command --version says '$answer'"
  help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$command" --help) || fail "$command --help"
  grep -q "^Usage: $command " <<<"$help" || fail "$command --help says '$help'"
  status=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$command" --bogus 2>/dev/null || status=$?
  [ "$status" = 2 ] || fail "$command --bogus exited with $status, not 2"
done

say "one conversion with the installed tallivo-polling ($records records from the simulated terminal)"
run="$work/run"
mkdir "$run"
# The configuration the wizard writes after "Reset Default" and "Save Parameters": output
# file OUTPUT.TXT in the current folder, "|" after every field, <EOT> at the end, overwrite.
printf '%s\r\n' '"OUTPUT.TXT"' '"0",""' '"NONE","124","124","124","124"' '"0",""' '1,"<EOT>"' \
  '"Com-1","9600"' '"0"' '"1"' '"0"' '"0"' '"VARIABLE","NONE","VARIABLE","NONE"' '"N","N"' '"0"' '"0"' \
  '"\"' >"$run/orvwizard.cfg"

"$build/tools/terminal_sim" --folder "$run" --records "$records" >"$work/sim.log" 2>&1 &
sim_pid=$!
polling_rc=0
(cd "$run" && QT_QPA_PLATFORM=offscreen timeout 60 /usr/bin/tallivo-polling) >"$work/polling.log" 2>&1 || polling_rc=$?
wait "$sim_pid" || { cat "$work/sim.log"; sim_pid=""; fail "terminal_sim failed"; }
sim_pid=""
[ "$polling_rc" -eq 0 ] || { cat "$work/polling.log"; fail "tallivo-polling exited with $polling_rc"; }

output="$run/OUTPUT.TXT"
[ -s "$output" ] || { cat "$work/polling.log"; ls -la "$run"; fail "no output file"; }
python3 - "$output" "$records" <<'EOF' || fail "output file bytes"
import re, sys
data = open(sys.argv[1], "rb").read()
records = int(sys.argv[2])
assert data.endswith(b"\r\n"), "output does not end in CR LF"
lines = data[:-2].split(b"\r\n")
assert lines[-1] == b"<EOT>", f"last line is {lines[-1]!r}, not <EOT>"
body = lines[:-1]
assert len(body) == records, f"{len(body)} records written, {records} delivered"
# Full layout with "|" after barcode, quantity, date and time: barcode|quantity|date|time|
pattern = re.compile(rb"[^|;\r\n]+\|-?[0-9]+(\.[0-9]+)?\|[^|\r\n]{1,10}\|[^|\r\n]*\|")
for number, line in enumerate(body, 1):
    assert pattern.fullmatch(line), f"record {number} is not in the configured layout: {line!r}"
print(f"{len(body)} records and <EOT>; first record {body[0].decode('latin-1')}")
EOF
for leftover in "~1~" "~dati.txt" "~~dati.txt"; do
  [ ! -e "$run/$leftover" ] || fail "$leftover left in the output folder"
done

say "package check passed in $(($(date +%s) - started)) s"
