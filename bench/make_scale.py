#!/usr/bin/env python3
"""Makes the data of the scale benchmark: a Source tree of FILES small files
(1 to 4 KiB each) in FOLDERS folders, and an identical Target tree.
Deterministic; a marker file says the trees are complete, so a second call
costs nothing.
    make_scale.py FOLDER FILES FOLDERS"""
import os
import random
import shutil
import subprocess
import sys


def make_trees(folder, files, folders):
    src, dst = os.path.join(folder, "src"), os.path.join(folder, "dst")
    marker = os.path.join(folder, "complete")
    if os.path.exists(marker):
        return
    shutil.rmtree(src, ignore_errors=True)
    shutil.rmtree(dst, ignore_errors=True)
    rnd = random.Random(24)
    pool = rnd.randbytes(1 << 20)
    per_folder = (files + folders - 1) // folders
    made = 0
    for d in range(folders):
        sub = os.path.join(src, f"d{d:04d}")
        os.makedirs(sub)
        for i in range(min(per_folder, files - made)):
            size = rnd.randint(1024, 4096)
            at = rnd.randrange(0, len(pool) - size)
            with open(os.path.join(sub, f"file{made:07d}.dat"), "wb") as f:
                f.write(made.to_bytes(8, "little") + pool[at + 8:at + size])
            made += 1
    subprocess.run(["cp", "-a", src, dst], check=True)
    open(marker, "w").close()


if __name__ == "__main__":
    make_trees(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]))
