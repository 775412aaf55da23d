#!/usr/bin/python3
"""Build resources/polices/digital-7.ttf, the LCD-style font of the token screen.

Every glyph is assembled from the segments of a fourteen-segment display cell:
the seven classic segments (a..g, with g split into g1/g2 for letters), a
centre stem (i above the middle bar, l below) and four diagonals (h, j above,
k, m below). Digits only use the classic seven, so they read like a real LCD;
letters and signs are the usual fourteen-segment approximations. All glyphs
share one advance width (the code and the scrolling status line never jitter)
and are slanted by a few degrees like a printed display.

Run with Debian's interpreter, which has the fontforge module:
    /usr/bin/python3 resources/tools/make_lcd_font.py
"""

import math
import os
import sys

# A fixed timestamp in the font header keeps the generated file byte-identical
# from one run to the next, so a rebuild shows no spurious change.
os.environ.setdefault("SOURCE_DATE_EPOCH", "1700000000")

import fontforge  # noqa: E402
import psMat  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "polices", "digital-7.ttf")

FAMILY = "Digital-7"
VERSION = "1.0"
COPYRIGHT = "Copyright (c) Veltrane contributors. Original segment font made by make_lcd_font.py."
LICENSE = "Licensed under the MIT License; see LICENSE.txt beside the font."

EM = 1000
ASCENT = 800
DESCENT = 200
ADVANCE = 600
SLANT_DEG = 6.0

# Cell geometry in font units, before the slant.
L, R = 40, 480          # outer left and right edge of the cell
H = 700                 # cell height (cap height); baseline at 0
T = 72                  # stroke thickness of the outer segments
TS = 54                 # stroke thickness of the centre stem
GAP = 12                # gap left between touching segments
h = T / 2
hs = TS / 2
XL, XR, XC = L + h, R - h, (L + R) / 2
YB, YT, YM = h, H - h, H / 2


def hbar(y, xa, xb):
    """Horizontal segment with pointed ends, centre line y, junctions xa..xb."""
    xa, xb = xa + GAP, xb - GAP
    return [(xa, y), (xa + h, y + h), (xb - h, y + h), (xb, y), (xb - h, y - h), (xa + h, y - h)]


def vbar(x, ya, yb):
    """Vertical segment with pointed ends, centre line x, junctions ya..yb."""
    ya, yb = ya + GAP, yb - GAP
    return [(x, ya), (x + h, ya + h), (x + h, yb - h), (x, yb), (x - h, yb - h), (x - h, ya + h)]


def stem(upper):
    """Centre stem: pointed at the middle bar, flat against the top or bottom bar."""
    if upper:
        y0, y1 = YM + GAP, YT - h - GAP
        return [(XC, y0), (XC + hs, y0 + hs), (XC + hs, y1), (XC - hs, y1), (XC - hs, y0 + hs)]
    y0, y1 = YB + h + GAP, YM - GAP
    return [(XC - hs, y0), (XC + hs, y0), (XC + hs, y1 - hs), (XC, y1), (XC - hs, y1 - hs)]


def diag(x0, y0, x1, y1):
    """Diagonal bar from corner (x0, y0) to corner (x1, y1) of its inner cell."""
    dx, dy = 34, 62
    sx = 1 if x1 > x0 else -1
    sy = 1 if y1 > y0 else -1
    return [(x0, y0), (x0 + sx * dx, y0), (x1, y1 - sy * dy), (x1, y1), (x1 - sx * dx, y1), (x0, y0 + sy * dy)]


# Inner cells of the four diagonals (between the outer bars and the stem).
CX0, CX1 = XL + h + GAP, XC - hs - GAP      # left cell x range
CX2, CX3 = XC + hs + GAP, XR - h - GAP      # right cell x range
CY0, CY1 = YB + h + GAP, YM - h + 6 - GAP   # lower cell y range
CY2, CY3 = YM + h - 6 + GAP, YT - h - GAP   # upper cell y range


def dot(cx, y0, size=T + 8):
    s = size / 2
    return [(cx - s, y0), (cx + s, y0), (cx + s, y0 + 2 * s), (cx - s, y0 + 2 * s)]


SEG = {
    "a": hbar(YT, XL, XR),
    "d": hbar(YB, XL, XR),
    "g": hbar(YM, XL, XR),
    "g1": hbar(YM, XL, XC),
    "g2": hbar(YM, XC, XR),
    "b": vbar(XR, YM, YT),
    "c": vbar(XR, YB, YM),
    "e": vbar(XL, YB, YM),
    "f": vbar(XL, YM, YT),
    "i": stem(True),
    "l": stem(False),
    "h": diag(CX0, CY3, CX1, CY2),
    "j": diag(CX3, CY3, CX2, CY2),
    "k": diag(CX1, CY1, CX0, CY0),
    "m": diag(CX2, CY1, CX3, CY0),
    # dots and marks outside the segment grid
    "dot": dot(XC, 0),
    "dotlo": dot(XC, 150),
    "dothi": dot(XC, 470),
    "comma": [(XC - 40, 0), (XC + 40, 0), (XC + 40, 80), (XC - 40, 80)],
    "tail": [(XC - 40, -10), (XC + 40, -10), (XC - 20, -130), (XC - 80, -130)],
    "qdot": dot(XC, 0, 66),
}


