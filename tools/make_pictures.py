#!/usr/bin/env python3
"""Draws the icons, bitmaps and cursors of Tidbell32 and KWCTRL32.

Every picture is built from simple shapes sampled at pixel centres (no
anti-aliasing: the images use the fixed 16-colour VGA palette), then written
as a Windows .ico (4 bits per pixel with an AND mask), .bmp (4 bits per
pixel) or monochrome .cur file.  Only the standard library is used, so the
output is the same on every machine; the generated files are kept in the
repository next to the resource scripts that include them.

Run from anywhere:  python3 tools/make_pictures.py
"""

import math
import os
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The standard 16-colour VGA palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple: the key colour of transparent bitmaps
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


# ---------------------------------------------------------------- shapes
# A shape is a predicate on a point (x, y) in pixel coordinates; a pixel
# belongs to the shape when its centre (px + 0.5, py + 0.5) does.

def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def circle(cx, cy, r):
    return ellipse(cx, cy, r, r)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + r - x, 0.0, x - (x1 - r))
        dy = max(y0 + r - y, 0.0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return inside


def polygon(points):
    """Even-odd point-in-polygon test."""
    pts = list(points)

    def inside(x, y):
        result = False
        j = len(pts) - 1
        for i in range(len(pts)):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y):
                if x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    result = not result
            j = i
        return result
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def transformed(points, angle_deg, pivot):
    """Rotates points about pivot by angle (clockwise on screen)."""
    a = math.radians(angle_deg)
    ca, sa = math.cos(a), math.sin(a)
    px, py = pivot
    out = []
    for x, y in points:
        dx, dy = x - px, y - py
        out.append((px + dx * ca - dy * sa, py + dx * sa + dy * ca))
    return out


# ---------------------------------------------------------------- canvas

