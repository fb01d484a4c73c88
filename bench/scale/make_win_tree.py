#!/usr/bin/env python3
"""Builds a tree shaped like a Windows system partition, the same for the same seed:

  make_win_tree.py <root> [files, default 320000] [seed, default 18]

- Windows/WinSxS: component folders with long names (arch_name_key_version_lang_hash),
  a few files each, and a flat Manifests folder with one manifest per component;
- Windows/System32: its own files plus hard links to WinSxS files (a few percent of
  all names), DriverStore folders, language folders;
- Windows/assembly: native images three levels down;
- Program Files: vendors, products, versions, deep resource folders;
- Users/*/AppData: browser-like caches (two hex levels), many tiny files;
- about 2 % empty files, about 1 % empty folders, a few hundred DLL-sized files.

File contents are slices of a text and a binary pattern, so they compress like
manifests and executables do. Files inside a folder are created in a shuffled order,
as installers do, not in name order. Prints the counts at the end.
"""
import os
import random
import sys

root = sys.argv[1]
target_files = int(sys.argv[2]) if len(sys.argv) > 2 else 320000
rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 18)

WORDS = ("assembly identity name version processorArchitecture publicKeyToken language "
         "dependency dependentAssembly file hash digestMethod transforms registryKeys "
         "registryValue keyName valueName valueType value component servicing deployment "
         "trustInfo security requestedPrivileges requestedExecutionLevel level uiAccess "
         "microsoft windows amd64 wow64 x86 neutral none en-us zh-cn true false "
         "configuration categoryMembership categoryInstance instrumentation").split()


def text_pattern(n):
    out = bytearray()
    while len(out) < n:
        k = rng.randint(2, 7)
        out += b"  <" + rng.choice(WORDS).encode()
        for _ in range(k):
            out += b' %s="%s"' % (rng.choice(WORDS).encode(), rng.choice(WORDS).encode())
        out += b" />\r\n"
    return bytes(out[:n])


