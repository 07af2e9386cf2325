#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that the program, a valid desktop entry and
# the icon it names land where a desktop looks for them.
set -euo pipefail
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/qzr71-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/qzr71adj"
entry="$prefix/share/applications/qzr71adj.desktop"
desktop-file-validate "$entry"
icon=$(sed -n 's/^Icon=//p' "$entry")
exec_name=$(sed -n 's/^Exec=//p' "$entry")
test -x "$prefix/bin/$exec_name"
for size in 16 32 48 64 128 256; do
  file="$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png"
  test -s "$file"
  # A PNG of the size its folder names: the width and height in the IHDR chunk.
  dims=$(od -An -tu1 -j16 -N8 "$file" | tr -s ' ')
  expected=" 0 0 $((size >> 8)) $((size & 255)) 0 0 $((size >> 8)) $((size & 255))"
  [ "$dims" = "$expected" ] || { echo "$file: not ${size}x${size} ($dims)"; exit 1; }
done
echo "installed: $prefix/bin/qzr71adj, $entry, icon $icon"
