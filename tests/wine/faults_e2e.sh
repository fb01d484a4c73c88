#!/bin/sh
# Runs the fault suite's test program with drive G: on a small tmpfs (8 MB), so that
# a job can find its target full without a real disk filling up. Mounting needs root;
# without it G: is left out and the program skips that case, saying so.
test_exe=$1
small=$SB_TEST_DRIVES/g-small
mounted=
cleanup() {
  rm -f "$WINEPREFIX/dosdevices/g:"
  if [ -n "$mounted" ]; then umount "$small" 2>/dev/null || umount -l "$small"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM
rm -f "$WINEPREFIX/dosdevices/g:"
mkdir -p "$small"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=8m,mode=0777 sb-faults "$small" 2>/dev/null; then
  mounted=1
  ln -s "$small" "$WINEPREFIX/dosdevices/g:"
else
  echo "faults_e2e: NO SMALL DRIVE (a tmpfs needs root): the target-full case is skipped" >&2
fi
"${SB_WINE:-wine}" "$test_exe"
