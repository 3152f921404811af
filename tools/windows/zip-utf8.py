#!/usr/bin/env python3
"""Zips a folder with every name in UTF-8 and the UTF-8 flag set, or checks
an archive for it.

  zip-utf8.py ARCHIVE BASE FOLDER   zips BASE/FOLDER as FOLDER/... into ARCHIVE
  zip-utf8.py --check ARCHIVE       every name with a byte of 0x80 or more has
                                    general-purpose bit 11, in the central
                                    directory and in its local header
"""
import os
import struct
import sys
import zipfile

UTF8_FLAG = 0x800


def make(archive, base, folder):
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as out:
        for root, dirs, files in os.walk(os.path.join(base, folder)):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(root, name)
                # zipfile sets bit 11 for every name that is not plain ASCII.
                out.write(path, os.path.relpath(path, base).replace(os.sep, "/"))


def check(archive):
    data = open(archive, "rb").read()
    end = data.rfind(b"PK\x05\x06")
    if end < 0:
        print(f"{archive}: no central directory", file=sys.stderr)
        return 1
    count, = struct.unpack("<H", data[end + 10:end + 12])
    at, = struct.unpack("<I", data[end + 16:end + 20])
    bad = []
    for _ in range(count):
        flags, = struct.unpack("<H", data[at + 8:at + 10])
        name_len, extra_len, comment_len = struct.unpack("<HHH", data[at + 28:at + 34])
        local, = struct.unpack("<I", data[at + 42:at + 46])
        name = data[at + 46:at + 46 + name_len]
        local_flags, = struct.unpack("<H", data[local + 6:local + 8])
        if any(b >= 0x80 for b in name) and not (flags & local_flags & UTF8_FLAG):
            bad.append(name.decode("utf-8", "replace"))
        at += 46 + name_len + extra_len + comment_len
    for name in bad:
        print(f"{archive}: {name}: no UTF-8 flag", file=sys.stderr)
    return 1 if bad else 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        sys.exit(check(sys.argv[2]))
    if len(sys.argv) == 4:
        make(*sys.argv[1:])
        sys.exit(0)
    print(__doc__, file=sys.stderr)
    sys.exit(2)
