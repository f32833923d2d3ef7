#!/usr/bin/env bash
# Builds tallivo-<version>-windows-x64-setup.exe with NSIS from the files stage.sh puts
# together: the installer copies them and its uninstaller deletes them by name, both from lists
# made here from the staged folder. Prints the installer's path.
#
#   bash packaging/windows/make-installer.sh      (BUILD=folder to choose the build folder)
set -euo pipefail
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

fail() { printf 'make-installer: FAILED: %s\n' "$*" >&2; exit 1; }

bash "$repo/.ci/install-missing.sh" --no-install-recommends nsis >&2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/files
version=$(bash "$here/stage.sh" "$stage" | tail -n 1)

# NSIS reads $ and " in names as its own syntax; nothing shipped has either.
if (cd "$stage" && find . | grep -q '[$"]'); then fail "a staged name holds \$ or \""; fi
windows() { printf '%s' "${1//\//\\}"; }
# shellcheck disable=SC2016 # $INSTDIR is NSIS's, written as it stands.
{
  while read -r folder; do
    printf 'SetOutPath "$INSTDIR%s"\n' "$(windows "${folder:+/$folder}")"
    find "$stage${folder:+/$folder}" -maxdepth 1 -type f | sort | while read -r file; do printf 'File "%s"\n' "$file"; done
  done < <(cd "$stage" && find . -type d | sed 's|^\./\?||' | sort)
} >"$work/install-files.nsh"
# shellcheck disable=SC2016
{
  (cd "$stage" && find . -type f | sort) | while read -r file; do
    printf 'Delete "$INSTDIR\\%s"\n' "$(windows "${file#./}")"
  done
  # Deepest first; a folder the user put something into stays.
  (cd "$stage" && find . -mindepth 1 -type d | sort -r) | while read -r folder; do
    printf 'RMDir "$INSTDIR\\%s"\n' "$(windows "${folder#./}")"
  done
} >"$work/uninstall-files.nsh"
{
  cat "$stage/LICENSE.txt"
  printf '\r\n\r\n'
  sed -n '/^Licences\r$/,$p' "$stage/README.txt"
} >"$work/license-page.txt"

setup=$repo/tallivo-$version-windows-x64-setup.exe
makensis -V2 -NOCD -DVERSION="$version" -DGENERATED="$work" -DREPO="$repo" \
  -DESTIMATED_KB="$(du -sk "$stage" | cut -f1)" -DOUTFILE="$setup" "$here/tallivo.nsi" >&2 || fail "makensis"
printf '== %s files, %s\n' "$(find "$stage" -type f | wc -l)" "$(du -h "$setup" | cut -f1)" >&2
echo "$setup"
