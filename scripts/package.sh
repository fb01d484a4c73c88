#!/bin/sh
# Builds both Windows trees and writes the release package
#   build/package/StarBridge-<date>.zip
# holding StarBridge.exe for x86 and x64 (the files the tests ran), their SHA-256 sums,
# and the user guide with pictures of the main window taken on the sandbox PC.
set -e
cd "$(dirname "$0")/.."
top=$(pwd)
./scripts/build.sh win64 win32
cmake --build build/win64 --target screenshot_tour -j 2

date=$(date +%Y%m%d)
out=$top/build/package
stage=$out/StarBridge-$date
rm -rf "$stage" "$out/StarBridge-$date.zip"
mkdir -p "$stage/x86" "$stage/x64" "$stage/使用说明"
cp build/win32/StarBridge.exe "$stage/x86/StarBridge.exe"
cp build/win64/StarBridge.exe "$stage/x64/StarBridge.exe"

# Pictures: the sandbox PC's prefix and sample drives, a tour program clicking the modes,
# and a screenshot whenever it asks for one (it writes D:\tour\<name>.request).
sandbox=$out/sandbox
./scripts/wine-prefix.sh "$sandbox/prefix" "$sandbox/drives" --samples
cp build/win64/StarBridge.exe "$sandbox/drives/d/StarBridge.exe"
rm -rf "$sandbox/drives/d/tour"
export WINEPREFIX="$sandbox/prefix" WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
shots=$stage/使用说明
xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
  '$wine' '$top/build/win64/tests/wine/screenshot_tour.exe' &
  tour=\$!
  while kill -0 \$tour 2>/dev/null; do
    for request in '$sandbox/drives/d/tour/'*.request; do
      [ -f \"\$request\" ] || continue
      name=\$(basename \"\$request\" .request)
      import -window root \"$shots/\$name.png\"
      touch '$sandbox/drives/d/tour/'\$name.done
    done
    sleep 0.3
  done
  wait \$tour
  status=\$?
  wineserver -k
  exit \$status
"
for picture in restore backup copy; do
  [ -s "$shots/$picture.png" ] || { echo "package: no picture $picture.png" >&2; exit 1; }
done
cp docs/使用说明.md "$shots/使用说明.md"

(cd "$stage" && sha256sum x86/StarBridge.exe x64/StarBridge.exe > SHA256SUMS.txt)
python3 - "$out" "StarBridge-$date" <<'PY'
import os, sys, zipfile
out, name = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(os.path.join(out, name + ".zip"), "w", zipfile.ZIP_DEFLATED) as z:
    for folder, _, files in os.walk(os.path.join(out, name)):
        for f in sorted(files):
            path = os.path.join(folder, f)
            z.write(path, os.path.relpath(path, out))
PY
echo "Package: $out/StarBridge-$date.zip"
cat "$stage/SHA256SUMS.txt"