class Canvas:
    """A grid of palette indices; None marks a transparent pixel."""

    def __init__(self, w, h, ground=None):
        self.w, self.h = w, h
        self.px = [[ground] * w for _ in range(h)]

    def region(self, shape):
        return {(x, y) for y in range(self.h) for x in range(self.w)
                if shape(x + 0.5, y + 0.5)}

    def fill(self, shape, colour):
        cells = self.region(shape)
        for x, y in cells:
            self.px[y][x] = colour
        return cells

    def paint(self, shape, colour, outline=None):
        """Fills a shape and, optionally, draws its one-pixel inner border."""
        cells = self.fill(shape, colour)
        if outline is not None:
            for x, y in border(cells):
                self.px[y][x] = outline
        return cells

    def put(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = colour

    def line(self, x0, y0, x1, y1, colour):
        """Bresenham line between two pixel positions, both ends included."""
        x0, y0, x1, y1 = (int(round(v)) for v in (x0, y0, x1, y1))
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        while True:
            self.put(x0, y0, colour)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def art(self, x0, y0, rows, colours):
        """Copies a small character picture; characters not in colours are skipped."""
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch in colours:
                    self.put(x0 + dx, y0 + dy, colours[ch])


def border(cells):
    """Cells of a region that touch a cell outside it (sideways or up/down)."""
    steps = [(1, 0), (-1, 0), (0, 1), (0, -1)]
    return {(x, y) for x, y in cells
            if any((x + dx, y + dy) not in cells for dx, dy in steps)}


# ---------------------------------------------------------------- file writers

def _palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def _rows_4bpp(canvas, transparent_as=BLACK):
    """Bottom-up rows of 4-bit pixels, each row padded to 32 bits."""
    stride = ((canvas.w * 4 + 31) // 32) * 4
    data = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(canvas.w):
            c = canvas.px[y][x]
            c = transparent_as if c is None else c
            if x % 2 == 0:
                row[x // 2] |= c << 4
            else:
                row[x // 2] |= c
        data += row
    return bytes(data)


def _rows_1bpp(w, h, bit):
    """Bottom-up rows of 1-bit pixels, bit(x, y) -> 0 or 1, padded to 32 bits."""
    stride = ((w + 31) // 32) * 4
    data = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if bit(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        data += row
    return bytes(data)


def _info_header(w, h, bits, colours, image_size):
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, image_size,
                       0, 0, colours, 0)


def write_bmp(path, canvas):
    """A 16-colour BMP; every pixel must have a colour.  The bitmaps are
    loaded with their purple key colour swapped for the button face colour,
    and such a swap also turns button-face pixels purple, so silver (the
    classic button face) is kept out of them."""
    assert all(c is not None for row in canvas.px for c in row), path
    assert all(c != SILVER for row in canvas.px for c in row), path
    pixels = _rows_4bpp(canvas)
    offset = 14 + 40 + 64
    data = (b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
            + _info_header(canvas.w, canvas.h, 4, 16, len(pixels))
            + _palette_bytes() + pixels)
    _save(path, data)


def write_ico(path, canvases):
    """A 16-colour icon file holding one image per canvas (largest first)."""
    images = []
    for c in canvases:
        xor = _rows_4bpp(c)
        mask = _rows_1bpp(c.w, c.h, lambda x, y, c=c: c.px[y][x] is None)
        images.append(_info_header(c.w, c.h * 2, 4, 0, len(xor) + len(mask))
                      + _palette_bytes() + xor + mask)
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        data += struct.pack("<BBBBHHII", c.w, c.h, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    _save(path, data + b"".join(images))


def write_cur(path, rows, hotspot):
    """A 32 x 32 monochrome cursor from a character picture.

    'X' is black, 'o' white, '^' inverted screen, anything else transparent.
    """
    assert len(rows) == 32 and all(len(r) == 32 for r in rows), path
    hx, hy = hotspot
    xor = _rows_1bpp(32, 32, lambda x, y: rows[y][x] in "o^")
    mask = _rows_1bpp(32, 32, lambda x, y: rows[y][x] not in "Xo")
    mono_palette = struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    img = (_info_header(32, 64, 1, 2, len(xor) + len(mask))
           + mono_palette + xor + mask)
    data = (struct.pack("<HHH", 0, 2, 1)
            + struct.pack("<BBBBHHII", 32, 32, 0, 0, hx, hy, len(img), 22)
            + img)
    _save(path, data)


def _save(rel, data):
    path = os.path.join(ROOT, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print("wrote", rel, len(data), "bytes")


# ---------------------------------------------------------------- pictures

def draw_bell(cv, cx, top, s):
    """The program's emblem: a brass bell.  s scales the 32-pixel design
    (bell about 22 pixels high at s = 1); top is where the knob starts."""
    def X(v):
        return cx + v * s

    def Y(v):
        return top + v * s

    # Body profile: a dome that widens into a flared lip.
    right = [(0.0, 2.0), (3.0, 2.4), (5.2, 4.0), (6.2, 6.5), (6.6, 10.0),
             (7.2, 13.5), (8.6, 16.0), (10.6, 17.6), (11.0, 18.6)]
    outline = ([(X(dx), Y(dy)) for dx, dy in right]
               + [(X(-dx), Y(dy)) for dx, dy in reversed(right)])
    body = polygon(outline)
    knob = circle(X(0), Y(1.2), 1.9 * s)
    clapper = circle(X(0), Y(20.3), 2.4 * s)

    cv.paint(clapper, OLIVE, BLACK)
    cv.paint(union(body, knob), YELLOW, BLACK)
    inner = cv.region(body) - border(cv.region(union(body, knob)))
    # Shading on the right, a highlight on the left, a band along the lip.
    for x, y in inner:
        fx = (x + 0.5 - cx) / s
        fy = (y + 0.5 - top) / s
        if fy > 16.6:
            cv.put(x, y, OLIVE)
        elif fx > 3.2 + fy * 0.17:
            cv.put(x, y, OLIVE)
        elif -4.6 + fy * 0.04 < fx < -3.2 + fy * 0.04 and 6.5 < fy < 14.0:
            cv.put(x, y, WHITE)


def draw_envelope(cv, cx, cy, w, h, angle=0.0, pivot=(0.0, 0.0),
                  body=WHITE, line=BLACK, flap=GREY):
    """An envelope of size w x h centred on (cx, cy), turned by angle about
    pivot, with the V of its flap drawn inside its border."""
    def place(pts):
        return transformed(pts, angle, pivot) if angle else pts

    corners = place([(cx - w / 2, cy - h / 2), (cx + w / 2, cy - h / 2),
                     (cx + w / 2, cy + h / 2), (cx - w / 2, cy + h / 2)])
    cells = cv.paint(polygon(corners), body, line)
    inside = cells - border(cells)
    a, m, b = place([(cx - w / 2 + 1, cy - h / 2 + 1), (cx, cy + h * 0.12),
                     (cx + w / 2 - 1, cy - h / 2 + 1)])
    scratch = Canvas(cv.w, cv.h)
    scratch.line(a[0] - 0.5, a[1] - 0.5, m[0] - 0.5, m[1] - 0.5, flap)
    scratch.line(b[0] - 0.5, b[1] - 0.5, m[0] - 0.5, m[1] - 0.5, flap)
    for x, y in inside:
        if scratch.px[y][x] is not None:
            cv.put(x, y, flap)


# Every icon carries these sizes: the small and large icon sizes at 96, 120,
# 144 and 192 DPI (16/32, 20/40, 24/48, 32/64).  The 16-pixel images are
# drawn pixel by pixel; the others scale the 32-pixel design by size / 32,
# so the 32-pixel image stays exactly as it was.
ICON_SIZES = (64, 48, 40, 32, 24, 20, 16)


def tray_icon(size, ground, edge):
    """Idle (grey) and new-mail (red) tray icons: the bell on a rounded tile."""
    cv = Canvas(size, size)
    if size == 16:
        cv.paint(rounded_rect(0, 0, 16, 16, 3), ground, edge)
        cv.art(2, 1, SMALL_BELL, BELL_COLOURS)
    else:
        k = size / 32
        cv.paint(rounded_rect(1 * k, 1 * k, 31 * k, 31 * k, 5 * k), ground, edge)
        draw_bell(cv, 16 * k, 4.0 * k, 1.0 * k)
    return cv


# The bell drawn pixel by pixel for the 16 x 16 images, 12 pixels wide.
SMALL_BELL = [
    "     XX     ",
    "    XYYX    ",
    "   XYYYOX   ",
    "   XWYYOX   ",
    "   XWYYOX   ",
    "   XWYYOX   ",
    "  XYWYYYOX  ",
    "  XYYYYYOX  ",
    " XYYYYYYYOX ",
    "XYYYYYYYYYOX",
    "XOOOOOOOOOOX",
    " XXXXXXXXXX ",
    "     XX     ",
]
TINY_BELL = [
    "    XX    ",
    "   XYYX   ",
    "  XYYYOX  ",
    "  XWYYOX  ",
    " XYWYYYOX ",
    "XYYYYYYYOX",
    "XOOOOOOOOX",
    " XXXXXXXX ",
    "    XX    ",
]
SMALL_ENVELOPE = [
    "XXXXXXXXXXX",
    "XGWWWWWWWGX",
    "XWGWWWWWGWX",
    "XWWGWWWGWWX",
    "XWWWGWGWWWX",
    "XWWWWGWWWWX",
    "XWWWWWWWWWX",
    "XXXXXXXXXXX",
]
SMALL_ENVELOPE_10 = [
    "XXXXXXXXXX",
    "XLBBBBBBLX",
    "XBLLBBLLBX",
    "XBBBLLBBBX",
    "XBBBBBBBBX",
    "XBBBBBBBBX",
    "XXXXXXXXXX",
]
BELL_COLOURS = {"X": BLACK, "Y": YELLOW, "O": OLIVE, "W": WHITE}
ENVELOPE_COLOURS = {"X": BLACK, "W": WHITE, "G": GREY}


def app_icon(size):
    """Application icon: a fan of three envelopes opening about their
    lower left corner, the front one level."""
    cv = Canvas(size, size)
    if size != 16:
        k = size / 32
        w, h, pivot = 21 * k, 14 * k, (5.5 * k, 29 * k)
        for angle, body in ((-40, YELLOW), (-20, AQUA), (0, WHITE)):
            draw_envelope(cv, pivot[0] + w / 2, pivot[1] - h / 2, w, h,
                          angle, pivot, body)
    else:
        # Too small to turn the envelopes: fan them out as a cascade.
        for x, y, body, line in ((0, 1, YELLOW, OLIVE), (3, 5, AQUA, TEAL),
                                 (6, 9, WHITE, GREY)):
            cv.art(x, y, SMALL_ENVELOPE_10, {"X": BLACK, "B": body, "L": line})
    return cv


def about_icon(size):
    """About box icon: an envelope with the bell in front of it."""
    cv = Canvas(size, size)
    if size != 16:
        k = size / 32
        draw_envelope(cv, 12 * k, 11 * k, 22 * k, 15 * k)
        draw_bell(cv, 20.5 * k, 9.5 * k, 0.95 * k)
    else:
        cv.art(0, 1, SMALL_ENVELOPE, ENVELOPE_COLOURS)
        cv.art(6, 6, TINY_BELL, BELL_COLOURS)
    return cv


def logo(k=1):
    """About box logo, 60 x 96 times k, on the purple key colour: a bell
    ringing over an envelope.  It avoids silver, the usual button face
    colour, which the transparent loader would swap for the key colour.
    k = 2 gives the picture for 150% and more, drawn rather than enlarged."""
    cv = Canvas(60 * k, 96 * k, PURPLE)
    draw_bell(cv, 30 * k, 6 * k, 1.85 * k)
    # Sound waves either side of the bell: arcs of rings around its shoulders.
    for r in (16.5, 20.5):
        ring = minus(circle(30 * k, 21 * k, (r + 1.3) * k), circle(30 * k, 21 * k, r * k))
        cv.fill(lambda x, y, ring=ring: ring(x, y) and abs(y - 21 * k) < 0.45 * abs(x - 30 * k),
                RED)
    draw_envelope(cv, 30 * k, 75 * k, 46 * k, 28 * k)
    # A red seal where the flap closes.
    cv.paint(circle(30 * k, 79 * k, 3.6 * k), RED, MAROON)
    return cv


def browse_bitmap():
    """Face of the browse buttons, 24 x 24, on the purple key colour:
    an opened folder."""
    cv = Canvas(24, 24, PURPLE)
    cv.paint(polygon([(2, 5), (8, 5), (10, 7), (19, 7), (19, 19), (2, 19)]),
             OLIVE, BLACK)
    # A sheet of paper sticking out of the folder.
    cv.paint(polygon([(5, 4), (15, 4), (17, 6), (17, 14), (5, 14)]), WHITE, BLACK)
    cv.line(7, 7, 13, 7, GREY)
    cv.line(7, 9, 14, 9, GREY)
    # The front flap, opened towards the viewer.
    cv.paint(polygon([(6, 11), (22, 11), (18, 20), (2, 20)]), YELLOW, BLACK)
    return cv


HAND = [
    "     XX                         ",
    "    XooX                        ",
    "    XooX                        ",
    "    XooX                        ",
    "    XooX                        ",
    "    XooXXX                      ",
    "    XooXooXXX                   ",
    "    XooXooXooXX                 ",
    "XXX XooXooXooXoX                ",
    "XooXXooooooooXooX               ",
    "XoooXooooooooooooX              ",
    " XooXoooooooooooooX             ",
    "  XoXoooooooooooooX             ",
    "  XooooooooooooooX              ",
    "   XoooooooooooooX              ",
    "   XooooooooooooX               ",
    "    XoooooooooooX               ",
    "     XoooooooooX                ",
    "     XoooooooooX                ",
    "     XXXXXXXXXXX                ",
]
HAND = [row.ljust(32) for row in HAND] + [" " * 32] * (32 - len(HAND))


def moving_cursor():
    """Two vertical bars crossed by a left-right double arrow, centred on
    pixel (16, 16): black shapes with a white rim so they show on any ground."""
    black = set()
    for y in range(7, 26):
        black.add((14, y))
        black.add((18, y))
    for x in range(5, 28):
        black.add((x, 16))
    for d in range(1, 5):          # arrow heads
        for y in range(16 - d, 17 + d):
            black.add((4 + d, y))
            black.add((28 - d, y))
    rows = []
    for y in range(32):
        row = ""
        for x in range(32):
            if (x, y) in black:
                row += "X"
            elif any((x + dx, y + dy) in black
                     for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                row += "o"
            else:
                row += " "
        rows.append(row)
    return rows


def main():
    write_ico("watcher/res/idle.ico", [tray_icon(n, GREY, BLACK) for n in ICON_SIZES])
    write_ico("watcher/res/newmail.ico", [tray_icon(n, RED, MAROON) for n in ICON_SIZES])
    write_ico("watcher/res/app.ico", [app_icon(n) for n in ICON_SIZES])
    write_ico("watcher/res/about.ico", [about_icon(n) for n in ICON_SIZES])
    write_bmp("watcher/res/logo.bmp", logo())
    write_bmp("watcher/res/logo2x.bmp", logo(2))
    write_bmp("watcher/res/browse.bmp", browse_bitmap())
    write_cur("watcher/res/hand.cur", HAND, (5, 0))
    write_cur("controls/res/hand.cur", HAND, (5, 0))
    write_cur("controls/res/moving.cur", moving_cursor(), (16, 16))


if __name__ == "__main__":
    main()
