#!/usr/bin/env bash
# Puts what ships for Windows into one folder, the single list the zip and the installer both
# pack: wizard.exe and polling.exe, the Qt DLLs and plugins they load and libxlsxwriter with
# its zlib (found by following their imports, nothing more), the MinGW runtime DLLs, a short
# README.txt, the project's licence and the notices of the third-party code shipped. Builds or
# reuses the Qt kit, libxlsxwriter and the programs.
# Prints the project version.
#
#   bash packaging/windows/stage.sh FOLDER        (BUILD=folder to choose the build folder)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${BUILD:-$repo/build-windows-package}
triple=x86_64-w64-mingw32
root=${1:?usage: stage.sh FOLDER}

say() { printf '== %s\n' "$*" >&2; }
fail() { printf 'stage: FAILED: %s\n' "$*" >&2; exit 1; }

bash "$repo/.ci/install-missing.sh" --no-install-recommends cmake make g++-mingw-w64-x86-64-posix \
  binutils-mingw-w64-x86-64 libz-mingw-w64 >&2
kit=$(bash "$here/build-qt.sh" | tail -n 1)
xlsxwriter=$(bash "$here/build-xlsxwriter.sh" | tail -n 1)
# shellcheck source=packaging/windows/configure.sh
source "$here/configure.sh"

say "build polling.exe and wizard.exe in $build"
# A build folder configured before (the Windows check's, with its tests) is only brought up to
# date, and pointed at this libxlsxwriter when a change to its script built another.
if [ ! -f "$build/CMakeCache.txt" ]; then
  ConfigureWindowsBuild "$kit" "$xlsxwriter" "$build" -DTALLIVO_TESTS=OFF >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log" >&2; fail "configure"; }
  rm -f "$build.configure.log"
elif ! grep -qxF "TALLIVO_XLSXWRITER_PREFIX:PATH=$xlsxwriter" "$build/CMakeCache.txt"; then
  cmake "$build" -DTALLIVO_XLSXWRITER_PREFIX="$xlsxwriter" >&2 || fail "configure"
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target polling wizard >&2 || fail "build"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

rm -rf "$root"
mkdir -p "$root/platforms" "$root/imageformats" "$root/styles"
cp "$build/polling/polling.exe" "$build/wizard/wizard.exe" "$root/"
# The plugins are loaded at run time, so no import names them: the windows platform, JPEG for
# the pictures (without it the logo stays blank), and the native look of Windows' own controls.
cp "$kit/plugins/platforms/qwindows.dll" "$root/platforms/"
cp "$kit/plugins/imageformats/qjpeg.dll" "$root/imageformats/"
cp "$kit/plugins/styles/qwindowsvistastyle.dll" "$root/styles/"

# Every DLL imported by what is in the folder, found in the kit, libxlsxwriter's folders or the
# MinGW runtime, until nothing new comes; Windows' own DLLs are found nowhere here and stay out.
search=("$kit/bin")
while read -r folder; do search+=("$folder"); done < <(XlsxwriterFolders "$xlsxwriter"; MingwRuntimeFolders)
while :; do
  added=0
  while read -r dll; do
    [ -e "$root/$dll" ] && continue
    for folder in "${search[@]}"; do
      if [ -f "$folder/$dll" ]; then
        cp "$folder/$dll" "$root/"
        added=1
        break
      fi
    done
  done < <(find "$root" -name '*.exe' -o -name '*.dll' | xargs -n1 $triple-objdump -p |
    sed -n 's/^\s*DLL Name: //p' | sort -u)
  [ "$added" = 1 ] || break
done
for needed in Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libxlsxwriter.dll zlib1.dll libstdc++-6.dll libgcc_s_seh-1.dll \
  libwinpthread-1.dll; do
  [ -f "$root/$needed" ] || fail "$needed was not found"
done
$triple-strip --strip-unneeded "$root"/*.exe "$root"/*.dll "$root"/*/*.dll

qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
xlsxwriter_version=$(cat "$xlsxwriter/debian-source-version")
sed "s/@VERSION@/$version/g; s/@QT_VERSION@/$qt_version/g; s/@XLSXWRITER_VERSION@/$xlsxwriter_version/g" \
  "$here/README.txt" >"$root/README.txt"
cp "$repo/LICENSE" "$root/LICENSE.txt"
mkdir -p "$root/licenses/Qt"
# Qt: LGPL-3 (which builds on the GPL-3), the DLLs linked dynamically and replaceable. The
# source's licence texts, and Debian's record of its authors and of the libraries bundled in it
# (copyright.txt), were kept with the kit.
for text in "$kit"/share/licenses/qt6-base/*; do
  cp "$text" "$root/licenses/Qt/$(basename "${text%.txt}").txt"
done
# libxlsxwriter: BSD-2-Clause, with the code bundled in it (minizip: zlib's licence; md5:
# public domain; tmpfileplus: MPL-2.0, whose text is beside): its License.txt, and Debian's
# record of the same (copyright.txt). zlib: zlib's licence, in Debian's copyright file.
mkdir -p "$root/licenses/libxlsxwriter"
cp "$xlsxwriter"/share/licenses/libxlsxwriter/*.txt "$root/licenses/libxlsxwriter/"
cp "/usr/share/doc/libz-mingw-w64/copyright" "$root/licenses/zlib-copyright.txt"
# The MinGW runtime: libstdc++ and libgcc (GPL-3 with the GCC Runtime Library Exception),
# winpthreads (MIT-style); Debian's copyright files carry both texts.
cp "/usr/share/doc/gcc-mingw-w64-base/copyright" "$root/licenses/MinGW-gcc-runtime-copyright.txt"
cp "/usr/share/doc/mingw-w64-common/copyright" "$root/licenses/MinGW-w64-copyright.txt"
# Text files for Notepad: CR LF.
for text in "$root"/*.txt "$root"/licenses/*.txt "$root"/licenses/*/*.txt; do sed -i 's/\r$//; s/$/\r/' "$text"; done
echo "$version"
