#!/usr/bin/python3
"""make_pictures.py OUTDIR [--size W H] [--check MESHARA_CLI]

Writes a picture of every layout Meshara reads (PNG, BMP and TGA by hand from numpy samples, JPEG by
Pillow) as OUTDIR/NAME.EXT with the pixels it stands for as OUTDIR/NAME.want.ppm, and files that must be
refused. The rules: 16-bit samples keep their high byte, alpha is dropped, a field of n bits becomes
round(v * 255 / (2**n - 1)); where Pillow reads a file by the same rules it must agree, which checks the
writers here. JPEG's pixels are Pillow's. --check decodes each with `MESHARA_CLI decode` and compares:
lossless ones exactly, JPEG within 3 levels, refusals by their reason.
"""
import argparse, io, itertools, re, struct, subprocess, sys, warnings, zlib
from pathlib import Path

import numpy as np
from PIL import Image

rng = np.random.default_rng(17)
warnings.simplefilter("ignore")  # Pillow's advice on palettes with transparency


def scaled(v, bits):
    return ((v.astype(np.uint64) * 510 + (2**bits - 1)) // (2 * (2**bits - 1))).astype(np.uint8)


def runs(h, w, count, channels=()):
    """Samples with runs of one value that cross row ends, for run-length coding."""
    flat, values = [], rng.integers(0, count, (h * w,) + channels)
    while len(flat) < h * w:
        flat += [values[len(flat)]] * int(rng.integers(1, 12))
    return np.array(flat[: h * w]).reshape((h, w) + channels)


# ---- PNG -------------------------------------------------------------------
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def pack(rows, depth):
    if depth == 16:
        return [r.astype(">u2").tobytes() for r in rows]
    bits = np.unpackbits(rows.astype(np.uint8)[..., None], axis=-1)[..., 8 - depth :]
    return [np.packbits(r.reshape(-1)).tobytes() for r in bits]


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png(samples, colour, depth, interlaced, palette=None, trns=None):
    h, w, ch = samples.shape
    passes = ADAM7 if interlaced else [(0, 0, 1, 1)]
    raw = b""
    for x0, y0, dx, dy in passes:
        sub = samples[y0::dy, x0::dx]
        if sub.size:
            raw += b"".join(b"\0" + r for r in pack(sub.reshape(sub.shape[0], -1), depth))
    data = zlib.compress(raw, 9)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, colour, 0, 0, interlaced))
    if palette is not None:
        out += chunk(b"PLTE", palette.astype(np.uint8).tobytes())
    if trns is not None:
        out += chunk(b"tRNS", trns)
    half = len(data) // 2  # two image-data chunks
    return out + chunk(b"IDAT", data[:half]) + chunk(b"IDAT", data[half:]) + chunk(b"IEND", b"")


