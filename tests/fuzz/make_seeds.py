#!/usr/bin/env python3
"""Seed corpora of real inputs for the fuzz targets: archives written by an independent writer
(stored, deflated, Zip64, UTF-8 names, empty), cut and damaged forms of them.
    make_seeds.py FOLDER"""
import io
import os
import sys
import zipfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def archive(name, files, compression=zipfile.ZIP_DEFLATED, zip64=False):
    b = io.BytesIO()
    with zipfile.ZipFile(b, "w", compression) as z:
        for n, data in files:
            with z.open(n, "w", force_zip64=zip64) as f:
                f.write(data)
    data = b.getvalue()
    open(os.path.join(out, name), "wb").write(data)
    return data


plain = archive("plain.zip", [("a/b.txt", b"hello" * 100), ("c.bin", bytes(range(256)))])
archive("stored.zip", [("s.txt", b"stored text")], zipfile.ZIP_STORED)
archive("zip64.zip", [("big.txt", b"z" * 1000)], zip64=True)
archive("utf8.zip", [("\u0418\u0432\u0430\u043d/\u65e5\u672c.txt", b"names")])
archive("empty.zip", [])
open(os.path.join(out, "cut.zip"), "wb").write(plain[: len(plain) // 2])
open(os.path.join(out, "tail.zip"), "wb").write(plain[-60:])