def binary_pattern(n):
    # Code-like runs (few distinct bytes), tables of small numbers, and random
    # stretches standing for compressed resources.
    out = bytearray()
    while len(out) < n:
        kind = rng.random()
        size = rng.randint(256, 4096)
        if kind < 0.5:
            ops = rng.randbytes(12)
            out += bytes(ops[rng.randrange(12)] for _ in range(size))
        elif kind < 0.88:
            out += b"".join(rng.randrange(4096).to_bytes(4, "little") for _ in range(size // 4))
        else:
            out += rng.randbytes(size)
    return bytes(out[:n])


TEXT = text_pattern(8 << 20)
BINARY = binary_pattern(16 << 20)

stats = {"files": 0, "links": 0, "empty_files": 0, "dirs": 0, "empty_dirs": 0, "bytes": 0}
made_dirs = set()


def mkdir(rel):
    if rel not in made_dirs:
        os.makedirs(os.path.join(root, rel), exist_ok=True)
        parts = rel.split("/")
        for i in range(1, len(parts) + 1):
            made_dirs.add("/".join(parts[:i]))


def log_uniform(lo, hi):
    return int(lo * (hi / lo) ** rng.random())


def content(size, binary):
    pattern = BINARY if binary else TEXT
    at = rng.randrange(len(pattern) - size) if size < len(pattern) else 0
    data = pattern[at:at + size]
    while len(data) < size:
        data += pattern[:size - len(data)]
    return data


def write_folder(rel, files):
    """files: list of (name, size, binary). Created in a shuffled order."""
    mkdir(rel)
    order = list(files)
    rng.shuffle(order)
    for name, size, binary in order:
        if rng.random() < 0.02:
            size = 0
            stats["empty_files"] += 1
        with open(os.path.join(root, rel, name), "wb") as f:
            if size:
                f.write(content(size, binary))
        stats["files"] += 1
        stats["bytes"] += size


def small_size():
    # A third of them 1-30 KB, the rest below 1 KB.
    return log_uniform(1024, 30 * 1024) if rng.random() < 0.35 else log_uniform(60, 1024)


def dll_size():
    # A few are large; most code files are small.
    return log_uniform(100 * 1024, 2 << 20) if rng.random() < 0.004 else small_size()


def hexname(n):
    return "%0*x" % (n, rng.getrandbits(4 * n))


COMPONENT_WORDS = ("shell kernel base network storage audio video print input font media "
                   "update servicing security crypto defender edge runtime graphics directx "
                   "bluetooth usb wifi ethernet speech ink touch sensor power setup "
                   "accessibility narrator search indexer photos terminal hyperv").split()
LANGS = ["none", "none", "none", "en-us", "zh-cn", "de-de", "ja-jp"]

quota = target_files
links_wanted = target_files * 3 // 100

# WinSxS: about 40 % of the names.
sxs_files = []
components = []
left = quota * 40 // 100
while left > 0:
    arch = rng.choice(["amd64", "amd64", "wow64", "x86", "msil"])
    name = "microsoft-windows-" + "-".join(rng.sample(COMPONENT_WORDS, rng.randint(2, 4)))
    folder = "%s_%s_31bf3856ad364e35_10.0.19041.%d_%s_%s" % (
        arch, name, rng.choice([1, 1023, 1266, 1288, 1320, 1415, 2006]), rng.choice(LANGS),
        hexname(16))
    n = min(left, rng.choice([1, 1, 2, 3, 4, 6, 12]))
    files = []
    for k in range(n):
        base = name.split("-", 2)[-1].replace("-", "")[:20] + ("" if k == 0 else str(k))
        ext = rng.choice([".dll", ".dll", ".exe", ".mui", ".sys", ".cat", ".xml"])
        files.append((base + ext, dll_size() if ext in (".dll", ".exe", ".sys") else small_size(),
                      ext != ".xml"))
    rel = "Windows/WinSxS/" + folder
    write_folder(rel, files)
    sxs_files.extend(rel + "/" + f[0] for f in files)
    components.append(folder)
    left -= n
write_folder("Windows/WinSxS/Manifests",
             [(c + ".manifest", log_uniform(600, 9000), False) for c in components])

# System32: own files, language folders, DriverStore, and hard links into WinSxS.
write_folder("Windows/System32",
             [("sys%05d%s" % (i, rng.choice([".dll", ".exe", ".nls", ".dat"])), dll_size(), True)
              for i in range(quota * 3 // 100)])
for lang in ["en-US", "zh-CN", "de-DE"]:
    write_folder("Windows/System32/" + lang,
                 [("sys%05d.dll.mui" % i, log_uniform(2048, 40000), True)
                  for i in range(quota // 200)])
left = quota * 6 // 100
while left > 0:
    n = min(left, rng.randint(2, 9))
    drv = "%s.inf_amd64_%s" % (rng.choice(COMPONENT_WORDS) + str(rng.randrange(100)), hexname(16))
    write_folder("Windows/System32/DriverStore/FileRepository/" + drv,
                 [("f%d%s" % (k, rng.choice([".sys", ".inf", ".cat", ".dll", ".pnf"])),
                   dll_size(), True) for k in range(n)])
    left -= n
mkdir("Windows/System32/links")
for i, target in enumerate(rng.sample(sxs_files, min(links_wanted, len(sxs_files)))):
    name = "Windows/System32/links/%s_%d" % (os.path.basename(target), i)
    os.link(os.path.join(root, target), os.path.join(root, name))
    stats["links"] += 1

# Native images: three levels below assembly.
left = quota * 5 // 100
while left > 0:
    asm = "System." + ".".join(w.capitalize() for w in rng.sample(COMPONENT_WORDS, 2))
    rel = "Windows/assembly/NativeImages_v4.0.30319_64/%s/%s" % (asm, hexname(32))
    files = [(asm + ".ni.dll", dll_size(), True), (asm + ".ni.dll.aux", small_size(), True)]
    write_folder(rel, files)
    left -= 2

# Program Files: deep product trees.
left = quota * 18 // 100
while left > 0:
    vendor = rng.choice(["Contoso", "Fabrikam", "Northwind", "Litware", "Tailspin", "Adatum"])
    product = "%s %s" % (rng.choice(COMPONENT_WORDS).capitalize(), rng.choice(["Studio", "Suite",
                                                                              "Tools", "Runtime"]))
    version = "%d.%d.%d.%d" % (rng.randrange(1, 30), rng.randrange(10), rng.randrange(100),
                               rng.randrange(10000))
    base = "Program Files/%s/%s/%s" % (vendor, product, version)
    for sub in ["bin", "lib", "resources/app/node_modules/" + rng.choice(COMPONENT_WORDS),
                "resources/locales", "plugins/%s/lib/%s" % (rng.choice(COMPONENT_WORDS),
                                                           rng.choice(COMPONENT_WORDS)),
                "share/doc/%s/html/_static/css" % rng.choice(COMPONENT_WORDS)]:
        n = min(left, rng.randint(5, 120))
        write_folder(base + "/" + sub,
                     [("%s%04d%s" % (rng.choice(COMPONENT_WORDS), k,
                                     rng.choice([".dll", ".js", ".json", ".pak", ".html"])),
                       small_size() if rng.random() < 0.95 else dll_size(), rng.random() < 0.5)
                      for k in range(n)])
        left -= n
        if left <= 0:
            break
    if rng.random() < 0.3:
        mkdir(base + "/logs/empty%d" % rng.randrange(1000))
        stats["empty_dirs"] += 1

# Users: browser-like caches, two hex levels, tiny files; and the rest of the quota.
users = ["Administrator", "Default", "Lan", "Zhou"]
left = target_files - stats["files"] - stats["links"]
while left > 0:
    user = rng.choice(users)
    app = rng.choice(["Google/Chrome/User Data/Default/Code Cache/js",
                      "Microsoft/Edge/User Data/Default/Cache/Cache_Data",
                      "Packages/Microsoft.Windows.Photos_8wekyb3d8bbwe/LocalState/PhotosAppTile",
                      "Temp/" + hexname(8)])
    rel = "Users/%s/AppData/Local/%s/%s/%s" % (user, app, hexname(2), hexname(2))
    n = min(left, rng.randint(1, 40))
    write_folder(rel, [("f_%s" % hexname(6), log_uniform(60, 8 * 1024), rng.random() < 0.7)
                       for _ in range(n)])
    left -= n
    if rng.random() < 0.05:
        mkdir(rel + "/index-dir")
        stats["empty_dirs"] += 1

stats["dirs"] = len(made_dirs)
print("files %(files)d (empty %(empty_files)d), hard links %(links)d, folders %(dirs)d "
      "(empty %(empty_dirs)d), %(bytes)d bytes" % stats)
