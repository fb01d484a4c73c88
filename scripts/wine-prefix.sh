#!/bin/sh
# Makes a throwaway Wine prefix: ANSI code page 936, drives D: E: F: mapped to
# folders, and no drive mapped to this machine's root (Wine maps Z: to / by default).
#   wine-prefix.sh <prefix dir> <drives dir> [--samples]
# With --samples the drive folders get a few sample files (the sandbox PC).
# WINEARCH=win32 makes a 32-bit prefix (the win32 tree's tests), otherwise it is 64-bit.
set -e
prefix=$1
drives=$2
samples=$3
[ -n "$prefix" ] && [ -n "$drives" ] || { echo "usage: $0 <prefix> <drives> [--samples]" >&2; exit 2; }
export WINEPREFIX="$prefix" WINEDEBUG=-all LC_ALL=zh_CN.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
arch=${WINEARCH:-win64}
export WINEARCH=$arch
# Each kind of prefix is made by its own loader: with wine32 installed, plain `wine` is
# the 32-bit one.
if [ "$arch" = win32 ]; then loader=/usr/lib/wine/wine; else loader=/usr/lib/wine/wine64; fi
[ -x "$loader" ] || loader=wine

# A prefix left by an earlier run of another kind is made anew.
if [ -f "$prefix/system.reg" ] && ! grep -q "^#arch=$arch\$" "$prefix/system.reg"; then
  rm -rf "$prefix"
fi
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  "$loader" wineboot -i >/dev/null 2>&1 || true
  # The mount manager reads dosdevices/ when the prefix's server starts: let this one
  # end before the drive links change.
  wineserver -w || true
fi

# Drives: a letter is a symlink in dosdevices/.
rm -f "$prefix/dosdevices/z:"
for d in d e f; do
  mkdir -p "$drives/$d"
  rm -f "$prefix/dosdevices/$d:"
  ln -s "$drives/$d" "$prefix/dosdevices/$d:"
done

if [ "$samples" = "--samples" ]; then
  mkdir -p "$drives/d/Documents" "$drives/d/Tools" "$drives/e/Backup" "$drives/f/MorvekOS"
  [ -f "$drives/d/Documents/readme.txt" ] || printf 'Sample document on drive D.\r\n' > "$drives/d/Documents/readme.txt"
  [ -f "$drives/d/Documents/说明.txt" ] || printf '样例文件。\r\n' > "$drives/d/Documents/说明.txt"
  [ -f "$drives/d/Tools/data.bin" ] || head -c 262144 /dev/urandom > "$drives/d/Tools/data.bin"
  [ -f "$drives/e/Backup/notes.txt" ] || printf 'Drive E holds backups.\r\n' > "$drives/e/Backup/notes.txt"
  [ -f "$drives/f/MorvekOS/readme.txt" ] || printf 'Image folder.\r\n' > "$drives/f/MorvekOS/readme.txt"
  # Images for the search, the image list and the ISO mount to find: a WIM of the
  # documents, and the same WIM as a setup ISO's sources\install.wim.
  if command -v wimlib-imagex >/dev/null && [ ! -f "$drives/e/Backup/docs.wim" ]; then
    wimlib-imagex capture "$drives/d/Documents" "$drives/e/Backup/docs.wim" "Documents" \
      "Sample documents" --compress=LZX >/dev/null
  fi
  if command -v genisoimage >/dev/null && [ -f "$drives/e/Backup/docs.wim" ] &&
     [ ! -f "$drives/f/MorvekOS/setup.iso" ]; then
    iso_tree=$(mktemp -d)
    mkdir -p "$iso_tree/sources"
    cp "$drives/e/Backup/docs.wim" "$iso_tree/sources/install.wim"
    genisoimage -quiet -J -R -V SAMPLE -o "$drives/f/MorvekOS/setup.iso" "$iso_tree"
    rm -rf "$iso_tree"
  fi
fi
exit 0
