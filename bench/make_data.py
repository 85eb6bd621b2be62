#!/usr/bin/env python3
"""Makes the benchmark data: a pair of identical large files, and a pair of
trees of many small files with a few differences. Deterministic for a seed."""
import os
import random
import shutil
import sys


def make_large_pair(folder, size):
    os.makedirs(folder, exist_ok=True)
    a, b = os.path.join(folder, "large-a.bin"), os.path.join(folder, "large-b.bin")
    if os.path.exists(a) and os.path.getsize(a) == size and os.path.exists(b):
        return
    rnd = random.Random(1)
    chunk = rnd.randbytes(1 << 20)
    with open(a, "wb") as fa:
        left = size
        i = 0
        while left > 0:
            # Vary each MiB a little so no two blocks are the same.
            piece = i.to_bytes(8, "little") + chunk[8:]
            fa.write(piece[:left])
            left -= len(piece)
            i += 1
    shutil.copyfile(a, b)


def make_small_trees(folder, count):
    src, dst = os.path.join(folder, "small-src"), os.path.join(folder, "small-dst")
    marker = os.path.join(folder, f"small-{count}.done")
    if os.path.exists(marker):
        return
    shutil.rmtree(src, ignore_errors=True)
    shutil.rmtree(dst, ignore_errors=True)
    rnd = random.Random(2)
    for i in range(count):
        sub = f"d{i % 40:02d}/e{i % 7}"
        os.makedirs(os.path.join(src, sub), exist_ok=True)
        data = rnd.randbytes(rnd.randint(1024, 16 * 1024))
        with open(os.path.join(src, sub, f"f{i:05d}.dat"), "wb") as f:
            f.write(data)
    shutil.copytree(src, dst)
    # A few differences: changed contents, a changed length, a missing file.
    for i in (17, 4711, 12345):
        p = os.path.join(dst, f"d{i % 40:02d}/e{i % 7}", f"f{i:05d}.dat")
        with open(p, "r+b") as f:
            f.seek(100)
            f.write(b"\xff")
    p = os.path.join(dst, "d05/e5", "f00005.dat")
    with open(p, "ab") as f:
        f.write(b"x")
    os.remove(os.path.join(dst, "d06/e6", "f00006.dat"))
    open(marker, "w").close()


if __name__ == "__main__":
    folder = sys.argv[1]
    large = int(sys.argv[2]) if len(sys.argv) > 2 else 1 << 30
    small = int(sys.argv[3]) if len(sys.argv) > 3 else 20000
    make_large_pair(folder, large)
    make_small_trees(folder, small)
