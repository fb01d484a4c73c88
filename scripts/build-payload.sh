#!/bin/sh
# Builds the reboot-time payload the program stores: mvldr.mbr, grldr and MvDOS.ima.
#   build-payload.sh <output folder>
#
# - mvldr.mbr: our boot code (engines/payload/mvldr.asm around the NTFS boot code of
#   engines/bootice/bootcode built for GRLDR), nasm.
# - grldr: GRUB 2's i386-pc core image (Debian's grub-pc-bin, made by grub-mkimage from
#   Debian's grub-common) with engines/payload/grub.cfg built in, behind grub-pc-bin's
#   g2hdr.img, the header that lets a loader start the core from 2000:0000.
# - MvDOS.ima: a FAT image holding Debian's kernel (VMLINUZ) and our start-up system
#   (INITRD.GZ: busybox-static, ntfs-3g with its libraries, the kernel modules of
#   engines/payload/modules.txt, mvjob built statically, engines/payload/init.sh).
#
# Debian packages are fetched with apt-get download and unpacked with dpkg-deb -x into
# a scratch folder; nothing is installed on this machine. The result is kept in
# $SB_PAYLOAD_CACHE (default ~/.cache/starbridge-payload) under a key made of every
# input file and the package versions, so a second build with the same inputs copies it;
# the four newest are kept.
set -e
out=$1
[ -n "$out" ] || { echo "usage: build-payload.sh <output folder>" >&2; exit 2; }
src=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
cache_root=${SB_PAYLOAD_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/starbridge-payload}

kernel_pkg=$(apt-cache depends linux-image-amd64 2>/dev/null |
  awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
[ -n "$kernel_pkg" ] || { echo "build-payload: linux-image-amd64 is not known to apt" >&2; exit 1; }
packages="$kernel_pkg busybox-static grub-pc-bin grub-common ntfs-3g libntfs-3g89 libc6"

# The cache key: the package versions and every file the payload is made from.
key=$(
  for p in $packages; do
    printf '%s %s\n' "$p" "$(apt-cache policy "$p" | awk '/Candidate:/ { print $2 }')"
  done
  cd "$src"
  find scripts/build-payload.sh engines/payload engines/bootice/bootcode engines/ghost common \
    cmake CMakeLists.txt engines/CMakeLists.txt -type f | LC_ALL=C sort | xargs sha256sum
)
key=$(printf '%s' "$key" | sha256sum | cut -c1-24)
cached=$cache_root/$key
if [ -f "$cached/MvDOS.ima" ] && [ -f "$cached/grldr" ] && [ -f "$cached/mvldr.mbr" ]; then
  cp "$cached/MvDOS.ima" "$cached/grldr" "$cached/mvldr.mbr" "$out/"
  echo "build-payload: from the cache ($key)"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# ---- Debian packages ------------------------------------------------------------------
mkdir debs root
# A machine whose package lists were never fetched (all packages preinstalled) cannot
# download: fetch the lists once and try again.
if ! (cd debs && apt-get download $packages >/dev/null 2>&1); then
  if [ "$(id -u)" -eq 0 ]; then apt-get update -qq >/dev/null 2>&1 || true; fi
  (cd debs && apt-get download $packages >/dev/null 2>&1) || {
    echo "build-payload: apt-get download failed for: $packages" >&2
    exit 1
  }
fi
for deb in debs/*.deb; do dpkg-deb -x "$deb" root; done
kver=${kernel_pkg#linux-image-}
moddir=root/lib/modules/$kver
i386=root/usr/lib/grub/i386-pc

# ---- mvldr.mbr ---------------------------------------------------------------------------
nasm -f bin -DGRLDR -DCHAINED -I"$src/engines/bootice/bootcode/" -o ntfs-grldr.bin \
  "$src/engines/bootice/bootcode/ntfs.asm"
nasm -f bin -I"$src/engines/bootice/bootcode/" -DNTFS_CODE="\"$work/ntfs-grldr.bin\"" \
  -o mvldr.mbr "$src/engines/payload/mvldr.asm"

# ---- grldr -------------------------------------------------------------------------------
root/usr/bin/grub-mkimage -d "$i386" -O i386-pc -p / -c "$src/engines/payload/grub.cfg" \
  -o core.img biosdisk part_msdos ntfs fat loopback search search_fs_file linux echo
cat "$i386/g2hdr.img" core.img >grldr

# ---- mvjob, static -----------------------------------------------------------------------
cmake -S "$src" -B engine -G Ninja -DCMAKE_BUILD_TYPE=Release -DSB_SANITIZE=OFF \
  -DSB_TEST_AREAS= -DOPENSSL_USE_STATIC_LIBS=TRUE -DZLIB_USE_STATIC_LIBS=ON \
  -DCMAKE_EXE_LINKER_FLAGS=-static \
  $(command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
cmake --build engine -j 2 --target payload_runner >/dev/null
strip -o mvjob engine/engines-bin/mvjob

# ---- the start-up system ----------------------------------------------------------------
fs=initrd
mkdir -p $fs/bin $fs/etc $fs/lib/modules $fs/lib/x86_64-linux-gnu $fs/lib64 $fs/dev
cp root/bin/busybox $fs/bin/busybox
cp mvjob $fs/bin/mvjob
cp root/bin/ntfs-3g $fs/bin/ntfs-3g
for lib in libntfs-3g.so.89 libc.so.6; do
  cp -L "$(find root/lib root/usr/lib -name "$lib" | head -n 1)" $fs/lib/x86_64-linux-gnu/
done
cp -L "$(find root/lib root/lib64 root/usr/lib -name ld-linux-x86-64.so.2 | head -n 1)" $fs/lib64/
cp "$src/engines/payload/init.sh" $fs/init
chmod 755 $fs/init $fs/bin/*

# Modules and their dependencies, dependencies first. The package has no modules.dep
# (depmod makes it at installation), so each module's own "depends=" entry is read.
find "$moddir/kernel" -name '*.ko*' >modules.all
: >modules.order
add_module() {
  local name path dep
  name=$(echo "$1" | tr - _)
  grep -qx "$name" modules.done 2>/dev/null && return 0
  echo "$name" >>modules.done
  path=$(awk -v n="$name" '{ b = $0; sub(".*/", "", b); sub("\\.ko.*$", "", b); gsub("-", "_", b)
                              if (b == n) { print; exit } }' modules.all)
  [ -n "$path" ] || return 0
  for dep in $(strings -a "$path" | sed -n 's/^depends=//p' | tr , ' '); do
    add_module "$dep"
  done
  echo "$path" >>modules.order
}
for m in $(grep -v '^#' "$src/engines/payload/modules.txt"); do add_module "$m"; done
: >$fs/etc/modules-load
while read -r m; do
  cp "$m" $fs/lib/modules/
  basename "$m" >>$fs/etc/modules-load
