#!/bin/sh
# Installs every Debian package the build, the sandbox PC and the tests need.
set -e
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
# The reboot-time payload's packages (kernel, busybox-static, GRUB 2, ntfs-3g, libc6) are
# fetched by scripts/build-payload.sh with apt-get download and never installed here;
# cpio packs its start-up system and libdevmapper is what the unpacked grub-mkimage needs.
PKGS="build-essential cmake ninja-build pkg-config git googletest libgtest-dev \
  zlib1g-dev libpng-dev libjpeg-dev libssl-dev \
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools libz-mingw-w64-dev \
  wine wine64 xvfb xauth imagemagick fonts-wqy-microhei locales \
  wimtools pigz clang libclang-rt-14-dev binutils python3 bc \
  nasm qemu-system-x86 libhivex-bin fdisk dosfstools mtools ntfs-3g \
  genisoimage xorriso libcdio-utils \
  cpio libdevmapper1.02.1"
missing=
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
# The 32-bit Wine runs the win32 tree's tests; it comes from Debian's i386 architecture.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  missing="$missing wine32:i386"
fi
if [ -n "$missing" ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
# Wine reads the host's UTF-8 file names through the locale, so the Chinese one must exist.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  $SUDO sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
