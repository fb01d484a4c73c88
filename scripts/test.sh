#!/bin/sh
# Builds the three trees and runs every test: the native unit tests (fake backend,
# engine cores; sanitizers on), the static-link check of every Windows executable,
# and the Wine end-to-end tests of both Windows trees under Xvfb: the 64-bit tree in a
# 64-bit prefix, the 32-bit tree in a 32-bit prefix of its own.
cd "$(dirname "$0")/.."
./scripts/build.sh native win64 win32 || exit 1
status=0

echo "== source format"
./scripts/check-format.sh || status=1

echo "== native tests"
(cd build/native && ctest --output-on-failure -j 2) || status=1

echo "== static Windows executables"
./scripts/check-static.sh build/win64 build/win32 || status=1

for tree in win64 win32; do
  echo "== Wine end-to-end tests ($tree)"
  (cd build/$tree && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure) || status=1
done

if [ $status -eq 0 ]; then echo "ALL TESTS PASSED"; else echo "SOME TESTS FAILED"; fi
exit $status
