#!/bin/sh
# Makes the benchmarks' mixed tree once and keeps it between runs:
#   . bench/wim_tree.sh   with $src (folder) and $total_mib (size) set.
# About 15 % many small text files, 55 % four large compressible logs and
# 30 % three incompressible files.
if [ ! -f "$src/.complete-$total_mib" ]; then
  rm -rf "$src"
  mkdir -p "$src"
  echo "making a mixed tree of about $total_mib MiB in $src"
  python3 - "$src" "$total_mib" <<'PY'
import os, random, sys
root, total = sys.argv[1], int(sys.argv[2]) << 20
rng = random.Random(6)
words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(5000)]
def text(n):
    out, size = [], 0
    while size < n:
        line = b" ".join(rng.choice(words) for _ in range(12)) + b"\r\n"
        out.append(line); size += len(line)
    return b"".join(out)[:n]
block = text(8 << 20)
small_total = total * 15 // 100
os.makedirs(os.path.join(root, "small"))
done, i = 0, 0
while done < small_total:
    d = os.path.join(root, "small", "d%03d" % (i // 200))
    os.makedirs(d, exist_ok=True)
    n = rng.randint(0, 24 << 10)
    off = rng.randint(0, len(block) - n)
    with open(os.path.join(d, "f%05d.txt" % i), "wb") as f:
        f.write(block[off:off + n])
    done += n; i += 1
big = total * 55 // 100
os.makedirs(os.path.join(root, "large"))
for k in range(4):
    with open(os.path.join(root, "large", "text%d.log" % k), "wb") as f:
        left = big // 4
        while left > 0:
            chunk = bytearray(block[:min(left, len(block))])
            chunk[0:16] = ("%016d" % left).encode()
            f.write(chunk); left -= len(chunk)
noise = total * 30 // 100
os.makedirs(os.path.join(root, "media"))
for k in range(3):
    with open(os.path.join(root, "media", "blob%d.bin" % k), "wb") as f:
        f.write(os.urandom(noise // 3))
print("files:", i + 7)
PY
  touch "$src/.complete-$total_mib"
fi

