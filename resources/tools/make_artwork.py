#!/usr/bin/python3
"""Draw every picture of Veltrane Auth and write it into resources/.

All artwork is drawn here from geometric primitives; nothing is traced or
copied. Each picture is drawn at four times its size and scaled down, which
gives clean anti-aliased edges. Button captions are rendered with DejaVu Sans
(Debian package fonts-dejavu-core).

Every picture of the resource file is drawn twice: at its size (name.png) and
at twice its size (name@2x.png), which Qt loads by itself on a screen of device
pixel ratio 2 (icons, pixmaps and style-sheet images alike). The 2x picture is
drawn anew from the same shapes on a canvas twice as large, captions at twice
the font size, so its edges are as sharp as those of the 1x picture; it is
never the 1x picture enlarged. Coordinates stay in 1x units throughout.

The program's icon is drawn as a set for the hicolor theme and the window and
tray icons (16 to 256 pixels), each size drawn at its own size.

Run with Debian's interpreter, which has Pillow (python3-pil):
    /usr/bin/python3 resources/tools/make_artwork.py

The positions used below follow the screens: the token panel is laid at
(0, 0) of a screen and the information tag at (244, 10), so the tag covers the
right edge of the panel; the LCD code sits at x 92..223, y 37..63 of the panel,
the countdown bar at x 90..101, the button row at y 85..117.
"""

import math
import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.normpath(os.path.join(HERE, ".."))
BOLD_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

SS = 4  # supersampling factor
SCALE = 1  # device pixels per 1x unit of the picture being drawn (1, or 2 for the @2x twin)

ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)

# Palette
NAVY_TOP = (46, 62, 92)
NAVY_BOTTOM = (18, 26, 42)
LCD_TOP = (6, 14, 26)
LCD_BOTTOM = (16, 32, 52)
BRAND_LIGHT = (110, 190, 250)
BRAND = (47, 128, 224)
BRAND_DARK = (16, 70, 150)
INK = (26, 82, 156)
CARD_TOP = (255, 255, 255)
CARD_BOTTOM = (233, 239, 247)
GLYPH_LIGHT = (236, 244, 252)


# ---------------------------------------------------------------- helpers

def S(v):
    return int(round(v * SS * SCALE))


def box(x0, y0, x1, y1):
    """A rectangle in 1x units as a Pillow box on the supersampled canvas."""
    return [S(x0), S(y0), S(x1) - 1, S(y1) - 1]


def canvas(w, h):
    return Image.new("RGBA", (w * SS * SCALE, h * SS * SCALE), (0, 0, 0, 0))


def mask(img):
    return Image.new("L", img.size, 0)


