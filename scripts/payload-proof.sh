#!/bin/sh
# Boots the reboot-time payload in a virtual machine, as the module runs it after a
# restart: a disk image with an NTFS system partition (1:1) holding MvDOS.ima, grldr,
# mvldr.mbr and a job file ghost.ba_, and an NTFS partition for images (1:2). The first
# start goes through a stand-in of the Windows boot manager, which loads the whole of
# mvldr.mbr as a boot-sector application; the later ones through mvldr.mbr as the disk's
# boot code (sector 0 plus sectors 1..17). The chain runs the job and restarts. Checked afterwards on the disk image with ntfs-3g's tools and our
# engine's image check:
#   1. a backup job of 1:1 into 1:2 (started through the boot manager stand-in): the image exists and verifies, ghost.ba_ is gone;
#   2. the next start shows the menu and writes nothing;
#   3. a restore job of that image onto 1:1: the partition's files are back as they were
#      at the backup, ghost.ba_ is gone, no GHOSTERR.TXT;
#   4. a hibernated system partition: the job does not run and nothing is written;
#   5. a backup into a volume marked dirty: the job stops with GHOSTERR.TXT saying why.
# Runs on image files in a scratch folder only. Takes a few minutes (no KVM).
#   payload-proof.sh <payload folder> <Ghost engine, native build> [scratch folder]
# Needs qemu-system-x86_64, nasm, python3, sfdisk, mkntfs, ntfscp, ntfsls, ntfscat.
set -e
payload=$(cd "$1" && pwd)
engine=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
work=${3:-$(mktemp -d)}
mkdir -p "$work"
cd "$work"
fails=0
P1=2048
P1_SIZE=122880
P2=$((P1 + P1_SIZE))
P2_SIZE=204800

fail() {
  echo "FAILED: $*"
  fails=$((fails + 1))
}

# part <n>: the partition's bytes from the disk image, for ntfs-3g's tools.
part() {
  if [ "$1" = 1 ]; then
    dd if=disk.img of=p1.img bs=512 skip=$P1 count=$P1_SIZE status=none
  else
    dd if=disk.img of=p2.img bs=512 skip=$P2 count=$P2_SIZE status=none
  fi
}
# put <n>: writes a partition's bytes back into the disk image.
put() {
  if [ "$1" = 1 ]; then
    dd if=p1.img of=disk.img bs=512 seek=$P1 conv=notrunc status=none
  else
    dd if=p2.img of=disk.img bs=512 seek=$P2 conv=notrunc status=none
  fi
}

# boot <name> <text ending the wait>: runs the machine until it stops by itself (the
# job restarts it; qemu -no-reboot ends then), the text appears on the serial port, or
# 15 minutes pass.
boot() {
  rm -f serial.txt
  start=$(date +%s)
  qemu-system-x86_64 -display none -m 512 -no-reboot \
    -drive file=disk.img,format=raw -serial file:serial.txt >/dev/null 2>&1 &
  pid=$!
  i=0
  while kill -0 $pid 2>/dev/null && [ $i -lt 1800 ]; do
    if [ -n "$2" ] && grep -q "$2" serial.txt 2>/dev/null; then break; fi
    sleep 0.5
    i=$((i + 1))
  done
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  cp serial.txt "serial-$1.txt"
  echo "boot $1: $(($(date +%s) - start)) s"
}

has() { grep -q "$1" "serial-$2.txt"; }

# The disk: MBR with two NTFS partitions, mvldr.mbr as its boot code.
rm -f disk.img p1.img p2.img
truncate -s $(((P2 + P2_SIZE + 2048) * 512)) disk.img
printf 'label: dos\nstart=%s, size=%s, type=7, bootable\nstart=%s, size=%s, type=7\n' \
  $P1 $P1_SIZE $P2 $P2_SIZE | sfdisk -q disk.img
nasm -f bin -I"$here/../engines/bootice/bootcode/" -o bootmgr.bin \
  "$here/../tests/engines/payload_bootmgr.asm"
dd if=bootmgr.bin of=disk.img bs=446 count=1 conv=notrunc status=none
dd if="$payload/mvldr.mbr" of=disk.img bs=512 seek=100 conv=notrunc status=none
truncate -s $((P1_SIZE * 512)) p1.img
mkntfs -F -Q -p $P1 -H 255 -S 63 -L SYSTEM p1.img >/dev/null 2>&1
truncate -s $((P2_SIZE * 512)) p2.img
mkntfs -F -Q -p $P2 -H 255 -S 63 -L IMAGES p2.img >/dev/null 2>&1

