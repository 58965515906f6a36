#!/usr/bin/env python3
"""Normalise an 8-bit BMP written by ImageMagick so that it is exactly:
BITMAPINFOHEADER (40 bytes), bottom-up, 8 bpp, BI_RGB, a full 256-entry
colour table (biClrUsed = 256), the given pixels per metre in both directions
(5936 when none is given).

Usage: bmpfix.py FILE.bmp [PIXELS_PER_METRE]   (rewritten in place)
"""
import struct
import sys

PPM = 5936  # pixels per metre (about 150.8 DPI)


def main(path, ppm=PPM):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        sys.exit("not a BMP: %s" % path)
    off_bits = struct.unpack_from("<I", data, 10)[0]
    (hsize, width, height, planes, bpp, comp, _simg, _xppm, _yppm,
     clr_used, _clr_imp) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    if hsize != 40:
        sys.exit("unexpected header size %d" % hsize)
    if bpp != 8 or comp != 0 or planes != 1:
        sys.exit("expected 8 bpp BI_RGB, got %d bpp, compression %d" % (bpp, comp))
    if height <= 0:
        sys.exit("expected a bottom-up BMP")
    n = clr_used or 256
    pal = data[14 + 40:14 + 40 + 4 * n]
    pal = pal + b"\0" * (1024 - len(pal))           # pad to 256 entries
    stride = (width + 3) & ~3
    pixels = data[off_bits:off_bits + stride * height]
    if len(pixels) != stride * height:
        sys.exit("truncated pixel data")
    off = 14 + 40 + 1024
    size = off + len(pixels)
    out = (struct.pack("<2sIHHI", b"BM", size, 0, 0, off) +
           struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0,
                       len(pixels), ppm, ppm, 256, 0) +
           pal + pixels)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else PPM)
