#!/bin/sh
# Every Windows executable of the given trees may import only DLLs that ship with
# Windows and WinPE (no mingw runtime DLLs). An x86 executable must also load on
# Windows XP SP3: a subsystem version XP's loader accepts (5.1 at most), no DLL that XP
# lacks, and none of the functions listed in scripts/post-xp-imports.txt.
#   check-static.sh <tree> [<tree> ...]
here=$(cd "$(dirname "$0")" && pwd)
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|comctl32|comdlg32|ole32|oleaut32|msvcrt|ws2_32|bcrypt|crypt32|version|setupapi|uxtheme|winmm|imm32|rpcrt4|ntdll|uuid|shcore|dbghelp|psapi)\.dll$'
# DLLs that Windows XP does not have at all.
not_on_xp='^(bcrypt|shcore|api-ms-win-.*|ext-ms-win-.*|ucrtbase|vcruntime.*)\.dll$'
post_xp=$here/post-xp-imports.txt
status=0
count=0
failed=0

# Prints "dll function" (lower-case DLL name without .dll) for every imported function.
imports() {
  x86_64-w64-mingw32-objdump -p "$1" | awk '
    /^[ \t]*DLL Name:/ { dll = tolower($3); sub(/\.dll$/, "", dll); next }
    /^[ \t]*$/ { dll = "" ; next }
    dll != "" && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ && NF >= 3 { print dll, $3 }'
}

for tree in "$@"; do
  for exe in "$tree"/StarBridge.exe "$tree"/engines-bin/*.exe; do
    [ -f "$exe" ] || continue
    count=$((count + 1))
    bad=
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
    extra=$(echo "$dlls" | grep -Ev "$allowed")
    [ -n "$extra" ] && bad="$bad non-system DLLs: $(echo $extra);"
    if x86_64-w64-mingw32-objdump -f "$exe" | grep -q 'pei-i386'; then
      subsystem=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '
        /^MajorSubsystemVersion/ { major = $2 } /^MinorSubsystemVersion/ { minor = $2 }
        END { print major * 100 + minor }')
      [ "$subsystem" -le 501 ] || bad="$bad subsystem version above 5.1;"
      missing_dll=$(echo "$dlls" | grep -E "$not_on_xp")
      [ -n "$missing_dll" ] && bad="$bad DLLs XP lacks: $(echo $missing_dll);"
      newer=$(imports "$exe" | awk -v list="$post_xp" '
        BEGIN { while ((getline line < list) > 0) {
                  if (line ~ /^#/ || line ~ /^[ \t]*$/) continue
                  split(line, f, " "); refused[f[1] " " f[2]] = 1; anywhere[f[2]] = (f[1] == "*") } }
        (($1 " " $2) in refused) || anywhere[$2] { print $1 "!" $2 }')
      [ -n "$newer" ] && bad="$bad functions XP lacks: $(echo $newer);"
    fi
    if [ -n "$bad" ]; then
      echo "FAIL $exe:$bad"
      status=1
      failed=$((failed + 1))
    fi
  done
done
missing_program=0
[ -f "$1/StarBridge.exe" ] || { echo "FAIL no StarBridge.exe in $1"; status=1; missing_program=1; }
echo "checked $count executables"
echo "$((count - failed)) passed, $((failed + missing_program)) failed"
exit $status