def down(img):
    """Scale a supersampled picture to its final size with premultiplied alpha."""
    w, h = img.size
    return img.convert("RGBa").resize((w // SS, h // SS), Image.LANCZOS).convert("RGBA")


def lerp(c0, c1, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))


def gradient(size, stops, y0=None, y1=None, horizontal=False):
    """Opaque gradient image; stops are (position 0..1, colour) pairs."""
    w, h = size
    img = Image.new("RGBA", size)
    draw = ImageDraw.Draw(img)
    length = w if horizontal else h
    a = 0 if y0 is None else S(y0)
    b = length if y1 is None else S(y1)
    for p in range(length):
        t = min(max((p - a) / max(b - a, 1), 0.0), 1.0)
        for i in range(len(stops) - 1):
            if t <= stops[i + 1][0]:
                (p0, c0), (p1, c1) = stops[i], stops[i + 1]
                c = lerp(c0, c1, (t - p0) / max(p1 - p0, 1e-9))
                break
        else:
            c = stops[-1][1]
        if len(c) == 3:
            c = c + (255,)
        if horizontal:
            draw.line([(p, 0), (p, h)], fill=c)
        else:
            draw.line([(0, p), (w, p)], fill=c)
    return img


def paint(img, shape_mask, fill, opacity=1.0):
    """Composite fill (a colour or an image) onto img through shape_mask."""
    if isinstance(fill, tuple):
        layer = Image.new("RGBA", img.size, fill if len(fill) == 4 else fill + (255,))
    else:
        layer = fill.copy()
    alpha = ImageChops.multiply(layer.getchannel("A"), shape_mask)
    if opacity < 1.0:
        alpha = alpha.point(lambda v: int(v * opacity))
    layer.putalpha(alpha)
    img.alpha_composite(layer)


def shadow(img, shape_mask, blur, dx=0, dy=0, opacity=0.5, colour=(0, 0, 0)):
    m = shape_mask.filter(ImageFilter.GaussianBlur(S(blur)))
    m = ImageChops.offset(m, S(dx), S(dy))
    paint(img, m, colour, opacity)


def rrect_mask(img, x0, y0, x1, y1, r):
    m = mask(img)
    ImageDraw.Draw(m).rounded_rectangle(box(x0, y0, x1, y1), radius=S(r), fill=255)
    return m


def circle_mask(img, cx, cy, r):
    m = mask(img)
    ImageDraw.Draw(m).ellipse(box(cx - r, cy - r, cx + r, cy + r), fill=255)
    return m


def ring_mask(img, cx, cy, r_out, r_in):
    m = circle_mask(img, cx, cy, r_out)
    ImageDraw.Draw(m).ellipse(box(cx - r_in, cy - r_in, cx + r_in, cy + r_in), fill=0)
    return m


def stroke(draw, points, width, fill=255):
    """Polyline with round joins and caps, in 1x units."""
    pts = [(S(x), S(y)) for x, y in points]
    draw.line(pts, fill=fill, width=S(width), joint="curve")
    r = S(width) / 2
    for x, y in (pts[0], pts[-1]):
        draw.ellipse([x - r, y - r, x + r, y + r], fill=fill)


def arc(draw, cx, cy, r, start, end, width, fill=255):
    """Arc along a circle of radius r (centre line), angles in degrees, clockwise from 3 o'clock."""
    pts = []
    steps = max(8, int(abs(end - start) / 3))
    for k in range(steps + 1):
        a = math.radians(start + (end - start) * k / steps)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    stroke(draw, pts, width, fill)


def polygon(draw, points, fill=255):
    draw.polygon([(S(x), S(y)) for x, y in points], fill=fill)


def text_mask(img, text, size, cx, cy, font_path=BOLD_FONT, spacing=0.0):
    """Mask of a text line centred on (cx, cy), optional extra letter spacing."""
    m = mask(img)
    draw = ImageDraw.Draw(m)
    font = ImageFont.truetype(font_path, S(size))
    widths = [draw.textlength(ch, font=font) for ch in text]
    total = sum(widths) + S(spacing) * (len(text) - 1)
    x = S(cx) - total / 2
    for ch, w in zip(text, widths):
        draw.text((x, S(cy)), ch, font=font, fill=255, anchor="lm")
        x += w + S(spacing)
    return m


def grow(m, r):
    """Widen a mask by r (1x units) on every side."""
    return m.filter(ImageFilter.MaxFilter(2 * S(r) + 1))


def save(img, name, colours=None):
    """Write a picture; larger ones go through a palette to stay small. Drawn at
    scale 2 it becomes the @2x twin of name."""
    if SCALE != 1:
        stem, ext = os.path.splitext(name)
        name = "%s@%dx%s" % (stem, SCALE, ext)
    path = os.path.join(OUT_DIR, name)
    if colours:
        img = img.quantize(colors=colours, method=Image.Quantize.LIBIMAGEQUANT, dither=Image.Dither.FLOYDSTEINBERG)
    img.save(path, optimize=True)
    print("%-22s %4dx%-4d %6d bytes" % (name, img.size[0], img.size[1], os.path.getsize(path)))


# ---------------------------------------------------------------- glyphs

def glyph_gear(draw, cx, cy, r_out, r_in, r_hole, teeth=8):
    pts = []
    for k in range(teeth):
        base = 2 * math.pi * k / teeth
        step = 2 * math.pi / teeth
        for frac, r in ((0.0, r_in), (0.16, r_out), (0.46, r_out), (0.62, r_in)):
            a = base + step * frac
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    polygon(draw, pts)
    draw.ellipse(box(cx - r_hole, cy - r_hole, cx + r_hole, cy + r_hole), fill=0)


def arrow_head(draw, tip, direction, size):
    """Filled triangular arrow head at tip pointing along direction (degrees)."""
    a = math.radians(direction)
    x, y = tip
    back = (x - size * math.cos(a), y - size * math.sin(a))
    nx, ny = -math.sin(a), math.cos(a)
    polygon(draw, [tip, (back[0] + nx * size * 0.62, back[1] + ny * size * 0.62),
                   (back[0] - nx * size * 0.62, back[1] - ny * size * 0.62)])


def glyph_sync(draw, cx, cy, r, width):
    arc(draw, cx, cy, r, 200, 330, width)
    arc(draw, cx, cy, r, 20, 150, width)
    for end, sign in ((330, 1), (150, 1)):
        a = math.radians(end)
        tip_angle = end + 90 * sign
        tip = (cx + r * math.cos(a) + 2.2 * math.cos(math.radians(tip_angle)),
               cy + r * math.sin(a) + 2.2 * math.sin(math.radians(tip_angle)))
        arrow_head(draw, tip, tip_angle, 5.2)


def glyph_logout(draw, width):
    # door frame open on the right, an arrow leaving through it
    stroke(draw, [(17.5, 9.5), (10.5, 9.5), (10.5, 22.5), (17.5, 22.5)], width)
    stroke(draw, [(14.5, 16), (22, 16)], width)
    arrow_head(draw, (25.2, 16), 0, 5.4)


def glyph_chevron(draw, right, width):
    if right:
        stroke(draw, [(13.5, 9.5), (19.5, 16), (13.5, 22.5)], width)
    else:
        stroke(draw, [(18.5, 9.5), (12.5, 16), (18.5, 22.5)], width)


def glyph_person(draw, cx, top, scale=1.0, fill=255):
    hr = 3.6 * scale
    hy = top + hr
    draw.ellipse(box(cx - hr, hy - hr, cx + hr, hy + hr), fill=fill)
    bw = 6.8 * scale
    by = hy + hr + 1.3 * scale
    bh = 6.2 * scale
    draw.rounded_rectangle(box(cx - bw, by, cx + bw, by + bh * 1.6), radius=S(bw * 0.95), fill=fill)


def clip_below(m, y):
    """Erase everything below y (1x units) from a mask."""
    ImageDraw.Draw(m).rectangle([0, S(y), m.size[0], m.size[1]], fill=0)


# ---------------------------------------------------------------- buttons and badges

def key_button(size=32):
    """Round hardware key on which the panel's light glyphs sit."""
    img = canvas(size, size)
    c = size / 2
    shadow(img, circle_mask(img, c, c + 0.6, 12.6), 1.2, opacity=0.55)
    paint(img, circle_mask(img, c, c, 12.6), gradient(img.size, [(0, (78, 98, 134)), (1, (30, 42, 64))], 4, 28))
    paint(img, circle_mask(img, c, c, 11.5), gradient(img.size, [(0, (60, 79, 112)), (1, (34, 47, 71))], 5, 27))
    hl = ring_mask(img, c, c, 12.6, 11.8)
    clip_below(hl, c - 2)
    paint(img, hl, (170, 200, 240), 0.35)
    return img


def panel_icon(name, draw_glyph):
    img = key_button()
    g = mask(img)
    draw_glyph(ImageDraw.Draw(g))
    shadow(img, g, 0.6, 0, 0.8, 0.6)
    paint(img, g, GLYPH_LIGHT)
    save(down(img), name)


def badge(size=24):
    """Light round badge behind the dark glyphs of the information tag."""
    img = canvas(size, size)
    c = size / 2
    paint(img, circle_mask(img, c, c, 11.2), (176, 198, 228))
    paint(img, circle_mask(img, c, c, 10.4), gradient(img.size, [(0, (238, 245, 253)), (1, (208, 223, 243))], 1, 23))
    return img


def tag_icon(name, draw_glyph, accent=None, mark=None):
    img = badge()
    g = mask(img)
    draw_glyph(ImageDraw.Draw(g))
    paint(img, g, gradient(img.size, [(0, BRAND), (1, BRAND_DARK)], 4, 20))
    if accent:
        a = mask(img)
        accent(ImageDraw.Draw(a))
        paint(img, a, accent_fill(img))
    if mark:
        t = mask(img)
        mark(ImageDraw.Draw(t))
        paint(img, t, (255, 255, 255))
    save(down(img), name)


def accent_fill(img):
    return gradient(img.size, [(0, (255, 196, 74)), (1, (236, 140, 20))], 10, 22)


def shield_points(x0, y0, w, h):
    """Outline of the brand shield in the box (x0, y0, w, h): a gently peaked
    top, straight flanks, and curved sides that meet in a point at the bottom."""

    def quad(p0, p1, p2, n=12):
        return [((1 - t) ** 2 * p0[0] + 2 * (1 - t) * t * p1[0] + t * t * p2[0],
                 (1 - t) ** 2 * p0[1] + 2 * (1 - t) * t * p1[1] + t * t * p2[1]) for t in
                [k / n for k in range(1, n + 1)]]

    left_top = (x0, y0 + h * 0.13)
    right_top = (x0 + w, y0 + h * 0.13)
    pts = [left_top]
    pts += quad(left_top, (x0 + w * 0.28, y0 + h * 0.1), (x0 + w * 0.5, y0))
    pts += quad((x0 + w * 0.5, y0), (x0 + w * 0.72, y0 + h * 0.1), right_top)
    pts.append((x0 + w, y0 + h * 0.48))
    pts += quad((x0 + w, y0 + h * 0.48), (x0 + w, y0 + h * 0.82), (x0 + w * 0.5, y0 + h))
    pts += quad((x0 + w * 0.5, y0 + h), (x0, y0 + h * 0.82), (x0, y0 + h * 0.48))
    return pts


def logo(size=32):
    img = canvas(size, size)
    k = size / 32
    outer = shield_points(3 * k, 1.5 * k, 26 * k, 29 * k)
    m = mask(img)
    polygon(ImageDraw.Draw(m), outer)
    shadow(img, m, 0.9 * k, 0, 0.8 * k, 0.5)
    paint(img, m, gradient(img.size, [(0, BRAND_LIGHT), (0.55, BRAND), (1, BRAND_DARK)], 2 * k, 30 * k))
    inner = shield_points(5.2 * k, 4 * k, 21.6 * k, 24.3 * k)
    rim = m.copy()
    mi = mask(img)
    polygon(ImageDraw.Draw(mi), inner)
    rim = ImageChops.subtract(rim, mi)
    paint(img, rim, (220, 238, 255), 0.55)
    # upper half highlight
    hl = mi.copy()
    clip_below(hl, 14 * k)
    paint(img, hl, (255, 255, 255), 0.14)
    # the stylised V: a short left stroke and a long right stroke meeting low
    v = mask(img)
    dv = ImageDraw.Draw(v)
    polygon(dv, [(p[0] * k, p[1] * k) for p in
                 [(8.4, 9.4), (12.9, 9.4), (16.1, 19.4), (19.9, 7.4), (24.4, 7.4), (18.3, 25.2), (14.1, 25.2)]])
    shadow(img, v, 0.5 * k, 0, 0.6 * k, 0.45, (4, 30, 80))
    paint(img, v, gradient(img.size, [(0, (255, 255, 255)), (1, (214, 234, 255))], 7 * k, 26 * k))
    return down(img)


def pill_button(w, h, label, top, bottom, text_colour, border, glow=False, arrow=False, font_size=9.0):
    img = canvas(w, h)
    r = h / 2 - 1
    body = rrect_mask(img, 1, 1, w - 1, h - 1.5, r)
    shadow(img, body, 0.7, 0, 0.6, 0.35)
    paint(img, body, border)
    inner = rrect_mask(img, 2, 2, w - 2, h - 2.5, r - 1)
    paint(img, inner, gradient(img.size, [(0, top), (1, bottom)], 2, h - 2))
    gloss = rrect_mask(img, 2.5, 2.3, w - 2.5, h / 2, r - 1.5)
    paint(img, gloss, (255, 255, 255), 0.32 if glow else 0.22)
    if glow:
        paint(img, inner_rim(img, w, h, r), (255, 255, 255), 0.45)
    if arrow:
        tx = w / 2 - 4
        t = text_mask(img, label, font_size, tx, h / 2 - 0.5)
        a = mask(img)
        stroke(ImageDraw.Draw(a), [(w - 13, h / 2 - 3.6), (w - 9.6, h / 2 - 0.2), (w - 13, h / 2 + 3.2)], 1.8)
        t = ImageChops.lighter(t, a)
    else:
        t = text_mask(img, label, font_size, w / 2, h / 2 - 0.5)
    shadow(img, t, 0.4, 0, 0.6, 0.35)
    paint(img, t, text_colour)
    return down(img)


def inner_rim(img, w, h, r):
    outer = rrect_mask(img, 2, 2, w - 2, h - 2.5, r - 1)
    inner = rrect_mask(img, 2.8, 2.8, w - 2.8, h - 3.3, r - 1.8)
    return ImageChops.subtract(outer, inner)


# ---------------------------------------------------------------- the pictures

def token_panel():
    """BG_OTP.png: the token body with its LCD window, 275 x 140."""
    w, h = 275, 140
    img = canvas(w, h)
    body = rrect_mask(img, 1.5, 1, 270, 134.5, 17)
    shadow(img, body, 2.2, 0, 2.2, 0.55)
    # body: graphite-navy with a light rim on top
    paint(img, body, gradient(img.size, [(0, (74, 92, 124)), (1, (26, 34, 52))], 1, 134))
    face = rrect_mask(img, 2.6, 2.2, 268.9, 133.4, 16)
    paint(img, face, gradient(img.size, [(0, NAVY_TOP), (0.55, (31, 43, 66)), (1, NAVY_BOTTOM)], 2, 133))
    # soft sheen over the upper half of the face
    sheen = rrect_mask(img, 4, 3.5, 267.5, 60, 15)
    paint(img, sheen, gradient(img.size, [(0, (255, 255, 255, 40)), (1, (255, 255, 255, 0))], 3.5, 60))
    # faceplate line between display and keys
    d = ImageDraw.Draw(img)
    d.line([(S(20), S(77)), (S(224), S(77))], fill=(8, 13, 24, 150), width=S(0.9))
    d.line([(S(20), S(78)), (S(224), S(78))], fill=(120, 150, 200, 55), width=S(0.9))
    # recessed LCD window: dark glass, inner shadow at the top, light lip at the bottom
    lip = rrect_mask(img, 83, 30, 231, 70.5, 7)
    paint(img, lip, gradient(img.size, [(0, (8, 12, 22)), (1, (96, 120, 160))], 30, 70.5))
    glass = rrect_mask(img, 84, 31, 230, 69.5, 6)
    paint(img, glass, gradient(img.size, [(0, LCD_TOP), (1, LCD_BOTTOM)], 31, 69.5))
    inner_shadow = ImageChops.subtract(glass, ImageChops.offset(glass, 0, S(2.5)))
    paint(img, inner_shadow.filter(ImageFilter.GaussianBlur(S(1.2))), (0, 0, 0), 0.7)
    reflex = mask(img)
    polygon(ImageDraw.Draw(reflex), [(150, 31), (230, 31), (230, 44), (118, 69.5), (92, 69.5)])
    reflex = ImageChops.multiply(reflex, glass)
    paint(img, reflex, (150, 190, 255), 0.05)
    # close button: a small round badge with an X, left of where the tag begins
    cx, cy = 232.5, 19.5
    paint(img, circle_mask(img, cx, cy, 7.6), (10, 16, 28), 0.55)
    paint(img, circle_mask(img, cx, cy, 6.8), gradient(img.size, [(0, (70, 88, 120)), (1, (40, 54, 80))], 12, 27))
    x = mask(img)
    dx = ImageDraw.Draw(x)
    stroke(dx, [(cx - 2.6, cy - 2.6), (cx + 2.6, cy + 2.6)], 1.5)
    stroke(dx, [(cx - 2.6, cy + 2.6), (cx + 2.6, cy - 2.6)], 1.5)
    paint(img, x, (214, 226, 242))
    # eyelet for the tag's cord, punched through the body
    ex, ey = 257.5, 66
    shadow(img, circle_mask(img, ex, ey, 6.2), 0.8, 0, 0.6, 0.6)
    paint(img, circle_mask(img, ex, ey, 6.2), gradient(img.size, [(0, (232, 238, 246)), (1, (120, 132, 150))], 60, 72))
    paint(img, circle_mask(img, ex, ey, 4.6), gradient(img.size, [(0, (110, 120, 138)), (1, (214, 222, 232))], 61, 71))
    ImageDraw.Draw(img).ellipse(box(ex - 3.4, ey - 3.4, ex + 3.4, ey + 3.4), fill=(0, 0, 0, 0))
    # maker's mark under the keys
    mark = text_mask(img, "VELTRANE", 5.6, 118, 127, spacing=1.6)
    paint(img, mark, (118, 142, 180), 0.9)
    save(down(img), "BG_OTP.png", colours=256)


def information_tag():
    """Token_rthread.png: the light tag tied to the token by a cord, 251 x 117."""
    w, h = 251, 117
    img = canvas(w, h)
    x0, y0, x1, y1 = 70, 3, 248.5, 112.5
    card = rrect_mask(img, x0, y0, x1, y1, 10)
    shadow(img, card, 2.0, 0.5, 2.0, 0.45)
    paint(img, card, (184, 198, 218))
    face = rrect_mask(img, x0 + 0.9, y0 + 0.9, x1 - 0.9, y1 - 0.9, 9.2)
    paint(img, face, gradient(img.size, [(0, CARD_TOP), (1, CARD_BOTTOM)], y0, y1))
    # brand band on the left edge, carrying the reinforced hole
    band = ImageChops.multiply(face, rrect_mask(img, 0, 0, x0 + 15, h, 0))
    paint(img, band, gradient(img.size, [(0, BRAND), (1, BRAND_DARK)], y0, y1))
    edge = mask(img)
    ImageDraw.Draw(edge).rectangle(box(x0 + 15, y0 + 1, x0 + 15.8, y1 - 1), fill=255)
    paint(img, edge, (255, 255, 255), 0.7)
    hx, hy = x0 + 8, 58
    paint(img, circle_mask(img, hx, hy, 5.2), gradient(img.size, [(0, (236, 242, 250)), (1, (140, 154, 176))], 53, 63))
    ImageDraw.Draw(img).ellipse(box(hx - 3.2, hy - 3.2, hx + 3.2, hy + 3.2), fill=(0, 0, 0, 0))
    # the cord: a loop from the token's eyelet (at 13.5, 56 here) through the hole
    ex, ey = 13.5, 56
    cord = mask(img)
    dc = ImageDraw.Draw(cord)
    upper = [(ex - 2.2, ey - 1.2)] + [
        (ex + (hx - ex) * t, ey - 1.0 + (hy - 2.3 - ey + 1.0) * t - 4.5 * math.sin(math.pi * t)) for t in
        [k / 16 for k in range(1, 17)]]
    lower = [(ex - 2.2, ey + 1.2)] + [
        (ex + (hx - ex) * t, ey + 1.0 + (hy + 2.3 - ey - 1.0) * t + 3.5 * math.sin(math.pi * t)) for t in
        [k / 16 for k in range(1, 17)]]
    stroke(dc, upper, 2.4)
    stroke(dc, lower, 2.4)
    # the cord wraps the edge of the card between the hole and the border
    stroke(dc, [(hx - 0.8, hy - 2.3), (x0 - 0.6, hy - 1.4)], 2.4)
    shadow(img, cord, 0.7, 0.4, 1.2, 0.45)
    paint(img, cord, gradient(img.size, [(0, (80, 166, 238)), (1, (14, 76, 164))], 50, 64))
    stripe = mask(img)
    ds = ImageDraw.Draw(stripe)
    for pts in (upper, lower):
        for k in range(1, len(pts) - 1, 2):
            stroke(ds, [pts[k], pts[k + 1]], 0.6)
    paint(img, ImageChops.multiply(stripe, cord), (255, 255, 255), 0.35)
    save(down(img), "Token_rthread.png", colours=256)


def container_background():
    """BG_Trans.png: the frameless window, 550 x 200, transparent but for a soft
    ambient shadow beneath the token panel (each screen carries its own contact
    shadows, so hiding the tag leaves no ghost)."""
    w, h = 550, 200
    img = canvas(w, h)
    ox, oy = 10, 10
    m = rrect_mask(img, ox + 4, oy + 6, ox + 266, oy + 134, 18)
    shadow(img, m, 6, 0, 3, 0.28)
    save(down(img), "BG_Trans.png", colours=64)


def proxy_background():
    """proxy_bg.png: pane of the settings pages, 500 x 181. Child widgets draw
    the same picture from their own corner, so the area they can cover stays one
    flat colour; only the strip below them is shaded."""
    w, h = 500 * SCALE, 181 * SCALE
    top = 134 * SCALE
    img = Image.new("RGBA", (w, h), (244, 247, 251, 255))
    d = ImageDraw.Draw(img)
    for y in range(top, h):
        t = (y - top) / (h - top)
        d.line([(0, y), (w, y)], fill=lerp((244, 247, 251), (222, 232, 245), t) + (255,))
    d.rectangle([0, top, w, top + SCALE - 1], fill=(230, 236, 245, 255))
    save(img, "proxy_bg.png", colours=32)


def icons():
    panel_icon("Tools.png", lambda d: glyph_gear(d, 16, 16, 8.4, 6.0, 2.6))
    panel_icon("update.png", lambda d: glyph_sync(d, 16, 16, 6.6, 2.3))
    panel_icon("logout.png", lambda d: glyph_logout(d, 2.3))
    panel_icon("previous.png", lambda d: glyph_chevron(d, False, 2.8))
    panel_icon("next.png", lambda d: glyph_chevron(d, True, 2.8))

    # information tag: user, password, resource, group, resource account
    tag_icon("User_24.png", lambda d: glyph_person(d, 12, 5.2, 1.0))

    def padlock(d):
        arc(d, 12, 10.2, 3.3, 180, 360, 1.7)
        stroke(d, [(8.7, 10.2), (8.7, 11.5)], 1.7)
        stroke(d, [(15.3, 10.2), (15.3, 11.5)], 1.7)
        d.rounded_rectangle(box(7, 11, 17, 18.6), radius=S(1.6), fill=255)
        d.ellipse(box(11, 13, 13, 15), fill=0)
        d.rectangle(box(11.5, 14, 12.5, 16.6), fill=0)
    tag_icon("Password_24.png", padlock)

    def server(d):
        for top in (6.2, 12.2):
            d.rounded_rectangle(box(6.5, top, 17.5, top + 5.2), radius=S(1.3), fill=255)
            d.ellipse(box(14.2, top + 1.8, 15.8, top + 3.4), fill=0)
            d.rectangle(box(8.5, top + 2.1, 12.5, top + 3.1), fill=0)
        stroke(d, [(12, 17.4), (12, 19.2)], 1.2)
        stroke(d, [(8.8, 19.2), (15.2, 19.2)], 1.2)
    tag_icon("resource.png", server)

    def group(d):
        glyph_person(d, 8.2, 6.6, 0.62)
        glyph_person(d, 15.8, 6.6, 0.62)
        big = mask(canvas(24, 24))
        glyph_person(ImageDraw.Draw(big), 12, 8.2, 0.8)
        # cut a gap around the front figure so the three read apart
        d.bitmap((0, 0), grow(big, 0.5), fill=0)
        d.bitmap((0, 0), big, fill=255)
    tag_icon("UserGroup_icon.png", group)

    def account(d):
        glyph_person(d, 11, 5.6, 0.9)
    # the account on a resource: a person with a ticked badge
    tag_icon("resource_user.png", account,
             accent=lambda d: d.ellipse(box(13.4, 12.6, 19.6, 18.8), fill=255),
             mark=lambda d: stroke(d, [(14.8, 15.8), (16.1, 17.0), (18.2, 14.5)], 1.1))

    # close button of the (hidden) tray widget
    img = canvas(24, 24)
    shadow(img, circle_mask(img, 12, 12, 10), 0.8, 0, 0.6, 0.45)
    paint(img, circle_mask(img, 12, 12, 10), gradient(img.size, [(0, (84, 104, 138)), (1, (36, 50, 76))], 2, 22))
    x = mask(img)
    dx = ImageDraw.Draw(x)
    stroke(dx, [(8.3, 8.3), (15.7, 15.7)], 2.0)
    stroke(dx, [(8.3, 15.7), (15.7, 8.3)], 2.0)
    paint(img, x, GLYPH_LIGHT)
    save(down(img), "Close.png")

    # tab icons, 16 x 16, light glyph with a dark outline so they read on the blue tabs
    def tab_icon(name, draw_glyph):
        img = canvas(16, 16)
        g = mask(img)
        draw_glyph(ImageDraw.Draw(g))
        outline = grow(g, 0.75)
        paint(img, outline, (8, 34, 74), 0.9)
        paint(img, g, gradient(img.size, [(0, (255, 255, 255)), (1, (200, 224, 250))], 1, 15))
        save(down(img), name)

    def proxy(d):
        # two rack units above a network line with a node at each end
        for top in (1.2, 5.8):
            d.rounded_rectangle(box(2.4, top, 13.6, top + 3.9), radius=S(0.8), fill=255)
            d.rectangle(box(3.9, top + 1.5, 7.6, top + 2.4), fill=0)
            d.ellipse(box(10.6, top + 1.35, 11.8, top + 2.55), fill=0)
        stroke(d, [(8, 9.9), (8, 13.2)], 1.2)
        stroke(d, [(3.4, 13.2), (12.6, 13.2)], 1.2)
        for x in (2.6, 13.4):
            d.ellipse(box(x - 1.5, 11.7, x + 1.5, 14.7), fill=255)
    tab_icon("proxy_server.png", proxy)

    def sliders(d):
        for y, knob in ((3.5, 10.5), (8, 5.2), (12.5, 9.0)):
            stroke(d, [(2.2, y), (13.8, y)], 1.1)
            d.rounded_rectangle(box(knob - 1.5, y - 2.2, knob + 1.5, y + 2.2), radius=S(0.7), fill=255)
    tab_icon("Preference.png", sliders)


def buttons():
    save(pill_button(48, 24, "Login", (112, 188, 250), (20, 92, 190), (255, 255, 255), (12, 58, 128),
                     arrow=True, font_size=8.6), "login.png")
    blue = dict(text_colour=(255, 255, 255), border=(12, 58, 128))
    grey = dict(text_colour=(40, 52, 70), border=(150, 162, 180))
    save(pill_button(83, 26, "Save & Close", (98, 176, 246), (24, 96, 196), **blue, font_size=8.2), "save_close.png")
    save(pill_button(83, 26, "Save & Close", (140, 205, 255), (44, 128, 226), glow=True, **blue, font_size=8.2),
         "save_close_over.png")
    save(pill_button(83, 26, "Cancel", (252, 253, 255), (206, 215, 228), **grey, font_size=8.6), "cancel.png")
    save(pill_button(83, 26, "Cancel", (255, 255, 255), (226, 234, 245), glow=True, **grey, font_size=8.6),
         "cancel_over.png")


def desktop_icons():
    """The program's icon for desktop menus, the window and the tray, in the sizes of the hicolor icon theme."""
    for size in ICON_SIZES:
        folder = os.path.join("icons", "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(os.path.join(OUT_DIR, folder), exist_ok=True)
        save(logo(size), os.path.join(folder, "veltrane-auth.png"))


def pictures():
    """Every picture of the resource file, at the current scale."""
    save(logo(32), "CompLogo.png")
    token_panel()
    information_tag()
    container_background()
    proxy_background()
    icons()
    buttons()


def main():
    global SCALE
    for SCALE in (1, 2):
        pictures()
    SCALE = 1
    desktop_icons()
    return 0


if __name__ == "__main__":
    sys.exit(main())
