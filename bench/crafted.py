#!/usr/bin/env python3
"""Crafted dictionaries that once made a small file cost a lot, and what they
cost now: time, peak memory and output of the kebu commands on each.

    bench/crafted.py KEBU [OUTDIR]      makes the files in OUTDIR (default
                                        /tmp/kebu-crafted), runs KEBU on them

The files (code page 932, version 5, 1024-byte blocks, one record area that
every index entry names):
  dump.dic    100 entries naming one area of 3,000 records
  rule.dic    10,000 such entries (the window's export stops after entry
              10,000, so before, it wrote 10,000 copies of the area)
  cpu.dic     entries with the key "b", all naming one area of "a" records:
              a lookup of "b" finds nothing, but read the area once per entry
  pool.dic    entries naming one area of records with 1,000-byte headwords:
              the empty key with no limit collected a hit per entry and record
Each command runs with a time limit of 60 s; a run that hits it is reported
as such.
"""
import os
import struct
import subprocess
import sys
import time

SIGNATURE = b"=============== Dictionary for KEBU ==============="
BLOCK = 1024


def record(headword, previous, translation):
    """One code page 932 record with 2-byte lengths, prefix-compressed."""
    shared = 0
    while (shared < min(len(previous), len(headword), 255)
           and previous[shared] == headword[shared]):
        shared += 1
    tail = headword[shared:]
    body = tail + b"\0" + b"\x01" + translation
    return struct.pack("<HB", len(body), shared) + body


def area(headwords, translation=b"t"):
    data = bytearray()
    previous = b""
    for h in headwords:
        data += record(h, previous, translation)
        previous = h
    data += b"\0\0"
    blocks = (len(data) + 2 + BLOCK - 1) // BLOCK
    return struct.pack("<H", blocks) + bytes(data) + b"\0" * (blocks * BLOCK - len(data) - 2)


def dictionary(entries, data, nword):
    index = b"".join(struct.pack("<H", block) + key + b"\0" for block, key in entries)
    index_blocks = (len(index) + BLOCK - 1) // BLOCK
    header = bytearray(256)
    header[13:13 + len(SIGNATURE)] = SIGNATURE
    struct.pack_into("<hhhhhh", header, 140, 0x0500, 0, 0, BLOCK, index_blocks, 256)
    struct.pack_into("<i", header, 160, nword)
    struct.pack_into("<i", header, 192, len(entries))
    struct.pack_into("<i", header, 196, len(data) // BLOCK)
    return bytes(header) + index + b"\0" * (index_blocks * BLOCK - len(index)) + data


def make(folder):
    os.makedirs(folder, exist_ok=True)
    words = [b"a%05d" % i for i in range(3000)]
    files = {
        "dump.dic": dictionary([(0, b"a")] * 100, area(words), 3000),
        "rule.dic": dictionary([(0, b"a")] * 10000, area(words), 3000),
        "cpu.dic": dictionary([(0, b"a")] + [(0, b"b")] * 2000, area(words), 3000),
        "pool.dic": dictionary([(0, b"a")] * 2000,
                               area([b"a" * 1000 + b"%04d" % i for i in range(60)]), 60),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return files


def measure(command, output):
    """Seconds, peak kilobytes and output bytes of one command."""
    start = time.monotonic()
    try:
        with open(output, "wb") as out:
            done = subprocess.run(["/usr/bin/time", "-f", "%M", *command], stdout=out,
                                  stderr=subprocess.PIPE, timeout=60)
        seconds = time.monotonic() - start
        peak = int(done.stderr.decode().strip().splitlines()[-1])
        return f"{seconds:.3f} s", f"{peak / 1024:.1f} MiB", f"{os.path.getsize(output):,} bytes"
    except subprocess.TimeoutExpired:
        size = os.path.getsize(output) if os.path.exists(output) else 0
        return "> 60 s (stopped)", "-", f"{size:,} bytes so far"


def main():
    kebu = sys.argv[1]
    folder = sys.argv[2] if len(sys.argv) > 2 else "/tmp/kebu-crafted"
    files = make(folder)
    out = os.path.join(folder, "out")
    runs = [
        ("dump.dic", ["dump", "--json"]),
        ("dump.dic", ["export", "-"]),
        ("rule.dic", ["export", "-", "--stop-after-entry", "10000"]),
        ("cpu.dic", ["lookup", "b"]),
        ("pool.dic", ["lookup", "", "--limit", "0"]),
    ]
    print("| file | size | command | time | peak memory | output |")
    print("|---|---|---|---|---|---|")
    for name, args in runs:
        path = os.path.join(folder, name)
        command = [kebu, args[0], path, *args[1:]]
        t, m, o = measure(command, out)
        shown = " ".join(["kebu", args[0], name, *args[1:]])
        print(f"| {name} | {len(files[name]) // 1024} KB | `{shown}` | {t} | {m} | {o} |")
    os.remove(out)


if __name__ == "__main__":
    main()
