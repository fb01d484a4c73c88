#!/bin/sh
# Makes the WIM fixtures of ntfs_fake_roundtrip_test with wimlib-imagex from a
# small NTFS volume in an image FILE (never a device): a WinSxS-style hard-link
# pair whose short-named name is not the first, short names on a folder and a
# file, a named stream written before the main data and an empty one, a
# junction and two symbolic links. Run as root (ntfs-3g mounts through FUSE);
# needs mkntfs, ntfs-3g and wimlib-imagex (Debian: ntfs-3g, wimtools).
#   fix.wim      captured with reparse-point fixing (the default)
#   norpfix.wim  the same tree captured with --norpfix
#   collide.wim  fix.wim with the two unrelated hard-link pairs given one group
#                number, as some install.wim files have
set -e
out=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'umount "$work/mnt" 2>/dev/null || true; rm -rf "$work"' EXIT
truncate -s 16M "$work/vol.img"
mkntfs -F -Q -q "$work/vol.img" 2>/dev/null
mkdir "$work/mnt"
ntfs-3g -o streams_interface=xattr "$work/vol.img" "$work/mnt"
cd "$work/mnt"
python3 - <<'PY'
import os, struct
def u16(s): return s.encode('utf-16-le')
def link(tag, sub, pr, flags=None):
    s, p = u16(sub), u16(pr)
    body = struct.pack('<HHHH', 0, len(s), len(s) + 2, len(p))
    if flags is not None: body += struct.pack('<I', flags)
    body += s + b'\0\0' + p + b'\0\0'
    return struct.pack('<IHH', tag, len(body), 0) + body
os.makedirs("Windows/System32"); os.makedirs("Windows/WinSxS")
os.makedirs("Program Files (x86)/Common Files"); os.makedirs("Users/Default")
setup = "Program Files (x86)/Common Files/setup info.txt"
with open(setup, "w") as f: f.write("setup information\n")
os.setxattr(setup, "user.Zone.Identifier", b"[ZoneTransfer]\r\nZoneId=3\r\n")
os.setxattr(setup, "system.ntfs_dos_name", b"SETUPI~1.TXT")
os.setxattr("Program Files (x86)", "system.ntfs_dos_name", b"PROGRA~2")
# ntfs-3g sets a short name only on a file with one name: before the link.
with open("Windows/WinSxS/comp.dll", "wb") as f: f.write(b"DLLDATA" * 300)
os.setxattr("Windows/WinSxS/comp.dll", "system.ntfs_dos_name", b"COMP~1.DLL")
os.link("Windows/WinSxS/comp.dll", "Windows/System32/comp.dll")
os.mkdir("Documents and Settings")
os.setxattr("Documents and Settings", "system.ntfs_reparse_data",
            link(0xA0000003, "\\??\\C:\\Users", "C:\\Users"))
open("Windows/sys32link", "wb").close()
os.setxattr("Windows/sys32link", "system.ntfs_reparse_data",
            link(0xA000000C, "\\??\\C:\\Windows\\System32", "C:\\Windows\\System32", 0))
open("Windows/rellink", "wb").close()
os.setxattr("Windows/rellink", "system.ntfs_reparse_data",
            link(0xA000000C, "System32\\comp.dll", "System32\\comp.dll", 1))
for n, c in (("a", b"first file"), ("b", b"second file")):
    with open(f"Windows/{n}1.txt", "wb") as f: f.write(c)
    os.link(f"Windows/{n}1.txt", f"Windows/{n}2.txt")
open("Windows/streamfirst.txt", "wb").close()
os.setxattr("Windows/streamfirst.txt", "user.first", b"named data")
with open("Windows/streamfirst.txt", "r+b") as f: f.write(b"main data")
os.setxattr("Windows/streamfirst.txt", "user.empty", b"")
PY
cd "$work"
umount "$work/mnt"
wimlib-imagex capture vol.img "$out/fix.wim" fixture --compress=none >/dev/null
wimlib-imagex capture vol.img "$out/norpfix.wim" fixture --compress=none --norpfix >/dev/null
python3 - "$out/fix.wim" "$out/collide.wim" <<'PY'
import sys, struct, hashlib
w = bytearray(open(sys.argv[1], 'rb').read())
def reshdr(at):
    size = int.from_bytes(w[at:at + 7], 'little')
    return size, w[at + 7], struct.unpack_from('<QQ', w, at + 8)
size, _, (off, _) = reshdr(0x30)
for e in range(off, off + size, 50):
    msize, flags, (moff, _) = reshdr(e)
    if flags & 2:
        meta = w[moff:moff + msize]
        def dentry(name):
            return meta.index(name.encode('utf-16-le') + b'\0\0') - 0x66
        group = meta[dentry('a1.txt') + 0x58:dentry('a1.txt') + 0x60]
        for n in ('b1.txt', 'b2.txt'):
            meta[dentry(n) + 0x58:dentry(n) + 0x60] = group
        w[moff:moff + msize] = meta
        w[e + 30:e + 50] = hashlib.sha1(meta).digest()
open(sys.argv[2], 'wb').write(w)
PY
