#!/usr/bin/env python3
"""Writes src/platform/font8x8.cpp, the 8 x 8 font of the graphics surface
(256 glyphs in code page 852 order), and tools/font8x8.png, a sheet of all
256 glyphs scaled 4x for a person to review.

The glyphs come from public domain console fonts of Debian's
console-setup-linux package, looked up through each font's own Unicode table
with the code page 852 mapping of src/platform/cp852.h, so the table and the
compile-time text conversion can never disagree:
  - Lat2-VGA8 first: it has the classic PC shapes ('A' is 30 78 CC CC FC CC CC).
  - Uni2-VGA8 for what Lat2-VGA8 lacks (o and u with double acute, the dark
    shade, half blocks, ...) or draws wrongly (NOT_FROM_LAT2 below).
  - FullGreek-VGA8 for the double-line box characters (DOUBLE_LINES below).
  - A few glyphs are redrawn here where the fonts' shapes do not read as the
    letter (REDRAWN below).
Bytes 0-31 and 127 get the classic PC glyphs (smileys, card suits, arrows, the
house) through their usual code points when a font has them; byte 0 and any
glyph no font has stay blank.

The generated files are committed: the build does not need the package. To
rerun (from anywhere, with console-setup-linux and python3-pil installed; the
PIL module is Debian's, hence /usr/bin/python3):

    /usr/bin/python3 tools/make_font8x8.py
"""

import gzip
import pathlib
import re
import struct
import sys
import unicodedata

from PIL import Image

LAT2 = "/usr/share/consolefonts/Lat2-VGA8.psf.gz"
UNI2 = "/usr/share/consolefonts/Uni2-VGA8.psf.gz"
TREE = pathlib.Path(__file__).resolve().parent.parent
CP852_HEADER = TREE / "src/platform/cp852.h"
TABLE_OUT = TREE / "src/platform/font8x8.cpp"
SHEET_OUT = TREE / "tools/font8x8.png"

# The code points under which the PC shows its glyphs for the control bytes.
CONTROL_GLYPHS = [
    None, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
]
HOUSE = 0x2302  # the glyph of byte 127

# Lat2-VGA8's Unicode table lists these, but its glyphs will not do: the
# currency sign, acute, diaeresis and cedilla are still the euro sign, Z caron,
# s caron and z caron of the Latin-9 font it was made from; S with caron is a
# section sign, and s, z and Z with caron have a flat bar for the caron.
NOT_FROM_LAT2 = {0x00A4, 0x00B4, 0x00A8, 0x00B8, 0x0160, 0x0161, 0x017D, 0x017E}

# Neither Lat2-VGA8 nor Uni2-VGA8 has double lines: both draw the double-line
# box characters with single ones. FullGreek-VGA8 of the same package does.
DOUBLE_LINES = "/usr/share/consolefonts/FullGreek-VGA8.psf.gz"
DOUBLE_LINE_BOX = range(0x2550, 0x256D)

# Glyphs drawn here because the fonts' shapes read as something else. Where the
# accent cannot stand apart from a full-height letter, the letter is shortened
# to the four rows of Lat2-VGA8's own ó and ö, below a blank row.
REDRAWN = {
    # Lat2-VGA8's U is rounded and differs from its V only in the bottom two
    # rows; the classic PC U has a flat bottom.
    0x0055: [0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFC, 0x00],
    # Uni2-VGA8 sets the double acute on the o, which then reads as an 8: here
    # its double acute stands over the o of Lat2-VGA8's ö.
    0x0151: [0x66, 0xCC, 0x00, 0x78, 0xCC, 0xCC, 0x78, 0x00],  # ő
    # Uni2-VGA8's O and U with double acute read as an 8 and a U with horns:
    # the accent's lower row repeats the letter's sides. Drawn as Lat2-VGA8
    # draws Ó and Ú, with tapered strokes.
    0x0150: [0x36, 0x24, 0x78, 0xCC, 0xCC, 0xCC, 0x78, 0x00],  # Ő
    0x0170: [0x36, 0x24, 0xCC, 0xCC, 0xCC, 0xCC, 0x78, 0x00],  # Ű
    # Both fonts' Í read as f: the accent runs on into the stem.
    0x00CD: [0x18, 0x30, 0x00, 0x78, 0x30, 0x30, 0x78, 0x00],
    # Lat2-VGA8's Ô reads as an 8: its ô's circumflex over a wide O, which
    # keeps it apart from ô.
    0x00D4: [0x78, 0xCC, 0x00, 0x7C, 0xC6, 0xC6, 0x7C, 0x00],
    # Uni2-VGA8 gives N with acute the glyph of L with cedilla.
    0x0143: [0x0C, 0x18, 0xC6, 0xE6, 0xD6, 0xCE, 0xC6, 0x00],  # Ń
    # The caron merges into c, e and n (Lat2-VGA8's c also drops below the
    # line): Lat2-VGA8's caron above a blank row.
    0x010D: [0x6C, 0x38, 0x00, 0x7C, 0xC0, 0xC0, 0x7C, 0x00],  # č
    0x011B: [0x6C, 0x38, 0x00, 0x78, 0xFC, 0xC0, 0x78, 0x00],  # ě
    0x0148: [0x6C, 0x38, 0x00, 0xF8, 0xCC, 0xCC, 0xCC, 0x00],  # ň
    # Uni2-VGA8's caron on the t reads as a yen sign: an apostrophe beside the
    # stem instead, as its ď and ľ have.
    0x0165: [0x16, 0x36, 0x7C, 0x30, 0x30, 0x34, 0x18, 0x00],  # ť
}


