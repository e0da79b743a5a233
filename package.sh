#!/bin/bash
# ./package.sh: builds the release archive dist/Taplore-<version>-win64.zip
# from a clean build of this checkout: Taplore.exe, the help pages (help/),
# README.md, LICENSE.txt and Sample.mou, in a folder Taplore-<version>/.
# The version comes from config/version.h. Two runs on the same commit give
# the same bytes: the exe carries no link time and the archive no dates.
# Prints the archive's path, size and SHA-256.
set -euo pipefail
cd "$(dirname "$0")"
# shellcheck source=cmake/wine-env.sh
source cmake/wine-env.sh
taplore_install_packages

version=$(sed -n 's/^#define TAPLORE_VERSION_TEXT "\([0-9.]*\)"$/\1/p' config/version.h)
[ -n "$version" ] || { echo "package.sh: no version in config/version.h" >&2; exit 1; }
name="Taplore-$version"
build="$PWD/build/package"
stage="$build/stage"

rm -rf "$build"
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" -j2 --target Taplore >"$build.log" 2>&1 || { cat "$build.log" >&2; exit 1; }

mkdir -p "$stage/help"
cp "$build/Taplore.exe" "$stage/"
cp "$build/help/en.html" "$build/help/ja.html" "$stage/help/"
cp README.md "$stage/README.md"
cp LICENSE "$stage/LICENSE.txt"
cp docs/Sample.mou "$stage/Sample.mou"

mkdir -p dist
archive="dist/$name-win64.zip"
rm -f "$archive"
python3 cmake/make_zip.py "$stage" "$name" "$archive"
echo "$archive"
echo "size: $(stat -c %s "$archive") bytes"
echo "sha256: $(sha256sum "$archive" | cut -d' ' -f1)"
