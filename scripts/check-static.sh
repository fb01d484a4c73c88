#!/bin/sh
# Every Windows executable of the given trees may import only DLLs that ship with
# Windows and WinPE (no mingw runtime DLLs).
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|comctl32|comdlg32|ole32|oleaut32|msvcrt|ws2_32|bcrypt|crypt32|version|setupapi|uxtheme|winmm|imm32|rpcrt4|ntdll|uuid|shcore|dbghelp|psapi)\.dll$'
status=0
count=0
for tree in "$@"; do
  for exe in "$tree"/StarBridge.exe "$tree"/engines-bin/*.exe; do
    [ -f "$exe" ] || continue
    count=$((count + 1))
    bad=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | grep -Ev "$allowed")
    if [ -n "$bad" ]; then
      echo "FAIL $exe imports: $bad"
      status=1
    fi
  done
done
[ -f "$1/StarBridge.exe" ] || { echo "FAIL no StarBridge.exe in $1"; status=1; }
echo "checked $count executables"
[ $status -eq 0 ] && echo "$count passed, 0 failed" || echo "0 passed, 1 failed"
exit $status