def read_psf1(path):
    """Glyph bitmaps and a code point -> glyph index map of a PSF1 font."""
    data = gzip.open(path).read()
    if data[:2] != b"\x36\x04":
        sys.exit(f"{path}: not a PSF1 font")
    mode, height = data[2], data[3]
    if height != 8 or not mode & 0x02:
        sys.exit(f"{path}: expected an 8-pixel font with a Unicode table")
    count = 512 if mode & 0x01 else 256
    glyphs = [data[4 + i * 8: 4 + (i + 1) * 8] for i in range(count)]
    table = data[4 + count * 8:]
    by_code_point = {}
    pos, glyph = 0, 0
    while glyph < count:
        (value,) = struct.unpack_from("<H", table, pos)
        pos += 2
        if value == 0xFFFF:      # end of this glyph's list
            glyph += 1
        elif value == 0xFFFE:    # start of sequences: never a single code point
            while True:
                (value,) = struct.unpack_from("<H", table, pos)
                if value == 0xFFFF:
                    break
                pos += 2
        else:
            by_code_point.setdefault(value, glyph)
    return glyphs, by_code_point


def read_cp852_upper_half(path):
    """The code points of bytes 128..255 as cp852.h lists them."""
    text = path.read_text(encoding="utf-8")
    body = text.split("#undef LEMVARIS_ASCII_ROW", 1)[1].split("};", 1)[0]
    values = [int(v, 16) for v in re.findall(r"0x[0-9A-Fa-f]+", body)]
    if len(values) != 128:
        sys.exit(f"{path}: expected 128 code points above 127, found {len(values)}")
    return values


def pick_glyphs(code_points):
    """The 8 rows of every byte's glyph and where it came from."""
    lat2, uni2, double = read_psf1(LAT2), read_psf1(UNI2), read_psf1(DOUBLE_LINES)
    picked, missing = [], []
    for byte, cp in enumerate(code_points):
        if cp in REDRAWN:
            picked.append((bytes(REDRAWN[cp]), "redrawn"))
            continue
        if cp in DOUBLE_LINE_BOX:
            candidates = [("FullGreek-VGA8", double)]
        elif cp in NOT_FROM_LAT2:
            candidates = [("Uni2-VGA8", uni2)]
        else:
            candidates = [("Lat2-VGA8", lat2), ("Uni2-VGA8", uni2)]
        rows, source = bytes(8), "blank"
        for name, (glyphs, by_code_point) in candidates:
            if cp in by_code_point:
                rows, source = glyphs[by_code_point[cp]], name
                break
        else:
            if cp is not None:
                missing.append(f"0x{byte:02X} (U+{cp:04X})")
        picked.append((rows, source))
    return picked, missing


def write_table(path, code_points, picked):
    """The C++ table, each glyph's comment naming its code point and source."""
    lines = ["// Generated by tools/make_font8x8.py from the public domain console fonts",
             "// Lat2-VGA8, Uni2-VGA8 and FullGreek-VGA8 (Debian console-setup-linux) and a",
             "// few glyphs redrawn there; do not edit by hand, rerun it. One glyph per code",
             "// page 852 byte, 8 rows top to bottom, the leftmost pixel in the highest bit.",
             "#include \"platform/font8x8.h\"",
             "",
             "const std::uint8_t Font8x8[256][8] = {"]
    for byte, (cp, (rows, source)) in enumerate(zip(code_points, picked)):
        label = "blank" if cp is None else f"U+{cp:04X}"
        visible = cp is not None and cp > 0x20 and unicodedata.category(chr(cp))[0] not in "ZC"
        if visible and cp != 0x5C:  # a backslash would continue the comment
            label += " " + chr(cp)
        if cp is not None:
            label += " " + source
        hex_rows = ", ".join(f"0x{r:02X}" for r in rows)
        lines.append(f"    {{{hex_rows}}},  // 0x{byte:02X} {label}")
    lines.append("};")
    path.write_text("\n".join(lines) + "\n", encoding="utf-8")


def write_sheet(path, picked, scale=4):
    """All glyphs white on black in a 16 x 16 grid, row r holding bytes
    0xr0..0xrF; a grey gutter shows each glyph's 8 x 8 box, and the hex
    digits along the top and left are drawn with the font itself."""
    cell, gutter = 8 * scale, scale
    pitch = cell + gutter
    margin = 8 * 2 + 2 * gutter  # room for one label glyph at 2x
    size = margin + 16 * pitch + gutter
    sheet = Image.new("RGB", (size, size), (96, 96, 96))
    pixels = sheet.load()

    def draw(rows, left, top, dot, ink, paper):
        for y in range(8 * dot):
            for x in range(8 * dot):
                lit = rows[y // dot] & (0x80 >> (x // dot))
                pixels[left + x, top + y] = ink if lit else paper

    hex_glyph = {d: picked[ord(f"{d:X}")][0] for d in range(16)}
    for d in range(16):
        draw(hex_glyph[d], margin + d * pitch + gutter + (cell - 16) // 2, gutter, 2,
             (255, 255, 255), (96, 96, 96))
        draw(hex_glyph[d], gutter, margin + d * pitch + gutter + (cell - 16) // 2, 2,
             (255, 255, 255), (96, 96, 96))
    for byte, (rows, _) in enumerate(picked):
        draw(rows, margin + (byte % 16) * pitch + gutter, margin + (byte // 16) * pitch + gutter,
             scale, (255, 255, 255), (0, 0, 0))
    sheet.save(path)


def main():
    code_points = (CONTROL_GLYPHS + list(range(32, 127)) + [HOUSE]
                   + read_cp852_upper_half(CP852_HEADER))
    picked, missing = pick_glyphs(code_points)
    write_table(TABLE_OUT, code_points, picked)
    write_sheet(SHEET_OUT, picked)
    if missing:
        print("left blank, in no font: " + ", ".join(missing), file=sys.stderr)


if __name__ == "__main__":
    main()
