#!/usr/bin/env python3
"""Writes the tree of a large update package below FOLDER (deterministic).

usage: make_package.py FOLDER [FILES] [TOTAL_MB]
FILES files (default 20,000) of 1 to about 19 KB averaging TOTAL_MB / FILES
(default 200 MB in all), 100 to a folder, 10 folders to a group, the way a
course's pages and their pictures lie.
"""
import os
import sys


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    total = (int(sys.argv[3]) if len(sys.argv) > 3 else 200) << 20
    mean = total // files
    block = bytes((i * 7 + i // 251) & 0xFF for i in range(1 << 16))
    for i in range(files):
        # Sizes spread around the mean, summing to about the total.
        size = mean // 10 + (i * 2654435761) % (mean * 18 // 10)
        path = os.path.join(folder, "content", f"g{i // 1000:02d}", f"p{i // 100:03d}",
                            f"page{i:05d}.htm")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            start = (i * 131) % 4096
            out.write(block[start:start + size])


main()