def png_cases(h, w):
    palette = rng.integers(0, 256, (200, 3))  # shorter than 8-bit indices allow
    for colour, channels, depths in ((0, 1, (1, 2, 4, 8, 16)), (2, 3, (8, 16)), (3, 1, (1, 2, 4, 8)), (4, 2, (8, 16)),
                                     (6, 4, (8, 16))):
        for depth, interlaced in itertools.product(depths, (0, 1)):
            s = rng.integers(0, min(2**depth, 200) if colour == 3 else 2**depth, (h, w, channels))
            v = s[..., :1] if colour in (0, 4) else s[..., :3]
            v = palette[s[..., 0]] if colour == 3 else v >> 8 if depth == 16 else scaled(v, depth) if depth < 8 else v
            # Transparency, which changes nothing: of a palette's first entries, or of one grey.
            trns = {3: bytes(range(0, 70, 10)), 0: struct.pack(">H", int(s[0, 0, 0]))}.get(colour) if interlaced else None
            f = png(s, colour, depth, interlaced, palette[: 2**depth] if colour == 3 else None, trns)
            name = f"png-type{colour}-{depth}bit{'-interlaced' * interlaced}.png"
            yield name, f, np.repeat(v, 3 // v.shape[-1], -1), not (colour == 0 and depth == 16)  # Pillow clips those


# ---- JPEG (Pillow's libjpeg writes, Pillow decodes) ------------------------------
def jpeg_cases(h, w):
    y, x = np.mgrid[0:h, 0:w]
    smooth = np.stack([x * 255 // w, y * 255 // h, (x + y) * 127 // (w + h) + rng.integers(0, 60, (h, w))], -1)
    picture = Image.fromarray(smooth.astype(np.uint8))
    for progressive, kind in ((False, "baseline"), (True, "progressive")):
        for sub, name in ((0, "444"), (1, "422"), (2, "420")):
            yield f"jpeg-{kind}-{name}.jpg", save(picture, "JPEG", quality=90, subsampling=sub, progressive=progressive)
        yield f"jpeg-{kind}-grey.jpg", save(picture.convert("L"), "JPEG", quality=90, progressive=progressive)


def save(picture, fmt, **options):
    out = io.BytesIO()
    picture.save(out, fmt, **options)
    return out.getvalue()


# ---- BMP -------------------------------------------------------------------
def bmp(pixels, bits, compression=0, masks=None, header=40, top_down=False, palette=None):
    h, w = pixels.shape[:2]
    samples = pixels.astype({16: "<u2", 32: "<u4"}.get(bits, "<u1")).reshape(h, -1)
    rows = [r.tobytes().ljust((w * bits // 8 + 3) & ~3, b"\0") for r in samples]  # rows of four bytes
    body = b"".join(rows if top_down else rows[::-1])
    extra = struct.pack("<3I", *masks) if masks else b""
    info = struct.pack("<IiiHHIIiiII", header, w, -h if top_down else h, 1, bits, compression, len(body), 0, 0, 0, 0)
    info = (info + extra if header > 40 else info).ljust(header, b"\0") + (extra if header == 40 else b"")
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette) if palette is not None else b""
    offset = 14 + len(info) + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(body), 0, 0, offset) + info + table + body


def bmp_masked(values, masks):
    return np.stack([scaled((values & m) >> ((m & -m).bit_length() - 1), bin(m).count("1")) for m in masks], -1)


def bmp_cases(h, w):
    v16, v32 = rng.integers(0, 2**16, (h, w)), rng.integers(0, 2**32, (h, w), dtype=np.uint64)
    for name, bits, values, masks, header in (
        ("16bit-555", 16, v16, None, 40), ("16bit-565", 16, v16, (0xF800, 0x07E0, 0x001F), 40),
        ("16bit-565-v5", 16, v16, (0xF800, 0x07E0, 0x001F), 124), ("16bit-444-blue-high", 16, v16, (0xF, 0xF0, 0xF00), 40),
        ("32bit", 32, v32, None, 40), ("32bit-rgba-masks", 32, v32, (0xFF000000, 0xFF0000, 0xFF00), 40),
        ("32bit-10bit", 32, v32, (0x3FF00000, 0xFFC00, 0x3FF), 108)):
        for top_down in (False, True):
            want = bmp_masked(values, masks or ((0x7C00, 0x3E0, 0x1F) if bits == 16 else (0xFF0000, 0xFF00, 0xFF)))
            f = bmp(values, bits, 3 if masks else 0, masks, header, top_down)
            # Pillow scales 5-bit fields by truncating, and reads few masks.
            yield f"bmp-{name}{'-top-down' if top_down else ''}.bmp", f, want, bits == 32 and not masks
    rgb, index, palette = rng.integers(0, 256, (h, w, 3)), rng.integers(0, 256, (h, w)), rng.integers(0, 256, (256, 3))
    yield "bmp-24bit-top-down.bmp", bmp(rgb[..., ::-1], 24, top_down=True), rgb, True
    yield "bmp-8bit-top-down.bmp", bmp(index, 8, top_down=True, palette=palette), palette[index], True


# ---- TGA -------------------------------------------------------------------
def tga_rle(pixels):
    """Packets over the whole picture, so they run on across row ends."""
    out, i, n = b"", 0, len(pixels)
    while i < n:
        j = i + 1
        while j < n and j - i < 128 and pixels[j] == pixels[i]:
            j += 1
        if j - i > 1:
            out += bytes([0x80 | (j - i - 1)]) + pixels[i]
        else:
            while j < n and j - i < 128 and (j + 1 >= n or pixels[j] != pixels[j + 1]):
                j += 1
            out += bytes([j - i - 1]) + b"".join(pixels[i:j])
        i = j
    return out


def tga_bytes(values, depth):
    if depth in (15, 16) and values.ndim < 3:  # words, not grey and alpha bytes
        return [int(v).to_bytes(2, "little") for v in values.reshape(-1)]
    flat = values.reshape(-1, values.shape[-1] if values.ndim == 3 else 1).astype(np.uint8)
    return [p.tobytes() for p in flat]


def tga_colours(values, depth, grey=False):
    """What file pixels (or map entries) of a depth stand for."""
    if grey:
        return np.repeat((values if values.ndim == 2 else values[..., 0])[..., None], 3, -1)
    if depth in (15, 16):
        return np.stack([scaled((values >> s) & 31, 5) for s in (10, 5, 0)], -1)
    return values[..., 2::-1]


def tga(values, kind, depth, rle, top_down, cmap=None, map_depth=0, first=0, ident=b"", footer=False, mirrored=False):
    h, w = values.shape[:2]
    pixels = tga_bytes((values if top_down else values[::-1])[:, :: -1 if mirrored else 1], depth)
    data = tga_rle(pixels) if rle else b"".join(pixels)
    mapped = b"".join(tga_bytes(cmap, map_depth)) if cmap is not None else b""
    alpha = 8 if depth == 32 or kind == 3 and depth == 16 else 1 if depth == 16 else 0
    descriptor = (0x20 if top_down else 0) | (0x10 if mirrored else 0) | alpha
    header = struct.pack("<BBBHHBHHHHBB", len(ident), cmap is not None, kind | (8 if rle else 0), first,
                         len(cmap) if cmap is not None else 0, map_depth, 0, 0, w, h, depth, descriptor)
    end = struct.pack("<II", 0, 0) + b"TRUEVISION-XFILE.\0" if footer else b""
    return header + ident + mapped + data + end


def tga_cases(h, w):
    layouts = [("map15", 1, 15), ("map16", 1, 16), ("map24", 1, 24), ("map32", 1, 32),
               ("15bit", 2, 15), ("16bit", 2, 16), ("24bit", 2, 24), ("32bit", 2, 32), ("grey", 3, 8), ("grey-alpha", 3, 16)]
    for name, kind, depth in layouts:
        for rle in (False, True):
            for top_down in (False, True):
                first = 2 if rle else 0
                wide = depth in (15, 16) and kind != 3  # 16-bit words, not bytes
                shape = () if wide or depth == 8 else (depth // 8,)
                samples = runs(h, w, 250) if kind == 1 else runs(h, w, 2**16 if wide else 256, shape)
                if kind == 1:
                    cmap = rng.integers(0, 2**16 if wide else 256, (250,) + shape)
                    values, want, pixel_depth = samples + first, tga_colours(cmap, depth)[samples], 8
                else:
                    values, want, cmap, pixel_depth = samples, tga_colours(samples, depth, kind == 3), None, depth
                f = tga(values, kind, pixel_depth, rle, top_down, cmap, depth if kind == 1 else 0, first,
                        ident=b"meshara" if rle else b"", footer=top_down)
                # Pillow lets no packet cross a row end, reads no 32-bit map and truncates 5-bit fields.
                pil = not rle and (depth == 24 or kind != 1 and depth == 32 or kind == 3)
                yield f"tga-{name}{'-rle' if rle else ''}{'-top-down' if top_down else ''}.tga", f, want, pil
    rgb = runs(h, w, 256, (3,))
    yield "tga-24bit-right-to-left.tga", tga(rgb, 2, 24, True, False, mirrored=True), rgb[..., ::-1], False


# ---- refused ---------------------------------------------------------------
def refused(h, w):
    cmyk = Image.fromarray(rng.integers(0, 256, (h, w, 4), dtype=np.uint8), "CMYK")
    yield "jpeg-cmyk.jpg", save(cmyk, "JPEG"), "CMYK JPEG is not supported"
    whole = save(Image.fromarray(rng.integers(0, 256, (h, w, 3), dtype=np.uint8)), "JPEG", progressive=True)
    yield "jpeg-cut.jpg", whole[: len(whole) * 2 // 3], "Premature end of JPEG file"
    # The first scan over again, a hundred times.
    sos = whole.index(b"\xff\xda")
    end = re.compile(rb"\xff[^\x00\xd0-\xd7]").search(whole, sos + 2 + int.from_bytes(whole[sos + 2 : sos + 4], "big")).start()
    yield "jpeg-101-scans.jpg", whole[:end] + whole[sos:end] * 100 + whole[end:], "more than 100 scans"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("outdir", type=Path)
    parser.add_argument("--size", nargs=2, type=int, default=(37, 23), metavar=("W", "H"))
    parser.add_argument("--check", metavar="MESHARA_CLI")
    args = parser.parse_args()
    w, h = args.size
    args.outdir.mkdir(parents=True, exist_ok=True)
    cases = [(n, f, want, pil, 0, None) for n, f, want, pil in (*png_cases(h, w), *bmp_cases(h, w), *tga_cases(h, w))]
    cases += [(n, f, Image.open(io.BytesIO(f)).convert("RGB"), False, 3, None) for n, f in jpeg_cases(h, w)]
    cases += [(n, f, None, False, 0, reason) for n, f, reason in refused(h, w)]
    failures = []
    for name, data, want, pil, tolerance, reason in cases:
        path = args.outdir / name
        path.write_bytes(data)
        if want is not None:
            want = np.asarray(want).astype(np.uint8)
            (args.outdir / (path.stem + ".want.ppm")).write_bytes(b"P6\n%d %d\n255\n" % (w, h) + want.tobytes())
        if pil and not np.array_equal(np.asarray(Image.open(path).convert("RGB")), want):
            failures.append(f"{name}: Pillow reads other pixels than the samples stand for (a fault of this script)")
        if args.check:
            failures += check(args.check, path, want, tolerance, reason)
    print("\n".join(failures) or f"{len(cases)} pictures and refusals as they should be")
    return 1 if failures else 0


def check(cli, path, want, tolerance, reason):
    out = path.with_suffix(".got.ppm")
    run = subprocess.run([cli, "decode", str(path), "-o", str(out)], capture_output=True, text=True)
    if reason or run.returncode != 0:
        refused = run.returncode == 1 and "valid skin" in run.stderr and reason and reason in run.stderr
        return [] if refused else [f"{path.name}: exit {run.returncode}, not refused for {reason}: {run.stderr.strip()}"]
    got = np.asarray(Image.open(out).convert("RGB")).astype(int)
    if got.shape != want.shape:
        return [f"{path.name}: {got.shape[1]} x {got.shape[0]}, not {want.shape[1]} x {want.shape[0]}"]
    worst = int(np.abs(got - want).max())
    return [f"{path.name}: pixels differ by up to {worst}"] if worst > tolerance else []


if __name__ == "__main__":
    sys.exit(main())
