#!/bin/sh
# Copies the small engines onto the test prefix's drive D: (the prefix has no drive for
# the build tree) and runs the Windows test program that drives them.
set -e
dest="$SB_TEST_DRIVES/d/sb-small-engines"
mkdir -p "$dest"
for f in omnifs32 ISO Bootice bcdboot bcdedit; do
  cp "$SB_ENGINE_BIN/$f.exe" "$dest/$f.exe"
done
exec "${SB_WINE:-wine}" "$1"
