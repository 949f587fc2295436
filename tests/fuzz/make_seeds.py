#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpus (corpus/<target>/): small update archives of both
slot widths, well-formed and not, each paired with the names the updater asks for.

Run it again after changing an input layout; the files it writes are committed."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def archive(digit, entries, data, count=None):
    """Header with this format digit, name slots, extent records (offset, size), data."""
    width = 32 if digit == 0x32 else 16
    count = len(entries) if count is None else count
    out = bytearray(b"UPDATEDATA" + b"\0" + bytes([digit]) + struct.pack("<I", count))
    for name, _, _ in entries:
        out += name[:width].ljust(width, b"\0")
    for _, offset, size in entries:
        out += struct.pack("<II", offset, size)
    return bytes(out + data)


def packed(digit, members):
    entries, data = [], b""
    for name, body in members:
        entries.append((name, len(data), len(body)))
        data += body
    return archive(digit, entries, data)


GAME = [(b"pkadv.exe", b"MZ" + bytes(range(40))), (b"Archive.dat", b"ARCH" * 9),
        (b"Instdata.pak", b"PAK!" * 5)]

ARCHIVES = {
    "wide": packed(0x32, GAME),
    "narrow": packed(0x31, GAME),
    "narrow-digit-0": packed(0x00, GAME),
    "empty": archive(0x32, [], b""),
    "twelve-bytes": packed(0x32, GAME)[:12],
    "cut-directory": packed(0x32, GAME)[:70],
    "cut-data": packed(0x31, GAME)[:-10],
    "twins-by-case": packed(0x31, [(b"PKADV.EXE", b"first"), (b"pkadv.exe", b"second")]),
    "slot-without-nul": archive(0x31, [(b"ABCDEFGHIJKLMNOP", 0, 4)], b"data"),
    "past-the-end": archive(0x32, [(b"pkadv.exe", 2, 1000)], b"short"),
    "offset-beyond-2g": archive(0x32, [(b"pkadv.exe", 0x80000000, 4)], b"data"),
    "empty-member": archive(0x31, [(b"pkadv.exe", 0, 0), (b"Archive.dat", 0, 3)], b"abc"),
    "count-beyond-file": archive(0x31, [(b"pkadv.exe", 0, 3)], b"abc", count=5000),
}

NAMES = [b"pkadv.exe", b"ARCHIVE.DAT", b"folder\\Instdata.pak", b"a/b", b"x\\",
         b"ABCDEFGHIJKLMNOP"]


def write(target, label, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, label), "wb") as out:
        out.write(data)


for label, body in ARCHIVES.items():
    write("archive_listing", label, body)
    for i, name in enumerate(NAMES):
        write("archive_lookup", f"{label}-{i}", bytes([len(name)]) + name + body)
    # Control byte: bit 0 set means no archive, bit 1 a loose file of the name; no fault.
    write("payload_stream", f"{label}-archived", bytes([0, len(NAMES[0])]) + NAMES[0] + body)
    write("payload_stream", f"{label}-loose", bytes([2, len(NAMES[0])]) + NAMES[0] + body)
write("payload_stream", "no-archive", bytes([1, 9]) + b"pkadv.exe")
write("payload_stream", "short-read", bytes([0x44, 9]) + b"pkadv.exe" + ARCHIVES["wide"])
