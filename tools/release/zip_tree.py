#!/usr/bin/env python3
"""Writes every file under DIR into the zip archive OUT, the same bytes on every
run: entries sorted by path, each with the time EPOCH (seconds since 1970, as
UTC), permissions rw-r--r--, no extra fields.

    zip_tree.py DIR OUT EPOCH
"""
import os
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01, the earliest time a zip entry can hold


def main():
    root, out, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
    stamp = time.gmtime(max(epoch, ZIP_EPOCH))[:6]
    paths = sorted(
        os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")
        for folder, _, names in os.walk(root)
        for name in names
    )
    with zipfile.ZipFile(out, "w") as archive:
        for path in paths:
            entry = zipfile.ZipInfo(path, stamp)
            entry.create_system = 3  # Unix, so the permissions below apply
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(root, path), "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)


if __name__ == "__main__":
    main()
