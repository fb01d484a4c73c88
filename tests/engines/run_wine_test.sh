#!/bin/sh
# Copies the small engines onto the test prefix's drive D: (the prefix has no drive for
# the build tree) and runs the Windows test program that drives them.
set -e
dest="$SB_TEST_DRIVES/d/sb-small-engines"
mkdir -p "$dest"
for f in omnifs32 ISO Bootice bcdboot bcdedit; do
  cp "$SB_ENGINE_BIN/$f.exe" "$dest/$f.exe"
done
# With the 32-bit Wine installed, plain "wine" hands a 64-bit program named by a Unix
# path to ShellExecute; the 64-bit loader runs it directly.
if [ -x /usr/lib/wine/wine64 ]; then exec /usr/lib/wine/wine64 "$1"; fi
exec wine "$1"
