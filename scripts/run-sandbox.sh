#!/bin/sh
# Builds the 64-bit program and starts it on the sandbox PC: a throwaway Wine prefix
# in build/sandbox with code page 936, drives D: E: F: holding sample files, no Z:.
# Without a display it runs under Xvfb, saves a screenshot and prints its path.
set -e
cd "$(dirname "$0")/.."
./scripts/build.sh win64
top=$(pwd)
sandbox=$top/build/sandbox
./scripts/wine-prefix.sh "$sandbox/prefix" "$sandbox/drives" --samples
export WINEPREFIX="$sandbox/prefix" WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
# The 64-bit loader: with wine32 installed, plain `wine` is the 32-bit one.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
cp build/win64/StarBridge.exe "$sandbox/drives/d/StarBridge.exe"

if [ -n "$DISPLAY" ]; then
  "$wine" 'D:\StarBridge.exe'
  exit 0
fi

shot=$sandbox/screenshot.png
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
  '$wine' 'D:\\StarBridge.exe' &
  sleep \${SB_SANDBOX_SECONDS:-12}
  import -window root '$shot'
  wineserver -k
" || true
echo "Screenshot of the sandbox PC: $shot"
