#!/usr/bin/env python3
"""Checks that a Windows build of StarBridge.exe carries the reboot-time payload it was
built with: each of MvDOS.ima, grldr and mvldr.mbr appears once as a stored block (a
32-bit count of 1, the 32-bit length, then exactly the file's bytes).
    stored_payload_check.py <StarBridge.exe> <payload folder>"""
import struct
import sys

program = open(sys.argv[1], "rb").read()
failed = 0
for name in ("MvDOS.ima", "grldr", "mvldr.mbr"):
    data = open(f"{sys.argv[2]}/{name}", "rb").read()
    block = struct.pack("<II", 1, len(data)) + data
    count = program.count(block)
    if count != 1:
        print(f"FAILED: {name} ({len(data)} bytes) is stored {count} times")
        failed += 1
    else:
        print(f"ok: {name} is stored ({len(data)} bytes)")
sys.exit(1 if failed else 0)