def chevron(x0, x1, y0, y1, w=62):
    ym = (y0 + y1) / 2
    return [(x0, y1), (x0 + w, y1), (x1, ym), (x0 + w, y0), (x0, y0), (x1 - w, ym)]


SEG["chev1"] = chevron(70, 250, 190, 510)
SEG["chev2"] = chevron(250, 430, 190, 510)

SEVEN = {
    "0": "a b c d e f", "1": "b c", "2": "a b g d e", "3": "a b c d g", "4": "b c f g",
    "5": "a c d f g", "6": "a c d e f g", "7": "a b c", "8": "a b c d e f g", "9": "a b c d f g",
}

LETTERS = {
    "A": "a b c e f g1 g2", "B": "a b c d g2 i l", "C": "a d e f", "D": "a b c d i l",
    "E": "a d e f g1", "F": "a e f g1", "G": "a c d e f g2", "H": "b c e f g1 g2",
    "I": "a d i l", "J": "b c d e", "K": "e f g1 j m", "L": "d e f", "M": "b c e f h j",
    "N": "b c e f h m", "O": "a b c d e f", "P": "a b e f g1 g2", "Q": "a b c d e f m",
    "R": "a b e f g1 g2 m", "S": "a c d f g1 g2", "T": "a i l", "U": "b c d e f",
    "V": "e f k j", "W": "b c e f k m", "X": "h j k m", "Y": "h j l", "Z": "a d j k",
}

SIGNS = {
    " ": "", "!": "i dot", '"': "f b", "#": "b c d g1 g2 i l", "$": "a c d f g1 g2 i l",
    "%": "c f j k", "&": "a d e g1 h j m", "'": "i", "(": "j m", ")": "h k",
    "*": "g1 g2 h i j k l m", "+": "g1 g2 i l", ",": "comma tail", "-": "g1 g2", ".": "dot",
    "/": "j k", ":": "dotlo dothi", ";": "dothi comma tail", "<": "j m g1", "=": "g1 g2 d",
    ">": "h k g2", "?": "a b g2 qdot", "@": "a b d e f g2 i", "[": "a d e f", "\\": "h m",
    "]": "a b c d", "^": "k m", "_": "d", "`": "h", "{": "a d g1 i l", "|": "i l",
    "}": "a d g2 i l", "~": "h g2",
}


def glyph_map():
    table = {}
    table.update(SEVEN)
    table.update(LETTERS)
    for up, segs in LETTERS.items():
        table[up.lower()] = segs  # lower case shares the capital's segments
    table.update(SIGNS)
    return table


def draw(glyph, names):
    pen = glyph.glyphPen()
    for name in names.split():
        pts = SEG[name]
        pen.moveTo(pts[0])
        for p in pts[1:]:
            pen.lineTo(p)
        pen.closePath()
    pen = None
    glyph.transform(psMat.skew(math.radians(SLANT_DEG)))
    glyph.round()
    glyph.removeOverlap()
    glyph.correctDirection()
    glyph.width = ADVANCE


def build():
    font = fontforge.font()
    font.encoding = "UnicodeFull"
    font.em = EM
    font.ascent = ASCENT
    font.descent = DESCENT
    font.familyname = FAMILY
    font.fontname = FAMILY
    font.fullname = FAMILY
    font.weight = "Regular"
    font.version = VERSION
    font.copyright = COPYRIGHT
    for lang, key, value in (
        ("English (US)", "Family", FAMILY),
        ("English (US)", "SubFamily", "Regular"),
        ("English (US)", "Fullname", FAMILY),
        ("English (US)", "PostScriptName", FAMILY),
        ("English (US)", "UniqueID", FAMILY + " " + VERSION),
        ("English (US)", "License", LICENSE),
        ("English (US)", "Copyright", COPYRIGHT),
    ):
        font.appendSFNTName(lang, key, value)
    font.os2_weight = 400
    font.os2_panose = (2, 0, 5, 9, 0, 0, 0, 0, 0, 0)  # proportion 9: monospaced
    font.os2_typoascent = ASCENT
    font.os2_typodescent = -DESCENT
    font.os2_typolinegap = 0
    font.os2_winascent = ASCENT
    font.os2_windescent = DESCENT
    font.hhea_ascent = ASCENT
    font.hhea_descent = -DESCENT
    font.hhea_linegap = 0

    notdef = font.createChar(-1, ".notdef")
    pen = notdef.glyphPen()
    for pts in ([(60, 0), (540, 0), (540, 700), (60, 700)], [(120, 60), (120, 640), (480, 640), (480, 60)]):
        pen.moveTo(pts[0])
        for p in pts[1:]:
            pen.lineTo(p)
        pen.closePath()
    pen = None
    notdef.correctDirection()
    notdef.width = ADVANCE

    table = glyph_map()
    for code in range(0x20, 0x7F):
        ch = chr(code)
        draw(font.createChar(code), table[ch])
    draw(font.createChar(0xBB), "chev1 chev2")  # right-pointing double angle quotation mark
    draw(font.createChar(0xA0), "")             # no-break space
    return font


def main():
    font = build()
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    font.generate(os.path.normpath(OUT))
    print("wrote", os.path.normpath(OUT))
    return 0


if __name__ == "__main__":
    sys.exit(main())
