#!/usr/bin/env python3
"""Rewrites a bare H.264 stream (Annex B) in the client's ".264" record format.

Usage: sd-to-record-format.py IN OUT [--fps 25]

Every access unit becomes one video record: the 28-byte little-endian header
(flags: 1 for a key frame; media type 1; payload size; frame rate; time stamp
in milliseconds; eight reserved bytes) followed by the unit's NAL units with
their start codes. An access unit starts at a parameter set or SEI after a
picture, or at a slice whose first_mb_in_slice is 0. The simulated cameras'
SD cards hold files made this way beside bare streams.
"""
import struct
import sys


def nal_units(data):
    starts = []
    i = 0
    while True:
        i = data.find(b"\x00\x00\x01", i)
        if i < 0:
            break
        begin = i - 1 if i > 0 and data[i - 1] == 0 else i
        starts.append((begin, i + 3))
        i += 3
    for n, (begin, header) in enumerate(starts):
        end = starts[n + 1][0] if n + 1 < len(starts) else len(data)
        yield data[begin:end], data[header] & 0x1F, data[header + 1] if header + 1 < len(data) else 0


def access_units(data):
    unit, has_picture, key = b"", False, False
    for nal, kind, first in nal_units(data):
        slice_start = kind in (1, 5) and (first & 0x80)
        if has_picture and (kind in (6, 7, 8, 9) or slice_start):
            yield unit, key
            unit, has_picture, key = b"", False, False
        unit += nal
        if kind in (1, 5):
            has_picture = True
        if kind == 5:
            key = True
    if unit:
        yield unit, key


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    fps = int(sys.argv[4]) if len(sys.argv) > 4 and sys.argv[3] == "--fps" else 25
    data = open(sys.argv[1], "rb").read()
    out = bytearray()
    stamp = 1000
    for unit, key in access_units(data):
        out += struct.pack("<5I8x", 1 if key else 0, 1, len(unit), fps, stamp)
        out += unit
        stamp += 1000 // fps
    open(sys.argv[2], "wb").write(out)


if __name__ == "__main__":
    main()
