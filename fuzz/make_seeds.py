#!/usr/bin/python3
"""Writes the fuzzers' seed corpus: small valid and broken pictures of every
kind the loader recognises, a few KB each. BMP, icon and odd GIF/PCX files are
built byte by byte; JPEG and the ordinary GIF and PCX files come from Pillow.

    /usr/bin/python3 fuzz/make_seeds.py fuzz/corpus [real-world picture folder]

The optional folder adds a handful of small real-world files by name."""
import io
import os
import shutil
import struct
import sys

from PIL import Image

OUT = sys.argv[1]
REAL = sys.argv[2] if len(sys.argv) > 2 else None


def put(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def pattern(w, h):
    img = Image.new("RGB", (w, h))
    img.putdata([((x * 37) % 256, (y * 59) % 256, ((x + y) * 23) % 256) for y in range(h) for x in range(w)])
    return img


# ---- BMP -------------------------------------------------------------------
def bmp(width, height, bits, rows, palette=(), colours_used=0, compression=0, offset=None, header_size=40):
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    extra = header_size - 40
    off = 14 + header_size + len(table) if offset is None else offset
    pixel_data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits, compression, len(pixel_data),
                       2834, 2834, colours_used, 0) + b"\0" * extra
    head = b"BM" + struct.pack("<IHHI", off + len(pixel_data), 0, 0, off)
    gap = b"\0" * max(0, off - (14 + header_size + len(table)))
    return head + info + table + gap + pixel_data


def pad(row):
    return row + b"\0" * ((4 - len(row) % 4) % 4)


def packed_rows(w, h, bits):
    rows = []
    for y in range(h):
        values = [(x + y) % (1 << bits) for x in range(w)]
        acc, n, out = 0, 0, bytearray()
        for v in values:
            acc = (acc << bits) | v
            n += bits
            if n == 8:
                out.append(acc)
                acc, n = 0, 0
        if n:
            out.append(acc << (8 - n))
        rows.append(pad(bytes(out)))
    return rows


