#!/usr/bin/env python3
"""Writes engine/metafile/font_metrics_table.cpp from the Liberation TrueType fonts.

The text measurer of our metafile services carries the metrics it needs in
tables, so the engine reads no font files at run time. This script reads, for
each of the six faces it knows, the few TrueType tables those tables come from:

  head   unitsPerEm
  hhea   numberOfHMetrics
  maxp   numGlyphs
  OS/2   xAvgCharWidth, usWinAscent, usWinDescent (GDI's ascent and descent)
  cmap   the Windows Unicode BMP subtable (platform 3, encoding 1, format 4)
  hmtx   advance widths

and writes each face's metrics and the advance width of every 8-bit code from
0x20 to 0xFF read as Windows code page 1252. Codes that code page leaves
undefined, and characters the font has no glyph for, get the advance of the
font's default glyph (glyph 0).

The average character width is the one the fonts these faces stand in for
report: the weighted average of the lowercase letters and the space of the
first OS/2 table version (sum of advance x weight over 1000, truncated). The
Liberation files give xAvgCharWidth by the later definition (the average of
all glyphs), which is wider; their advances are the compatible ones, so the
weighted average is computed from them. The file's own value is kept as a
comment in the output.

Usage: gen_font_metrics.py [FONT_DIR [OUTPUT]]
Only the Python standard library is used.
"""

import os
import struct
import subprocess
import sys

DEFAULT_FONT_DIR = "/usr/share/fonts/truetype/liberation"
DEFAULT_OUTPUT = os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "engine", "metafile",
    "font_metrics_table.cpp")

FIRST_CODE = 0x20
CODE_COUNT = 0x100 - FIRST_CODE

# (file name, face name as the table names it, C++ family, bold)
FACES = [
    ("LiberationSans-Regular.ttf", "Liberation Sans", "Sans", False),
    ("LiberationSans-Bold.ttf", "Liberation Sans Bold", "Sans", True),
    ("LiberationSerif-Regular.ttf", "Liberation Serif", "Serif", False),
    ("LiberationSerif-Bold.ttf", "Liberation Serif Bold", "Serif", True),
    ("LiberationMono-Regular.ttf", "Liberation Mono", "Mono", False),
    ("LiberationMono-Bold.ttf", "Liberation Mono Bold", "Mono", True),
]


class FontError(Exception):
    pass


