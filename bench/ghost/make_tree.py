#!/usr/bin/env python3
"""Builds the benchmark's mixed tree: many small text files, large compressible
files and incompressible files, at least the requested size in total."""
import os
import random
import sys

root = sys.argv[1]
target = int(float(sys.argv[2]) * (1 << 30))
rng = random.Random(1208)
written = 0

def put(path, data):
    global written
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    written += len(data)

words = [w.encode() for w in
         "partition image restore backup volume sector cluster index chunk stream "
         "windows system driver config update user profile cache temp log error "
         "warning info debug value key name path file folder size time date".split()]

def text(n):
    out = bytearray()
    while len(out) < n:
        line = b" ".join(rng.choice(words) for _ in range(rng.randint(4, 12)))
        out += b"%d %s\r\n" % (rng.randint(0, 99999), line)
    return bytes(out[:n])

# Many small files (about 30% of the total).
small_budget = target * 3 // 10
i = 0
while written < small_budget:
    size = rng.choice([200, 900, 2500, 6000, 14000, 40000])
    put(os.path.join(root, "small", "d%03d" % (i // 400), "f%05d.txt" % i), text(size))
    i += 1
# Large compressible files (about 40%).
big = 0
while written < target * 7 // 10:
    put(os.path.join(root, "logs", "big%02d.log" % big), text(64 << 20))
    big += 1
# Incompressible files (the rest).
n = 0
while written < target:
    put(os.path.join(root, "media", "blob%02d.bin" % n), os.urandom(64 << 20))
    n += 1
print("tree: %d small files, %d large text, %d random, %.2f GiB" %
      (i, big, n, written / (1 << 30)))
