#!/usr/bin/env python3
"""Adds the files of one benchmark shape below a folder (deterministic).

usage: make_tree.py SHAPE FOLDER [SIZE_MB]
  small   20,000 files of 1 to 8 KB, 100 to a folder
  mixed   2,000 files: 1,800 pages of 1 to 16 KB and 200 media files of
          256 KB to 2 MB, 50 to a folder
  large   20 files of SIZE_MB (default 10) MB each, in one folder
  wide    100,000 files of 64 bytes in one folder (memory of a large folder)
"""
import os
import sys


def write(path, size, seed):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    block = bytes((seed * 131 + i * 7) & 0xFF for i in range(4096))
    with open(path, "wb") as out:
        left = size
        while left > 0:
            n = min(left, len(block))
            out.write(block[:n])
            left -= n


def spread(i, lo, hi):
    return lo + (i * 2654435761) % (hi - lo + 1)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    shape, folder = sys.argv[1], sys.argv[2]
    root = os.path.join(folder, "content", "bench")
    if shape == "small":
        for i in range(20000):
            write(f"{root}/g{i // 2000:02d}/p{i // 100:04d}/page{i:06d}.htm",
                  spread(i, 1024, 8192), i)
    elif shape == "mixed":
        for i in range(2000):
            if i % 10 == 9:
                name, size = f"clip{i:05d}.wmv", spread(i, 256 << 10, 2 << 20)
            else:
                name, size = f"page{i:05d}.htm", spread(i, 1024, 16384)
            write(f"{root}/p{i // 50:03d}/{name}", size, i)
    elif shape == "large":
        mb = int(sys.argv[3]) if len(sys.argv) > 3 else 10
        for i in range(20):
            write(f"{root}/big{i:02d}.wmv", mb << 20, i)
    elif shape == "wide":
        os.makedirs(root, exist_ok=True)
        data = b"x" * 64
        for i in range(100000):
            with open(f"{root}/f{i:06d}.htm", "wb") as out:
                out.write(data)
    else:
        sys.exit(__doc__)


main()
