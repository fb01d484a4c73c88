#!/bin/sh
# Boots our boot records in a virtual machine: a disk image with a FAT32 and an NTFS
# partition, each holding a stand-in loader (BOOTMGR or NTLDR) that writes a marker line
# to the serial port; Bootice's native build installs the master boot record and both
# volume boot records and activates one partition at a time; each boot must reach the
# marker. Runs on image files in a scratch folder only.
#   qemu-boot-proof.sh <Bootice (native build)> [scratch folder]
# Needs qemu-system-x86_64, nasm, sfdisk, mkfs.fat, mtools, mkntfs and ntfscp.
set -e
bootice=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
loader_asm="$here/../engines/bootice/bootcode/loader.asm"
work=${2:-$(mktemp -d)}
mkdir -p "$work"
cd "$work"
export SB_FAKE_DISKS="$work"
fails=0

# boot <expected marker>: runs the machine until the marker appears or 20 s pass.
boot() {
  rm -f serial.txt
  qemu-system-x86_64 -display none -m 32 -no-reboot -drive file=disk0.img,format=raw \
    -serial file:serial.txt >/dev/null 2>&1 &
  pid=$!
  i=0
  while [ $i -lt 100 ]; do
    if grep -q "STARBRIDGE-BOOT-" serial.txt 2>/dev/null; then sleep 0.2; break; fi
    sleep 0.2
    i=$((i + 1))
  done
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  if grep -q "STARBRIDGE-BOOT-OK $1" serial.txt 2>/dev/null; then
    echo "ok: $2 reached $1"
  else
    echo "FAILED: $2: serial port said: $(cat serial.txt 2>/dev/null)"
    fails=$((fails + 1))
  fi
}

# run <Bootice arguments>: fails the proof when Bootice does.
run() {
  if ! "$bootice" "$@" >bootice.txt; then
    echo "FAILED: Bootice $*: $(cat bootice.txt)"
    exit 1
  fi
}

# The BOOTMGR stand-in is as large as a real boot manager (several 64 KiB segments, a
# long FAT32 cluster chain, many NTFS clusters); the NTLDR one spans a few clusters.
for pair in "nt60 bootmgr BOOTMGR 400000" "nt52 ntldr NTLDR 9000"; do
  set -- $pair
  mbr=$1 type=$2 name=$3 size=$4
  nasm -f bin -DNAME="\"$name\"" -DSIZE=$size -o "$name" "$loader_asm"
  rm -f disk0.img fat.img ntfs.img
  truncate -s 128M disk0.img
  printf 'label: dos\nstart=2048, size=81920, type=c\nstart=83968, size=81920, type=7\n' |
    sfdisk -q disk0.img
  # Long-named files ahead of the loader: the FAT32 root directory runs over several
  # clusters and the NTFS root index over several index blocks.
  mkdir -p crowd
  i=0
  while [ $i -lt 120 ]; do
    echo $i > "crowd/A-file-with-a-rather-long-name-number-$i.txt"
    i=$((i + 1))
  done
  truncate -s $((81920 * 512)) fat.img
  mkfs.fat -F 32 -h 2048 fat.img >/dev/null
  mcopy -i fat.img crowd/* ::/
  mcopy -i fat.img "$name" "::/$name"
  truncate -s $((81920 * 512)) ntfs.img
  mkntfs -F -Q -p 83968 -H 255 -S 63 ntfs.img >/dev/null 2>&1
  for f in crowd/*; do ntfscp ntfs.img "$f" "${f#crowd/}" >/dev/null 2>&1; done
  ntfscp ntfs.img "$name" "$name" >/dev/null 2>&1
  dd if=fat.img of=disk0.img bs=512 seek=2048 conv=notrunc status=none
  dd if=ntfs.img of=disk0.img bs=512 seek=83968 conv=notrunc status=none
  rm -rf fat.img ntfs.img crowd

  run /DEVICE=1:1 /mbr /install /type=$mbr /quiet
  run /DEVICE=1:1 /pbr /install /type=$type /quiet
  run /DEVICE=1:2 /pbr /install /type=$type /quiet
  run /DEVICE=1:1 /partitions /activate /quiet
  boot "$name" "$mbr MBR, FAT32 boot record"
  run /DEVICE=1:2 /partitions /activate /quiet
  boot "$name" "$mbr MBR, NTFS boot record"
done
[ -z "$2" ] && rm -rf "$work"
[ $fails -eq 0 ]
