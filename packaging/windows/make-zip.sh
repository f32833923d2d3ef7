#!/usr/bin/env bash
# Builds tallivo-<version>-windows-x64.zip from the files stage.sh puts together, in a folder of
# the same name. Prints the zip's path.
#
#   bash packaging/windows/make-zip.sh            (BUILD=folder to choose the build folder)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

bash "$repo/.ci/install-missing.sh" --no-install-recommends zip >&2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
version=$(bash "$here/stage.sh" "$stage/files" | tail -n 1)
name=tallivo-$version-windows-x64
mv "$stage/files" "$stage/$name"

zip_path=$repo/$name.zip
rm -f "$zip_path"
(cd "$stage" && zip -q -r -X "$zip_path" "$name")
printf '== %s files, %s\n' "$(unzip -l "$zip_path" | tail -n 1 | awk '{print $2}')" "$(du -h "$zip_path" | cut -f1)" >&2
echo "$zip_path"
