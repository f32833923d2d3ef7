#!/usr/bin/env bash
# Builds Qt's base module (Core, Gui, Widgets, Test; the windows and offscreen platform plugins;
# the JPEG image plugin) for x86_64-w64-mingw32 from Debian's own qt6-base source, the same
# version as the host's qt6-base-dev, whose moc/rcc/uic it uses. Prints the kit's folder.
#
# The kit lands in $TALLIVO_CACHE (default /var/cache/tallivo) under a name keyed by the Qt
# version and this script's hash, and is reused when present. The build folder beside it is
# kept until the install is done, so an interrupted build resumes where it stopped; the source
# is kept apart, keyed by the Qt version alone, so a change to this script does not fetch again.
#
# Only what ships is compiled: the modules above and what they link (OpenGL, which the windows
# plugin needs), no Direct2D platform (a second copy of the windows plugin; only Direct2D 1.1 is
# turned off for it, since without Direct2D itself Gui leaves out the DirectWrite font database
# that the windows plugin links). Precompiled headers are Qt's default; Qt 6.4 has no unity build.
#
#   bash packaging/windows/build-qt.sh          (root, or sudo, the first time)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cache=${TALLIVO_CACHE:-/var/cache/tallivo}
triple=x86_64-w64-mingw32

say() { printf '== %s\n' "$*" >&2; }
fail() { printf 'build-qt: FAILED: %s\n' "$*" >&2; exit 1; }

bash "$repo/.ci/install-missing.sh" --no-install-recommends cmake ninja-build g++-mingw-w64-x86-64-posix \
  qt6-base-dev qt6-base-dev-tools dpkg-dev

version=$(dpkg-query -W -f='${Version}' qt6-base-dev)     # e.g. 6.4.2+dfsg-10
upstream=${version%%+*}
upstream=${upstream%%-*}
key=$(sha256sum "$0" | cut -c1-12)
prefix="$cache/qt6-mingw-$upstream-$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work="$cache/qt6-mingw-build-$upstream-$key"
fetched="$cache/qt6-base-source-$version"
mkdir -p "$work"
started=$(date +%s)

# The source, through a deb-src entry of our own: the machine's package sources stay as they are.
if [ ! -f "$fetched/source.done" ]; then
  say "fetching qt6-base $version source"
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
  apt-get "${apt_options[@]}" update -qq
  (cd "$fetched/source" && apt-get "${apt_options[@]}" source -qq "qt6-base=$version" >/dev/null)
  touch "$fetched/source.done"
fi
src=$(find "$fetched/source" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)
[ -n "$src" ] || fail "no unpacked source in $fetched/source"

# The posix flavour: GCC 12's win32 flavour has no std::mutex.
cat >"$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

if [ ! -f "$work/configure.done" ]; then
  say "configure in $work/build"
  rm -rf "$work/build"
  # Tablet events need the Wintab header, which Debian's source leaves out. OpenGL stays on (dynamic,
  # loaded at run time): the windows platform plugin of this Qt does not build without it.
  cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_icu=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_direct2d1_1=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF \
    -DFEATURE_jpeg=ON -DFEATURE_gif=OFF -DFEATURE_ico=ON \
    >"$work/configure.log" 2>&1 || { tail -60 "$work/configure.log" >&2; fail "configure (log: $work/configure.log)"; }
  touch "$work/configure.done"
fi

say "build (resumes where an earlier build stopped)"
cmake --build "$work/build" --parallel "$(nproc 2>/dev/null || echo 2)" >"$work/build.log" 2>&1 ||
  { tail -60 "$work/build.log" >&2; fail "build (log: $work/build.log)"; }

say "install into $prefix"
rm -rf "$prefix"
cmake --install "$work/build" >"$work/install.log" 2>&1 || { tail -40 "$work/install.log" >&2; fail "install"; }
for needed in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Test.dll \
  plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll plugins/imageformats/qjpeg.dll \
  lib/cmake/Qt6/qt.toolchain.cmake; do
  [ -f "$prefix/$needed" ] || fail "the kit lacks $needed"
done
# Shipped with the programs: Qt's licence texts and Debian's record of the source's authors
# and bundled libraries.
mkdir -p "$prefix/share/licenses/qt6-base"
cp "$src"/LICENSES/*.txt "$src/debian/copyright" "$prefix/share/licenses/qt6-base/"
touch "$prefix/.complete"
rm -rf "$work"
say "Qt for Windows built in $(($(date +%s) - started)) s"
echo "$prefix"
