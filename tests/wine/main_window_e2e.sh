#!/bin/sh
# Maps drive G: in the test prefix, runs the main-window test program, and removes G:
# when the program asks (it writes D:\sb\vanish.request), answering with vanish.done.
test_exe=$1
drives=$SB_TEST_DRIVES
rm -f "$drives/d/sb/vanish.request" "$drives/d/sb/vanish.done"
mkdir -p "$drives/g"
ln -sfn "$drives/g" "$WINEPREFIX/dosdevices/g:"
"${SB_WINE:-wine}" "$test_exe" &
pid=$!
(
  while kill -0 $pid 2>/dev/null; do
    if [ -f "$drives/d/sb/vanish.request" ]; then
      rm -f "$WINEPREFIX/dosdevices/g:"
      touch "$drives/d/sb/vanish.done"
      break
    fi
    sleep 0.2
  done
) &
wait $pid
status=$?
rm -f "$WINEPREFIX/dosdevices/g:" "$drives/d/sb/vanish.request" "$drives/d/sb/vanish.done"
exit $status
