#!/bin/sh
# Times our Imagex /apply against wimlib-imagex apply of the same WIM files.
#   wim_apply_bench.sh <Imagex> <work dir> [size in MiB, default 1100]
# Makes a mixed tree (many small files, large compressible text, incompressible
# data), captures it with wimlib-imagex as LZX and as LZMS (solid), applies
# each three times with both tools into fresh folders and prints the medians
# and the ratio wimlib time / our time (above 1.0: we are faster).
set -eu
imagex=$1
work=$2
total_mib=${3:-1100}
wimlib=$(command -v wimlib-imagex) || { echo "wimlib-imagex is needed" >&2; exit 1; }
mkdir -p "$work"
src=$work/tree

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

median() { sort -n | sed -n 2p; }
timeit() { # prints seconds for one run of "$@"
  s=$(date +%s.%N); "$@" >/dev/null 2>&1 || { echo "FAILED: $*" >&2; echo 999999; return; }; e=$(date +%s.%N)
  echo "$e - $s" | bc
}

for kind in lzx lzms-solid; do
  wim=$work/bench-$kind.wim
  if [ ! -f "$wim" ]; then
    echo "capturing $kind with wimlib-imagex"
    case $kind in
      lzx) "$wimlib" capture "$src" "$wim" bench --compress=lzx >/dev/null ;;
      lzms-solid) "$wimlib" capture "$src" "$wim" bench --solid >/dev/null ;;
    esac
  fi
  ours=""; theirs=""
  for run in 1 2 3; do
    rm -rf "$work/out"; sync
    ours="$ours $(timeit "$imagex" /apply "$wim" 1 "$work/out")"
    rm -rf "$work/out"; sync
    theirs="$theirs $(timeit "$wimlib" apply "$wim" 1 "$work/out")"
  done
  rm -rf "$work/out"
  o=$(echo $ours | tr ' ' '\n' | median)
  t=$(echo $theirs | tr ' ' '\n' | median)
  ratio=$(echo "scale=2; $t / $o" | bc)
  printf '%-11s ours %7.2f s  wimlib %7.2f s  ratio (wimlib/ours) %s   [runs: ours%s | wimlib%s]\n' \
    "$kind" "$o" "$t" "$ratio" "$ours" "$theirs"
done
