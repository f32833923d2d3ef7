#!/usr/bin/env bash
# Builds libxlsxwriter as a DLL for x86_64-w64-mingw32 from Debian's own libxlsxwriter source,
# the same version as the host's libxlsxwriter-dev, against Debian's zlib for mingw-w64
# (libz-mingw-w64-dev, whose zlib1.dll ships beside it). Prints the library's folder: bin/
# the DLL, lib/ its import library, include/ the headers, share/licenses/ what ships with it,
# debian-source-version the version of the source package.
#
# The folder lands in $TALLIVO_CACHE (default /var/cache/tallivo) under a name keyed by the
# upstream version and this script's hash, and is reused when present; the source is kept
# apart, keyed by the Debian version alone, so a change to this script does not fetch again.
#
# Debian's own build links the system minizip, which has no mingw-w64 package: the copy
# bundled in the source is compiled in instead. Numbers are written with snprintf("%.16G"):
# mingw-w64's C99 printf writes them as glibc does, where msvcrt's would not (1E+020). The
# library calls __builtin_snprintf unless told the compiler has a snprintf of its own, and GCC
# makes that a call to the plain snprintf, msvcrt's: LXW_HAS_SNPRINTF keeps mingw-w64's.
#
#   bash packaging/windows/build-xlsxwriter.sh   (root, or sudo, the first time)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cache=${TALLIVO_CACHE:-/var/cache/tallivo}
triple=x86_64-w64-mingw32

say() { printf '== %s\n' "$*" >&2; }
fail() { printf 'build-xlsxwriter: FAILED: %s\n' "$*" >&2; exit 1; }

bash "$repo/.ci/install-missing.sh" --no-install-recommends cmake make gcc-mingw-w64-x86-64-posix \
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev libz-mingw-w64 dpkg-dev >&2

# The installed libxlsxwriter-dev, or the one apt would install; a binNMU (+b1) shares its source.
version=$(dpkg-query -W -f='${db:Status-Status} ${Version}' libxlsxwriter-dev 2>/dev/null |
  sed -n 's/^installed //p')
[ -n "$version" ] || version=$(apt-cache policy libxlsxwriter-dev | sed -n 's/^ *Candidate: *//p')
case $version in "" | "(none)") fail "apt knows no libxlsxwriter-dev" ;; esac
source_version=$(printf '%s' "$version" | sed 's/+b[0-9]*$//')
upstream=${source_version#*:}
upstream=${upstream%-*}
key=$(sha256sum "$0" | cut -c1-12)
prefix="$cache/xlsxwriter-mingw-$upstream-$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

fetched="$cache/xlsxwriter-source-$source_version"
mkdir -p "$cache"
started=$(date +%s)

# The source, through a deb-src entry of our own: the machine's package sources stay as they are.
if [ ! -f "$fetched/source.done" ]; then
  say "fetching libxlsxwriter $source_version source"
  rm -rf "$fetched"
  mkdir -p "$fetched/apt/lists/partial" "$fetched/apt/parts" "$fetched/source"
  # Source entries beside each of the machine's binary ones: the same mirrors and suites.
  for list in /etc/apt/sources.list.d/*.sources; do
    if [ -f "$list" ]; then sed 's/^Types: *deb$/Types: deb-src/' "$list" >"$fetched/apt/parts/$(basename "$list")"; fi
  done
  for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    if [ -f "$list" ]; then sed -n 's/^deb /deb-src /p' "$list" >"$fetched/apt/parts/$(basename "$list")"; fi
  done
  apt_options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$fetched/apt/parts"
    -o Dir::State::Lists="$fetched/apt/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
  apt-get "${apt_options[@]}" update -qq >&2
  (cd "$fetched/source" && apt-get "${apt_options[@]}" source -qq "libxlsxwriter=$source_version" >/dev/null)
  touch "$fetched/source.done"
fi
src=$(find "$fetched/source" -mindepth 1 -maxdepth 1 -type d -name 'libxlsxwriter-*' | head -n 1)
[ -n "$src" ] || fail "no unpacked source in $fetched/source"

# A build of a minute or two: from scratch each time, in a folder of its own, moved into place
# whole once installed, so that a build beside this one or an interrupted one leaves no half kit.
work=$(mktemp -d "$cache/xlsxwriter-mingw-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
zlib=/usr/$triple
say "configure in $work/build"
cmake -S "$src" -B "$work/build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_C_FLAGS="-D__USE_MINGW_ANSI_STDIO=1 -DLXW_HAS_SNPRINTF" \
  -DBUILD_SHARED_LIBS=ON -DUSE_SYSTEM_MINIZIP=OFF -DUSE_DTOA_LIBRARY=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
  -DZLIB_INCLUDE_DIR="$zlib/include" -DZLIB_LIBRARY="$zlib/lib/libz.dll.a" \
  >"$work/configure.log" 2>&1 || { tail -60 "$work/configure.log" >&2; fail "configure"; }
say "build"
cmake --build "$work/build" --parallel "$(nproc 2>/dev/null || echo 2)" >"$work/build.log" 2>&1 ||
  { tail -60 "$work/build.log" >&2; fail "build"; }
cmake --install "$work/build" --prefix "$work/install" >"$work/install.log" 2>&1 ||
  { tail -40 "$work/install.log" >&2; fail "install"; }
for needed in bin/libxlsxwriter.dll lib/libxlsxwriter.dll.a include/xlsxwriter.h include/xlsxwriter/workbook.h; do
  [ -f "$work/install/$needed" ] || fail "the build lacks $needed"
done

imports=$($triple-objdump -p "$work/install/bin/libxlsxwriter.dll")
grep -q 'DLL Name: zlib1.dll' <<<"$imports" || fail "libxlsxwriter.dll does not import zlib1.dll"
# The C99 printf family is linked in from mingw-w64; none of it may come from msvcrt.dll but
# vfprintf, with which the runtime's start-up code in every DLL reports its own errors.
msvcrt_printf=$(awk '/DLL Name:/ { dll = $3 } dll == "msvcrt.dll" && $NF ~ /printf/ && $NF != "vfprintf" { print $NF }' \
  <<<"$imports")
[ -z "$msvcrt_printf" ] || fail "libxlsxwriter.dll takes $(echo "$msvcrt_printf" | tr '\n' ' ')from msvcrt.dll"

# Shipped with the DLL: the licence of the library and of the code bundled in it (minizip, md5,
# tmpfileplus), Debian's record of the same, and the Mozilla Public License that tmpfileplus
# names without carrying its text.
licenses="$work/install/share/licenses/libxlsxwriter"
mkdir -p "$licenses"
cp "$src/License.txt" "$licenses/License.txt"
cp "$src/debian/copyright" "$licenses/copyright.txt"
cp /usr/share/common-licenses/MPL-2.0 "$licenses/MPL-2.0.txt"
# The source package's version, for the notices' "apt-get source libxlsxwriter=...".
echo "$source_version" >"$work/install/debian-source-version"
touch "$work/install/.complete"
if [ ! -f "$prefix/.complete" ]; then
  rm -rf "$prefix"
  mv -T "$work/install" "$prefix"
fi
say "libxlsxwriter for Windows built in $(($(date +%s) - started)) s"
echo "$prefix"