done <modules.order
case $(head -n 1 modules.order) in
  *.ko) ;;
  *) echo "build-payload: compressed kernel modules are not handled" >&2; exit 1 ;;
esac
# What the image carries, for its licences (see the README).
for p in $packages; do
  printf '%s %s\n' "$p" "$(dpkg-deb -f debs/${p}_*.deb Version 2>/dev/null)"
done >PACKAGES.TXT
cp PACKAGES.TXT $fs/etc/packages.txt
(cd $fs && find . | LC_ALL=C sort | cpio -o -H newc --quiet -R 0:0) | gzip -9 -n >INITRD.GZ

# ---- MvDOS.ima -----------------------------------------------------------------------------
cp "root/boot/vmlinuz-$kver" VMLINUZ
mkdir licences
for p in linux-image busybox-static ntfs-3g libc6 grub-common; do
  f=$(find root/usr/share/doc -path "*/$p*/copyright" | head -n 1)
  [ -n "$f" ] && cp "$f" "licences/$p.txt"
done
bytes=$(( $(stat -c %s VMLINUZ) + $(stat -c %s INITRD.GZ) + $(du -sb licences | cut -f1) ))
mib=$(( bytes / 1048576 + 3 ))
truncate -s ${mib}M MvDOS.ima
mkfs.fat -n MVDOS -i 4D564453 MvDOS.ima >/dev/null
mcopy -i MvDOS.ima VMLINUZ INITRD.GZ PACKAGES.TXT ::/
mmd -i MvDOS.ima ::/LICENCES
mcopy -i MvDOS.ima licences/* ::/LICENCES/

mkdir -p "$cached"
cp MvDOS.ima grldr mvldr.mbr "$cached/"
# The cache keeps the four newest payloads (each about 17 MB).
ls -1t "$cache_root" | tail -n +5 | while read -r old; do rm -rf "${cache_root:?}/$old"; done
cp MvDOS.ima grldr mvldr.mbr "$out/"
echo "build-payload: built ($key): $(stat -c '%n %s' MvDOS.ima grldr mvldr.mbr | tr '\n' ' ')"