# The system partition's own files, then the module's.
mkdir -p files
head -c 3000000 /dev/urandom >files/data.bin
seq 1 20000 >files/numbers.txt
echo "system file" >files/boot.ini
for f in files/*; do ntfscp p1.img "$f" "${f#files/}" >/dev/null; done
for f in MvDOS.ima grldr mvldr.mbr; do ntfscp p1.img "$payload/$f" "$f" >/dev/null; done
printf 'Ghost.exe  -clone,mode=pdump,src=1:1,dst="1:2:\\SYS.GHO" -z1 -sure -fx \r\nrestart' \
  >ghost.ba_
ntfscp p1.img ghost.ba_ ghost.ba_ >/dev/null
put 1
put 2

# 1. The backup job.
boot backup ""
part 1
part 2
if ntfsls p2.img | grep -qx SYS.GHO; then
  ntfscat p2.img SYS.GHO >SYS.GHO
  if out=$("$engine" -CHKIMG,SYS.GHO -sure -fx -BATCH 2>&1); then
    echo "ok: the backup image exists and verifies ($(stat -c %s SYS.GHO) bytes)"
  else
    fail "the backup image does not verify: $out"
  fi
else
  fail "no SYS.GHO on 1:2; serial port: $(tail -n 20 serial-backup.txt)"
fi
if ntfsls p1.img | grep -qx ghost.ba_; then fail "ghost.ba_ is still there"; fi
if ntfsls p1.img | grep -qx ghost.bat; then echo "ok: ghost.ba_ was renamed to ghost.bat"; else
  fail "no ghost.bat on 1:1"; fi
if ntfsls p1.img | grep -qx GHOSTERR.TXT; then fail "GHOSTERR.TXT: $(ntfscat p1.img GHOSTERR.TXT)"; fi
has "job done, restarting" backup && echo "ok: the job asked for the restart" ||
  fail "no restart after the backup"

# 2. The next start, with mvldr.mbr as the disk's boot code: the menu, nothing run.
dd if="$payload/mvldr.mbr" of=disk.img bs=446 count=1 conv=notrunc status=none
dd if="$payload/mvldr.mbr" of=disk.img bs=512 skip=1 seek=1 count=17 conv=notrunc status=none
cp p1.img p1-before.img
boot menu "MvDOS menu"
part 1
has "MvDOS menu" menu && echo "ok: the second start shows the menu" ||
  fail "no menu on the second start: $(tail -n 20 serial-menu.txt)"
has "running ghost.bat" menu && fail "the second start ran a job"
cmp -s p1.img p1-before.img && echo "ok: the second start wrote nothing" ||
  fail "the second start changed 1:1"

# 3. The restore job: 1:1 changed after the backup, then restored from the image.
echo "changed after the backup" >files/boot.ini
ntfscp p1.img files/boot.ini boot.ini >/dev/null
echo "new file" >files/after.txt
ntfscp p1.img files/after.txt after.txt >/dev/null
printf 'Ghost.exe -clone,mode=pload,src="1:2\\SYS.GHO":1,dst=1:1 -sure  -fx -afile="GHOSTERR.TXT"\r\nrestart' \
  >ghost.ba_
ntfscp p1.img ghost.ba_ ghost.ba_ >/dev/null
put 1
boot restore ""
part 1
echo "system file" >files/boot.ini
rm files/after.txt
ok=1
for f in files/*; do
  ntfscat p1.img "${f#files/}" 2>/dev/null | cmp -s - "$f" || { ok=0; fail "${f#files/} differs after the restore"; }
done
if ntfsls p1.img | grep -qx after.txt; then ok=0; fail "after.txt survived the restore"; fi
if ntfsls p1.img | grep -qx ghost.ba_; then ok=0; fail "ghost.ba_ is still there after the restore"; fi
if ntfsls p1.img | grep -qx GHOSTERR.TXT; then ok=0; fail "GHOSTERR.TXT: $(ntfscat p1.img GHOSTERR.TXT)"; fi
for f in MvDOS.ima grldr mvldr.mbr; do
  ntfscat p1.img "$f" | cmp -s - "$payload/$f" || { ok=0; fail "$f differs after the restore"; }
done
[ $ok = 1 ] && echo "ok: the restore put 1:1 back as it was at the backup"

cp p1.img p1-clean.img

# 4. A hibernated system: nothing runs, nothing is written. (ntfs-3g's tools refuse such
# a volume too, so the job goes in first.)
printf 'HIBR' >hiberfil.sys
head -c 4092 /dev/zero >>hiberfil.sys
ntfscp p1.img ghost.ba_ ghost.ba_ >/dev/null
ntfscp p1.img hiberfil.sys hiberfil.sys >/dev/null
put 1
cp p1.img p1-before.img
boot hibernated "MvDOS menu"
part 1
has "must not be written (hibernated)" hibernated && echo "ok: a hibernated system is refused" ||
  fail "no refusal of the hibernated system: $(tail -n 20 serial-hibernated.txt)"
cmp -s p1.img p1-before.img && echo "ok: nothing was written to the hibernated partition" ||
  fail "the hibernated partition was changed"

# 5. A backup into a volume marked dirty: the job stops, GHOSTERR.TXT says why.
cp p1-clean.img p1.img
printf 'Ghost.exe  -clone,mode=pdump,src=1:1,dst="1:2:\\DIRTY.GHO" -z1 -sure -fx \r\nrestart' \
  >ghost.ba_
ntfscp p1.img ghost.ba_ ghost.ba_ >/dev/null
python3 - p2.img <<'PY'
import sys
# The resident $VOLUME_INFORMATION attribute in the MFT and its mirror: flags |= dirty.
data = bytearray(open(sys.argv[1], "rb").read())
header = bytes([0x70, 0, 0, 0, 0x28, 0, 0, 0])
at = data.find(header)
while at != -1:
    data[at + 0x18 + 10] |= 1
    at = data.find(header, at + 1)
open(sys.argv[1], "wb").write(data)
PY
put 1
put 2
boot dirty "MvDOS menu"
part 1
part 2
if ntfsls -f p2.img 2>/dev/null | grep -qx DIRTY.GHO; then fail "an image was written to the dirty volume"; fi
if ntfsls p1.img | grep -qx GHOSTERR.TXT &&
  ntfscat p1.img GHOSTERR.TXT | grep -q "1:2 未正常卸载（dirty）"; then
  echo "ok: a dirty target volume stops the job and GHOSTERR.TXT says so"
else
  fail "no GHOSTERR.TXT about the dirty volume: $(tail -n 20 serial-dirty.txt)"
fi
if ntfsls p1.img | grep -qx ghost.ba_; then fail "ghost.ba_ is still there after the failed job"; fi

if [ $fails -gt 0 ]; then
  echo "$fails check(s) failed; serial logs in $work"
  exit 1
fi
echo "payload proof passed"
