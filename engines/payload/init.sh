#!/bin/busybox sh
# Start-up of the reboot-time boot image. Finds the partition whose root holds
# MvDOS.ima; if ghost.ba_ lies beside it, renames it to ghost.bat and runs its lines
# (mvjob run), otherwise shows the menu. Partitions are numbered D:P with the disks in
# the firmware's order (disk 1 = the first BIOS disk) and mounted under /mnt/D_P: NTFS
# through ntfs-3g, FAT through the kernel's vfat driver.
#
# Safety: a job runs at most once (the rename comes first and a failed rename stops
# it); an NTFS volume that is hibernated or marked dirty is never mounted for writing;
# mvjob refuses a job whose partition numbers do not lead to the module's partition.

/bin/busybox mkdir -p /proc /sys /dev /tmp /mnt /usr/bin /usr/sbin /sbin
/bin/busybox --install -s
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
export PATH=/sbin:/bin:/usr/sbin:/usr/bin

# say: to the screen and to the first serial port (kept by the virtual-machine proof).
say() {
  echo "$*"
  [ -c /dev/ttyS0 ] && echo "$*" >/dev/ttyS0 2>/dev/null
}

for m in $(cat /etc/modules-load); do
  insmod "/lib/modules/$m" 2>/dev/null
done

# Block devices come up a little after their drivers.
i=0
while [ $i -lt 20 ]; do
  ls /sys/block | grep -q -E '^(sd|vd|nvme|hd|xvd)' && break
  sleep 0.5
  i=$((i + 1))
done
sleep 1

# disks: whole disks in the firmware's order. With EDD the BIOS disks' MBR signatures
# name them; disks it does not know follow in the kernel's order.
disks() {
  all=$(ls /sys/block | grep -E '^(sd|vd|hd|xvd)[a-z]+$|^nvme[0-9]+n[0-9]+$')
  listed=
  for edd in /sys/firmware/edd/int13_dev8*; do
    [ -r "$edd/mbr_signature" ] || continue
    want=$(cat "$edd/mbr_signature")
    for d in $all; do
      case " $listed " in *" $d "*) continue ;; esac
      sig=$(dd if=/dev/$d bs=1 skip=440 count=4 2>/dev/null | od -A n -t x4 | tr -d ' ')
      if [ "0x$sig" = "$want" ]; then listed="$listed $d"; break; fi
    done
  done
  for d in $all; do
    case " $listed " in *" $d "*) ;; *) listed="$listed $d" ;; esac
  done
  echo $listed
}

# part_device <disk> <n>: the device of partition n of a disk.
part_device() {
  case $1 in
    nvme*) echo "/dev/${1}p$2" ;;
    *) echo "/dev/$1$2" ;;
  esac
}

volumes=
module=
module_dev=
dn=0
for d in $(disks); do
  dn=$((dn + 1))
  for p in /sys/block/$d/$d*; do
    [ -r "$p/partition" ] || continue
    n=$(cat "$p/partition")
    dev=$(part_device "$d" "$n")
    dir=/mnt/${dn}_$n
    mkdir -p "$dir"
    # ntfs-3g opens a volume marked dirty only when forced; read-only, that is safe.
    if ntfs-3g -o ro "$dev" "$dir" 2>/dev/null || ntfs-3g -o ro,force "$dev" "$dir" 2>/dev/null ||
      mount -t vfat -o ro "$dev" "$dir" 2>/dev/null; then
      volumes="$volumes;$dn:$n=$dir"
      if [ -z "$module" ] && [ -f "$dir/MvDOS.ima" ]; then
        module=$dn:$n
        module_dev=$dev
      fi
    else
      rmdir "$dir"
    fi
  done
done
export SB_GHOST_VOLUMES=${volumes#;}
export SB_GHOST_SYSTEM=0:0

# remount_rw <D:P>: mounts a partition for writing, after the safety checks.
remount_rw() {
  local dir dev state
  dir=/mnt/$(echo "$1" | tr : _)
  dev=$(awk -v d="$dir" '$2 == d { print $1 }' /proc/mounts)
  [ -n "$dev" ] || return 1
  state=$(mvjob state "$dev" "$dir")
  case $state in
    clean | not-ntfs) ;;
    *) echo "$state"; return 2 ;;
  esac
  mount_again "$dir"
}

