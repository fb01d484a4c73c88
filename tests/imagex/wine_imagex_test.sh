#!/bin/sh
# Runs the built Imagex.exe under Wine the way the program does: stored as
# C:\windows\Imagex.exe, started through cmd.exe with the program's own command
# lines (written to a batch file in code page 936), on the sandbox drives.
#   wine_imagex_test.sh <Imagex.exe>
set -u
exe=$1
: "${SB_TEST_DRIVES:?}" "${WINEPREFIX:?}"
wimlib=$(command -v wimlib-imagex) || { echo "wimlib-imagex missing"; exit 1; }
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

d=$SB_TEST_DRIVES/d
e=$SB_TEST_DRIVES/e
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$d/imagex-test" "$e"/*
mkdir -p "$d/imagex-test"
cp "$exe" "$WINEPREFIX/drive_c/windows/Imagex.exe"

# Two small trees: nested and empty folders, a hard link, an empty file. File
# names stay ASCII: with LC_ALL naming a locale the host has not generated,
# Wine cannot map other names onto the host folders (image names are Chinese).
for n in 1 2; do
  t=$work/src$n
  mkdir -p "$t/docs/empty dir" "$t/program/bin"
  printf 'image %s\r\n' "$n" > "$t/docs/readme.txt"
  : > "$t/docs/empty.txt"
  seq 1 20000 > "$t/program/bin/numbers.txt"
  head -c 300000 /dev/urandom > "$t/program/bin/noise.bin"
  ln "$t/docs/readme.txt" "$t/program/readme-link.txt"
done
printf 'second only\r\n' > "$work/src2/only2.txt"
"$wimlib" capture "$work/src1" "$d/imagex-test/system.wim" "First 一" "desc" --compress=lzx --check >/dev/null || fail "wimlib capture"
"$wimlib" append "$work/src2" "$d/imagex-test/system.wim" "Second 二" --check >/dev/null || fail "wimlib append"

# Runs one command line as the program would; prints the output (CRLF kept).
run_line() {
  printf '@echo off\r\n%s\r\n' "$1" | iconv -f UTF-8 -t GBK > "$d/imagex-test/run.cmd"
  "${SB_WINE:-wine}" cmd.exe /c 'D:\imagex-test\run.cmd' 2>/dev/null
}
exe_path='C:\windows\\Imagex.exe'

out=$(run_line "$exe_path /info \"D:\\imagex-test\\system.wim\"")
printf '%s' "$out" | grep -q "$(printf '^    <NAME>First 一</NAME>\r$')" || fail "/info lacks image 1 NAME: $out"
printf '%s' "$out" | grep -q "$(printf '^    <NAME>Second 二</NAME>\r$')" || fail "/info lacks image 2 NAME"
[ "$(printf '%s' "$out" | grep -c "$(printf '^    <TOTALBYTES>[0-9]*</TOTALBYTES>\r$')")" = 2 ] || fail "/info per-image TOTALBYTES"
[ "$(printf '%s' "$out" | grep -c "$(printf '^  <TOTALBYTES>[0-9]*</TOTALBYTES>\r$')")" = 1 ] || fail "/info whole-file TOTALBYTES"

out=$(run_line "$exe_path /info /check \"D:\\imagex-test\\system.wim\"")
printf '%s' "$out" | grep -q "Integrity:   verified" || fail "/info /check: $out"

mkdir -p "$e/mine"
printf 'keep me\r\n' > "$e/mine/keep.txt"
out=$(run_line "$exe_path /apply \"D:\\imagex-test\\system.wim\" 2 E:\\\\")
printf '%s' "$out" | grep -q "$(printf '^Successfully applied image.\r$')" || fail "/apply did not succeed: $out"
printf '%s' "$out" | grep -q "$(printf '^\\[ 100%% \\] Applying progress: [0-9:]* mins remaining\r$')" || fail "no final progress line"
diff -r "$work/src2" "$e" -x mine >/dev/null || fail "applied tree differs: $(diff -r "$work/src2" "$e" -x mine | head -5)"
[ -f "$e/mine/keep.txt" ] || fail "unrelated file removed"
[ "$(stat -c %i "$e/docs/readme.txt")" = "$(stat -c %i "$e/program/readme-link.txt")" ] || fail "hard link not kept"
[ "$(stat -c %Y "$e/program/bin/numbers.txt")" = "$(stat -c %Y "$work/src2/program/bin/numbers.txt")" ] || fail "time not kept"

out=$(run_line "$exe_path /apply \"D:\\imagex-test\\system.wim\" 3 E:\\\\")
printf '%s' "$out" | grep -q "Successfully" && fail "index 3 reported success"
printf '%s' "$out" | grep -q "Error 11: image 3 does not exist" || fail "index 3 message: $out"

out=$(run_line "$exe_path /apply \"D:\\imagex-test\\system.wim\" 1 \\")
printf '%s' "$out" | grep -q "Successfully" && fail "apply onto \\ reported success"
printf '%s' "$out" | grep -q "Error 17: the target" || fail "apply onto \\ message: $out"

# Capture of drive E: with the program's capture line: the engine path, the
# source root, the quoted save path and name, two blanks before the quoted
# description, the flag, the compression text and the scratch folder on the
# save drive. (Built here as the window builds it.)
mkdir -p "$d/ImagexTemp"
capture_line="$exe_path /capture E:\\ \"D:\\imagex-test\\E.wim\" \"E_BAK_20161231115959\"  \"本映像卷由岚舟软件星桥装机台生成\" /flags \"Ultimate\" /compress Maximum /temp D:\\ImagexTemp"
out=$(run_line "$capture_line")
printf '%s' "$out" | grep -q "$(printf '^\\[ *[0-9]*%% \\] Capturing progress[^\r]*\r$')" || fail "no Capturing progress lines: $out"
printf '%s' "$out" | grep -q "$(printf '^Successfully imaged E:\\\\\r$')" || fail "capture did not succeed: $out"
[ -z "$(ls -A "$d/ImagexTemp")" ] || fail "scratch folder not left empty"
ls "$d/imagex-test" | grep -q capturing && fail "working file left beside the image"
"$wimlib" verify "$d/imagex-test/E.wim" >/dev/null 2>&1 || fail "wimlib cannot verify the captured image"
rm -rf "$work/E-applied"
"$wimlib" apply "$d/imagex-test/E.wim" 1 "$work/E-applied" >/dev/null 2>&1 || fail "wimlib cannot apply the captured image"
diff -r "$e" "$work/E-applied" >/dev/null || fail "captured tree differs: $(diff -r "$e" "$work/E-applied" | head -5)"
out=$(run_line "$exe_path /info \"D:\\imagex-test\\E.wim\"")
printf '%s' "$out" | grep -q "$(printf '^    <NAME>E_BAK_20161231115959</NAME>\r$')" || fail "/info of the capture lacks NAME: $out"
printf '%s' "$out" | grep -q "$(printf '^    <DESCRIPTION>本映像卷由岚舟软件星桥装机台生成</DESCRIPTION>\r$')" || fail "/info of the capture lacks DESCRIPTION"
printf '%s' "$out" | grep -q "$(printf '^    <FLAGS>Ultimate</FLAGS>\r$')" || fail "/info of the capture lacks FLAGS"
rm -rf "$d/ImagexTemp"

rm -rf "$d/imagex-test" "$e"/*
[ "$fails" = 0 ] && echo "imagex wine test passed"
exit "$fails"