def grey_palette(n):
    return [(i * 255 // max(1, n - 1),) * 3 for i in range(n)]


def rgb_rows(w, h, bits):
    img = pattern(w, h)
    rows = []
    for y in range(h):
        row = bytearray()
        for x in range(w):
            r, g, b = img.getpixel((x, y))
            row += bytes((b, g, r)) + (b"\x80" if bits == 32 else b"")
        rows.append(pad(bytes(row)))
    return rows


put("bmp-1bit.bmp", bmp(13, 7, 1, packed_rows(13, 7, 1), [(0, 0, 0), (255, 255, 255)]))
put("bmp-4bit.bmp", bmp(11, 6, 4, packed_rows(11, 6, 4), grey_palette(16)))
put("bmp-8bit-full-table.bmp", bmp(9, 5, 8, packed_rows(9, 5, 8), grey_palette(256)))
put("bmp-8bit-short-table.bmp", bmp(9, 5, 8, packed_rows(9, 5, 8), grey_palette(12), colours_used=12))
put("bmp-24bit.bmp", bmp(9, 5, 24, rgb_rows(9, 5, 24)))
put("bmp-24bit-topdown.bmp", bmp(9, -5, 24, rgb_rows(9, 5, 24)))
put("bmp-32bit.bmp", bmp(6, 4, 32, rgb_rows(6, 4, 32)))
put("bmp-24bit-gap-before-pixels.bmp", bmp(4, 3, 24, rgb_rows(4, 3, 24), offset=70))
put("bmp-v5-header.bmp", bmp(5, 4, 24, rgb_rows(5, 4, 24), header_size=124))
put("bmp-truncated.bmp", bmp(9, 5, 24, rgb_rows(9, 5, 24))[:54 + 60])
put("bmp-rle8.bmp", bmp(4, 2, 8, [b"\x04\x01\x00\x00", b"\x04\x02\x00\x01"], grey_palette(4), 4, compression=1))
put("bmp-16bit.bmp", bmp(4, 2, 16, [b"\x1f\x00" * 4] * 2))
put("bmp-table-past-offset.bmp", bmp(8, 2, 1, packed_rows(8, 2, 1), [(0, 0, 0), (255, 255, 255)], offset=54))
put("bmp-header-only.bmp", bmp(9, 5, 24, rgb_rows(9, 5, 24))[:54])

# ---- JPEG ------------------------------------------------------------------
def jpeg(img, **options):
    b = io.BytesIO()
    img.save(b, "JPEG", **options)
    return b.getvalue()


baseline = jpeg(pattern(40, 24), quality=70)
put("jpeg-baseline.jpg", baseline)
put("jpeg-baseline-444.jpg", jpeg(pattern(17, 9), quality=90, subsampling=0))
put("jpeg-progressive.jpg", jpeg(pattern(40, 24), quality=70, progressive=True))
put("jpeg-grey.jpg", jpeg(pattern(16, 16).convert("L"), quality=80))
put("jpeg-restart-markers.jpg", jpeg(pattern(48, 16), quality=60, restart_marker_blocks=1))
put("jpeg-truncated.jpg", baseline[: len(baseline) * 2 // 3])
put("jpeg-cmyk.jpg", jpeg(pattern(16, 8).convert("CMYK"), quality=80))
put("jpeg-soi-only.jpg", b"\xff\xd8\xff\xd9\0\0")

# ---- GIF -------------------------------------------------------------------
def pillow_gif(img, **options):
    b = io.BytesIO()
    img.save(b, "GIF", **options)
    return b.getvalue()


put("gif-87a.gif", pillow_gif(pattern(16, 12).quantize(16)))
put("gif-89a-transparent.gif", pillow_gif(pattern(16, 12).quantize(16), transparency=3, comment=b"seed"))
put("gif-interlaced.gif", pillow_gif(pattern(20, 24).quantize(32), interlace=True))
frames = [pattern(12, 12).quantize(8), pattern(12, 12).rotate(90).quantize(8)]
put("gif-animated.gif", pillow_gif(frames[0], save_all=True, append_images=frames[1:], duration=100, loop=0))


def lzw_uncompressed(indices, min_size):
    """Codes that never use the table: a clear code before the table grows a bit."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    width = min_size + 1
    codes, since_clear = [clear], 0
    for v in indices:
        if since_clear == (1 << width) - (clear + 2) - 1:
            codes.append(clear)
            since_clear = 0
        codes.append(v)
        since_clear += 1
    codes.append(end)
    acc, n, out = 0, 0, bytearray()
    for c in codes:
        acc |= c << n
        n += width
        while n >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            n -= 8
    if n:
        out.append(acc)
    blocks = b"".join(bytes((len(out[i:i + 255]),)) + bytes(out[i:i + 255]) for i in range(0, len(out), 255))
    return bytes((min_size,)) + blocks + b"\0"


def gif(screen_w, screen_h, image, left=0, top=0, global_table=None, local_table=None, before=b"",
        interlaced=False, version=b"GIF89a"):
    w, h, indices = image
    flags = 0
    gt = b""
    if global_table:
        flags = 0x80 | (len(global_table).bit_length() - 2)
        gt = b"".join(bytes(c) for c in global_table)
    out = version + struct.pack("<HHBBB", screen_w, screen_h, flags, 0, 0) + gt + before
    iflags = 0x40 if interlaced else 0
    lt = b""
    if local_table:
        iflags |= 0x80 | (len(local_table).bit_length() - 2)
        lt = b"".join(bytes(c) for c in local_table)
    out += b"\x2c" + struct.pack("<HHHHB", left, top, w, h, iflags) + lt
    return out + lzw_uncompressed(indices, 2) + b"\x3b"


four = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255)]
put("gif-image-smaller-than-screen.gif",
    gif(20, 20, (10, 10, [(i // 10 + i) % 4 for i in range(100)]), left=5, top=5, global_table=four))
put("gif-local-table.gif", gif(8, 8, (8, 8, [i % 4 for i in range(64)]), local_table=four[::-1]))
put("gif-no-table.gif", gif(6, 6, (6, 6, [i % 4 for i in range(36)])))
put("gif-extensions.gif",
    gif(8, 4, (8, 4, [i % 4 for i in range(32)]), global_table=four,
        before=b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
               b"\x21\x01\x0c" + b"\0" * 12 + b"\x04text\x00"
               b"\x21\xfe\x03abc\x00"
               b"\x21\xf9\x04\x01\x0a\x00\x02\x00"))
put("gif-image-beyond-screen.gif", gif(4, 4, (8, 8, [i % 4 for i in range(64)]), global_table=four))
put("gif-87a-interlaced-handmade.gif",
    gif(5, 9, (5, 9, [i % 4 for i in range(45)]), global_table=four, interlaced=True, version=b"GIF87a"))
put("gif-cut-in-image-data.gif", gif(8, 8, (8, 8, [i % 4 for i in range(64)]), global_table=four)[:45])

# ---- Icon and cursor ---------------------------------------------------------
def icon_image(w, h, bits, palette=(), alpha_mask=None):
    """A bitmap-form icon image: header with doubled height, table, colours, mask."""
    if bits in (1, 4, 8):
        colour = b"".join(packed_rows(w, h, bits))
    else:
        colour = b"".join(rgb_rows(w, h, bits))
    mask_rows = []
    for y in range(h):
        bitsrow = bytearray((w + 7) // 8)
        for x in range(w):
            if (x + y) % 5 == 0:
                bitsrow[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(pad(bytes(bitsrow)))
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    head = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bits, 0, 0, 0, 0, 0, 0)
    return head + table + colour + b"".join(mask_rows)


def icon_file(entries, kind=1):
    """entries: (width byte, height byte, colour count byte, image bytes)"""
    out = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    body = b""
    for (w, h, colours, image) in entries:
        out += struct.pack("<BBBBHHII", w, h, colours, 0, 1, 0, len(image), offset + len(body))
        body += image
    return out + body


put("ico-1bit.ico", icon_file([(8, 8, 2, icon_image(8, 8, 1, [(0, 0, 0), (255, 255, 255)]))]))
put("ico-4bit.ico", icon_file([(16, 16, 16, icon_image(16, 16, 4, grey_palette(16)))]))
put("ico-8bit.ico", icon_file([(8, 8, 0, icon_image(8, 8, 8, grey_palette(256)))]))
put("ico-24bit.ico", icon_file([(8, 8, 0, icon_image(8, 8, 24))]))
put("ico-32bit.ico", icon_file([(8, 8, 0, icon_image(8, 8, 32))]))
put("ico-three-entries.ico", icon_file([
    (16, 16, 16, icon_image(16, 16, 4, grey_palette(16))),
    (32, 32, 16, icon_image(32, 32, 4, grey_palette(16))),
    (24, 24, 0, icon_image(24, 24, 24)),
]))
put("ico-odd-height.ico", icon_file([(7, 5, 0, icon_image(7, 5, 24))]))
put("cur-1bit.cur", icon_file([(32, 32, 2, icon_image(32, 32, 1, [(0, 0, 0), (255, 255, 255)]))], kind=2))
put("ico-entry-outside-file.ico", icon_file([(8, 8, 0, icon_image(8, 8, 24))])[:40])

# ---- PCX -------------------------------------------------------------------
def pillow_pcx(img):
    b = io.BytesIO()
    img.save(b, "PCX")
    return b.getvalue()


put("pcx-8bit.pcx", pillow_pcx(pattern(15, 10).quantize(64)))
put("pcx-1bit.pcx", pillow_pcx(pattern(21, 9).convert("1")))


def pcx(bits, planes, w, h, bytes_per_line, body, version=5):
    head = struct.pack("<BBBBHHHHHH", 0x0A, version, 1, bits, 0, 0, w - 1, h - 1, 72, 72)
    head += b"\0" * 48 + b"\0" + bytes((planes,)) + struct.pack("<HH", bytes_per_line, 1)
    return head + b"\0" * (128 - len(head)) + body


# Runs that cross the end of each line, then the table marker and table.
put("pcx-8bit-runs-cross-lines.pcx",
    pcx(8, 1, 6, 4, 6, b"\xc9\x01\xc9\x02\xc6\x03" + b"\x0c" + bytes(range(256)) * 3))
put("pcx-1bit-literal-c0.pcx", pcx(1, 1, 16, 3, 2, b"\xc0\x55\xc2\xaa\xc0\xc1\x0f", version=3))
put("pcx-8bit-no-table-marker.pcx", pcx(8, 1, 4, 2, 4, b"\x01\x02\x03\x04\xc4\x05"))

# ---- Real-world files ----------------------------------------------------------
if REAL:
    for rel in [
        "ico/gfxprim-ico-valid-png_8x8.ico",
        "ico/imagers-regression-ico-crash-981fee302fe0fc543ee48292cc3d6ace7e97e633.ico",
        "ico/imagers-regression-ico-oom-ff076e7064c13ec1f8e2c5bbbfb7a77a08db2361.ico",
        "jpeg/imagers-regression-jpg-oss-fuzz-36829.jpeg",
        "jpeg/gfxprim-jpeg-exif-cs-adobe_gamma22_ii.jpg",
        "gif/imagers-images-gif-anim-oob.gif",
        "gif/gdkpixbuf-test-images-fail-invalid.4.gif",
        "pcx/pillow-pcx_overrun.bin",
        "pcx/pillow-ossfuzz-4836216264589312.pcx",
        "bmp/bmpsuite-b-badrle4.bmp",
    ]:
        shutil.copy(os.path.join(REAL, rel), os.path.join(OUT, "real-" + os.path.basename(rel)))