# mount_again <folder>: unmounts a volume (ntfs-3g puts everything written on the disk
# then) and mounts it again for writing.
mount_again() {
  local dev fstype
  dev=$(awk -v d="$1" '$2 == d { print $1 }' /proc/mounts)
  fstype=$(awk -v d="$1" '$2 == d { print $3 }' /proc/mounts)
  [ -n "$dev" ] || return 1
  sync
  umount "$1" || return 1
  if [ "$fstype" = vfat ]; then
    mount -t vfat "$dev" "$1"
  else
    ntfs-3g "$dev" "$1"
  fi
}

# finish: unmounts every volume and waits for ntfs-3g to write its last blocks.
finish() {
  sync
  for m in $(awk '$2 ~ /^\/mnt\// { print $2 }' /proc/mounts); do umount "$m"; done
  i=0
  while pidof ntfs-3g >/dev/null && [ $i -lt 100 ]; do
    sleep 0.2
    i=$((i + 1))
  done
  sync
}

menu() {
  while :; do
    say ""
    say "MvDOS menu"
    say "  1  Back up a partition to an image file"
    say "  2  Restore a partition from an image file"
    say "  3  Shell"
    say "  4  Restart"
    say "Partitions:$(echo "$SB_GHOST_VOLUMES" | tr ';' ' ')"
    printf 'Choice: '
    # Without a keyboard the menu waits: restarting would only start this image again.
    if ! read -r choice; then
      sleep 5
      continue
    fi
    case $choice in
      1)
        printf 'Partition to back up (D:P): '; read -r src
        printf 'Image file (D:P:\\folder\\name.GHO): '; read -r img
        remount_rw "${img%%:\\*}" && mvjob ghost -clone,mode=pdump,src="$src",dst="$img" -z1 -sure
        ;;
      2)
        printf 'Image file (D:P:\\folder\\name.GHO): '; read -r img
        printf 'Partition to restore to (D:P): '; read -r dst
        remount_rw "$dst" && mvjob ghost -clone,mode=pload,src="$img":1,dst="$dst" -sure
        ;;
      3) setsid sh -c 'exec sh </dev/console >/dev/console 2>&1' ;;
      4) finish; reboot -f ;;
    esac
  done
}

if [ -z "$module" ]; then
  say "MvDOS: no partition holds MvDOS.ima."
  menu
fi
say "MvDOS: module partition $module ($module_dev)"
dir=/mnt/$(echo "$module" | tr : _)

if [ ! -f "$dir/ghost.ba_" ]; then
  menu
fi

# The job. The module's partition is written first (the rename), so it must be safe
# to write; when it is not, nothing at all is written.
if ! why=$(remount_rw "$module"); then
  say "MvDOS: partition $module must not be written (${why:-mount failed}): the job does not run."
  say "MvDOS: start Windows fully (no hibernation, no fast start-up), check the disk, try again."
  menu
fi
# The rename is on the disk (the volume unmounted and mounted again) before the job
# starts, so that a power cut during the job cannot run it a second time.
rm -f "$dir/ghost.bat"
if ! mv "$dir/ghost.ba_" "$dir/ghost.bat" || ! mount_again "$dir" || [ -e "$dir/ghost.ba_" ]; then
  say "MvDOS: ghost.ba_ cannot be renamed; the job does not run."
  menu
fi
cd "$dir" || menu
# Every other partition the job writes is mounted for writing when it is safe; one that
# is not stays read-only and mvjob stops the line that would write it.
unsafe=
for p in $(mvjob writes ghost.bat); do
  [ "$p" = "$module" ] && continue
  if ! why=$(remount_rw "$p"); then unsafe="$unsafe;$p=${why:-mount-failed}"; fi
done
export SB_PAYLOAD_UNSAFE=${unsafe#;}
say "MvDOS: running ghost.bat"
mvjob run ghost.bat "$module"
rc=$?
cd /
if [ $rc -eq 0 ]; then
  say "MvDOS: job done, restarting"
  finish
  reboot -f
fi
mount_again "$dir"
say "MvDOS: the job failed, see GHOSTERR.TXT on partition $module."
menu