class TrueTypeFont:
    """The handful of TrueType tables the metrics come from."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        self.path = path
        self.tables = self._read_directory()
        self.units_per_em = self._u16("head", 18)
        self.num_h_metrics = self._u16("hhea", 34)
        self.num_glyphs = self._u16("maxp", 4)
        self.avg_char_width = self._i16("OS/2", 2)
        self.win_ascent = self._u16("OS/2", 74)
        self.win_descent = self._u16("OS/2", 76)
        if self.units_per_em == 0 or self.num_h_metrics == 0:
            raise FontError(f"{path}: unitsPerEm or numberOfHMetrics is 0")
        self.cmap = self._read_cmap_format4()

    def _read_directory(self):
        if len(self.data) < 12:
            raise FontError(f"{self.path}: too short for a TrueType font")
        version, num_tables = struct.unpack_from(">IH", self.data, 0)
        if version not in (0x00010000, 0x74727565):  # 1.0 or 'true'
            raise FontError(f"{self.path}: not a TrueType font (0x{version:08X})")
        tables = {}
        for i in range(num_tables):
            entry = 12 + 16 * i
            if entry + 16 > len(self.data):
                raise FontError(f"{self.path}: table directory is cut short")
            tag, _checksum, offset, length = struct.unpack_from(">4sIII", self.data, entry)
            if offset + length > len(self.data):
                raise FontError(f"{self.path}: table {tag!r} lies outside the file")
            tables[tag.decode("latin-1")] = (offset, length)
        for needed in ("head", "hhea", "maxp", "OS/2", "cmap", "hmtx"):
            if needed not in tables:
                raise FontError(f"{self.path}: no '{needed}' table")
        return tables

    def _table_offset(self, tag, field_offset, size):
        offset, length = self.tables[tag]
        if field_offset + size > length:
            raise FontError(f"{self.path}: '{tag}' is too short")
        return offset + field_offset

    def _u16(self, tag, field_offset):
        return struct.unpack_from(">H", self.data, self._table_offset(tag, field_offset, 2))[0]

    def _i16(self, tag, field_offset):
        return struct.unpack_from(">h", self.data, self._table_offset(tag, field_offset, 2))[0]

    def _read_cmap_format4(self):
        base, length = self.tables["cmap"]
        _version, count = struct.unpack_from(">HH", self.data, base)
        for i in range(count):
            platform, encoding, sub = struct.unpack_from(">HHI", self.data, base + 4 + 8 * i)
            if (platform, encoding) != (3, 1):
                continue
            if sub + 14 > length:
                raise FontError(f"{self.path}: cmap subtable lies outside the table")
            start = base + sub
            fmt = struct.unpack_from(">H", self.data, start)[0]
            if fmt != 4:
                continue
            return self._parse_format4(start)
        raise FontError(f"{self.path}: no (3,1) format 4 cmap subtable")

    def _parse_format4(self, start):
        seg_count = struct.unpack_from(">H", self.data, start + 6)[0] // 2
        ends_at = start + 14
        starts_at = ends_at + 2 * seg_count + 2  # skips reservedPad
        deltas_at = starts_at + 2 * seg_count
        range_offsets_at = deltas_at + 2 * seg_count
        mapping = {}
        for seg in range(seg_count):
            end = struct.unpack_from(">H", self.data, ends_at + 2 * seg)[0]
            first = struct.unpack_from(">H", self.data, starts_at + 2 * seg)[0]
            delta = struct.unpack_from(">h", self.data, deltas_at + 2 * seg)[0]
            range_at = range_offsets_at + 2 * seg
            range_offset = struct.unpack_from(">H", self.data, range_at)[0]
            if first > end:
                continue
            for code in range(first, end + 1):
                if code == 0xFFFF:
                    continue
                if range_offset == 0:
                    glyph = (code + delta) & 0xFFFF
                else:
                    at = range_at + range_offset + 2 * (code - first)
                    glyph = struct.unpack_from(">H", self.data, at)[0]
                    if glyph != 0:
                        glyph = (glyph + delta) & 0xFFFF
                if glyph != 0:
                    mapping[code] = glyph
        return mapping

    def advance(self, glyph):
        """Advance width of a glyph; glyphs past numberOfHMetrics share the last one."""
        if glyph >= self.num_glyphs:
            glyph = 0
        index = min(glyph, self.num_h_metrics - 1)
        return struct.unpack_from(">H", self.data, self._table_offset("hmtx", 4 * index, 2))[0]

    def advance_of_char(self, char):
        return self.advance(self.cmap.get(ord(char), 0)) if char is not None else self.advance(0)


# Weights of the OS/2 version 0 xAvgCharWidth, per thousand.
AVG_WIDTH_WEIGHTS = dict(zip(
    "abcdefghijklmnopqrstuvwxyz ",
    [64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6, 35, 20, 56, 56, 17, 4, 49, 56, 71, 31, 10, 18,
     3, 18, 2, 166]))


def weighted_avg_char_width(font):
    total = sum(font.advance_of_char(c) * w for c, w in AVG_WIDTH_WEIGHTS.items())
    return total // 1000


def cp1252_char(code):
    """The Unicode character of an 8-bit code in code page 1252, None if undefined."""
    try:
        return bytes([code]).decode("cp1252")
    except UnicodeDecodeError:
        return None


def package_version():
    try:
        out = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "fonts-liberation"],
                             capture_output=True, text=True, check=False)
        if out.returncode == 0 and out.stdout.strip():
            return out.stdout.strip()
    except OSError:
        pass
    return "unknown version"


def face_block(font, name, family, bold):
    advances = [font.advance_of_char(cp1252_char(code))
                for code in range(FIRST_CODE, FIRST_CODE + CODE_COUNT)]
    lines = [
        "    {",
        f'        "{name}",',
        f"        FontFamily::{family},",
        f"        {'true' if bold else 'false'},",
        f"        {font.units_per_em},  // unitsPerEm",
        f"        {font.win_ascent},  // winAscent",
        f"        {font.win_descent},  // winDescent",
        f"        {weighted_avg_char_width(font)},  // avgCharWidth"
        f" (the file's OS/2 xAvgCharWidth: {font.avg_char_width})",
        f"        {font.advance(0)},  // defaultAdvance (glyph 0)",
        "        {",
    ]
    for row in range(0, CODE_COUNT, 8):
        values = ", ".join(f"{a:4d}" for a in advances[row:row + 8])
        lines.append(f"            {values},  // 0x{FIRST_CODE + row:02X}")
    lines.append("        },")
    lines.append("    },")
    return "\n".join(lines)


def generate(font_dir, output):
    blocks = []
    for file_name, name, family, bold in FACES:
        font = TrueTypeFont(os.path.join(font_dir, file_name))
        blocks.append(face_block(font, name, family, bold))
    text = f"""\
// GENERATED FILE, DO NOT EDIT BY HAND.
// Written by tools/gen_font_metrics.py from the TrueType fonts of Debian's
// fonts-liberation {package_version()}; run that script again to change it.
//
// Per face: units per em, the Windows ascent and descent, the average character
// width (weighted average of the lowercase letters and space) and the advance
// width in font units of each code 0x20..0xFF read as code page 1252 (codes
// without a glyph use the default glyph's advance).
// clang-format off

#include "engine/metafile/font_metrics.h"

namespace qv::mf {{

namespace {{

constexpr FontFaceMetrics kFaces[kFontFaceCount] = {{
{chr(10).join(blocks)}
}};

}}  // namespace

std::span<const FontFaceMetrics, kFontFaceCount> fontFaces() {{ return kFaces; }}

}}  // namespace qv::mf
"""
    with open(output, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def main(argv):
    if len(argv) > 3:
        sys.stderr.write(__doc__)
        return 2
    font_dir = argv[1] if len(argv) > 1 else DEFAULT_FONT_DIR
    output = argv[2] if len(argv) > 2 else DEFAULT_OUTPUT
    try:
        generate(font_dir, os.path.normpath(output))
    except (OSError, FontError, struct.error) as e:
        sys.stderr.write(f"gen_font_metrics: {e}\n")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
