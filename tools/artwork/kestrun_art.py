#!/usr/bin/python3
"""Draws Kestrun's skin, key, indicator and slider bitmaps, the program icon and the hand cursor.

Everything is drawn from code with fixed fonts and a fixed noise seed, at every display scale from
one geometry, so a rerun gives the same files byte for byte. Bitmaps at 100 % are written as plain
24-bit bottom-up BMPs, at the other stored scales as PNGs; the icon and the cursor hold every size
as classic BITMAPINFOHEADER images (no PNG inside).

Usage: kestrun_art.py --out <res dir> [--preview <png>] [--compare <committed res dir>]
                      [--all-scales | --scales 100,125,...]
With --compare, the files written to --out must equal the committed ones byte for byte. Scales the
program does not carry are drawn (and checked) only when asked, into <out>/drawn/<scale>/.
"""

import argparse
import io
import math
import os
import random
import struct
import sys

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont
except ImportError:
    print("Pillow is missing: apt-get install python3-pil (or run tools/artwork/generate.sh)")
    sys.exit(77)  # the test runner's "skipped"

# --------------------------------------------------------------------------------------------------
# Dialog units to pixels. "MS Shell Dlg" 8 pt gives base units of 6 x 13 pixels (on Windows, and under
# Wine with its own Tahoma installed), so one horizontal unit is 6/4 = 1.5 px and one vertical unit
# 13/8 = 1.625 px. Correct these two fractions if the panel's measured base units differ; every
# control position below follows from them.
DLU_X_NUM, DLU_X_DEN = 3, 2
DLU_Y_NUM, DLU_Y_DEN = 13, 8


def mul_div(value, num, den):
    """Windows MulDiv for non-negative values: rounds half away from zero."""
    return (value * num * 2 + den) // (den * 2)


def dlu_x(x):
    return mul_div(x, DLU_X_NUM, DLU_X_DEN)


def dlu_y(y):
    return mul_div(y, DLU_Y_NUM, DLU_Y_DEN)


# --------------------------------------------------------------------------------------------------
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
FONT_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")
FONT_COND_BOLD = os.path.join(FONT_DIR, "DejaVuSansCondensed-Bold.ttf")

SS = 4  # supersampling factor for everything drawn with antialiasing

# The display scales the artwork is drawn for, in percent. Every drawing below is in pixels of the
# 100 % geometry times U, the supersampled pixels per 100 % pixel at the scale being drawn
# (SS * scale / 100: 4, 5, 6, 7, 8, 10, 12), and comes out at 1/SS of that.
SCALES = (100, 125, 150, 175, 200, 250, 300)
# The scales the program carries (the others it makes with its own filter from the next larger):
# 100 % as BMP resources, the rest as PNG. See README.md for the sizes that chose them.
STORED_SCALES = (100, 200, 300)
PCT = 100
U = SS


def set_scale(pct):
    global PCT, U
    assert (SS * pct) % 100 == 0, "one 100 % pixel must be a whole number of supersampled pixels"
    PCT, U = pct, SS * pct // 100


def sc(v, pct=None):
    """A 100 % length at the scale, rounded as the program's MulDiv(v, dpi, 96) rounds."""
    return mul_div(v, PCT if pct is None else pct, 100)

SKIN_W, SKIN_H = 600, 350
FACE = (194, 192, 193)
WHITE = (255, 255, 255)
DISPLAY_BLUE = (218, 236, 255)  # the glass runs a little lighter below and darker above this
DISPLAY_RECT = (144, 38, 428, 206)  # left, top, right, bottom (exclusive)

# The outline of the component: face rows 8..332, full width x 8..592, rounded corners; two feet
# below it; one see-through slot on row 10. These give the window region its exact rectangles.
FACE_LEFT, FACE_TOP, FACE_RIGHT, FACE_BOTTOM = 8, 8, 592, 333
FACE_RADIUS = 14
FEET = ((50, 165), (435, 550))
FEET_TOP, FEET_BOTTOM = 333, 343
SLOT_ROW = 10
SLOT_X = (276, 324)

TEXT_DIM = (104, 118, 138)   # dim grey-blue print on an unlit key
CAPTION = (62, 64, 72)       # printed captions on the face
KEY_BLUE_TOP = (86, 178, 255)
KEY_BLUE_BOTTOM = (18, 98, 214)


# --------------------------------------------------------------------------------------------------
# Controls of dialog template 102 that show artwork: where they land and which images they use.
class Control:
    def __init__(self, name, ctl_id, x, y, images, size):
        self.name = name
        self.ctl_id = ctl_id
        self.left = dlu_x(x)
        self.top = dlu_y(y)
        self.images = images  # (normal/off/span, selected/on/channel)
        self.width, self.height = size

    def right_x(self):
        return self.left + self.width

    @property
    def rect(self):
        return (self.left, self.top, self.left + self.width, self.top + self.height)

    @property
    def scaled_rect(self):
        """Where the program puts the control at the scale: place and size each scaled and rounded."""
        left, top = sc(self.left), sc(self.top)
        return (left, top, left + sc(self.width), top + sc(self.height))


RATE_SIZE = (46, 47)
DEPTH_SIZE = (46, 38)
CONTROLS = [
    Control("rate_44k1", 1002, 95, 165, (139, 140), RATE_SIZE),
    Control("rate_96k", 1005, 191, 165, (133, 134), RATE_SIZE),
    Control("rate_48k", 1003, 127, 165, (131, 132), RATE_SIZE),
    Control("rate_176k4", 1006, 223, 165, (135, 136), RATE_SIZE),
    Control("rate_192k", 1007, 255, 165, (137, 138), RATE_SIZE),
    Control("rate_88k2", 1004, 159, 165, (141, 142), RATE_SIZE),
    Control("depth_24", 1009, 130, 141, (160, 161), DEPTH_SIZE),
    Control("depth_16", 1008, 95, 141, (158, 159), DEPTH_SIZE),
    Control("power", 1015, 35, 31, (163, 157), (51, 29)),
    Control("mute", 1020, 351, 163, (164, 165), (47, 48)),
    Control("slider_left", 1021, 303, 32, (176, 177), (50, 208)),
    Control("slider_right", 1022, 344, 32, (178, 179), (50, 208)),
    Control("link", 1023, 329, 170, (181, 182), (33, 33)),
    Control("spdif", 1024, 36, 72, (172, 173), (51, 41)),
    Control("speaker", 1026, 36, 101, (174, 175), (51, 41)),
    Control("depth_32", 1014, 165, 141, (183, 184), DEPTH_SIZE),  # hidden in the panel
]
VISIBLE = [c for c in CONTROLS if c.ctl_id != 1014]


def control(name):
    for c in CONTROLS:
        if c.name == name:
            return c
    raise KeyError(name)


# File names of every bitmap ID (the resource script refers to these).
BITMAP_FILES = {
    131: "131_rate48.bmp", 132: "132_rate48_sel.bmp",
    133: "133_rate96.bmp", 134: "134_rate96_sel.bmp",
    135: "135_rate176.bmp", 136: "136_rate176_sel.bmp",
    137: "137_rate192.bmp", 138: "138_rate192_sel.bmp",
    139: "139_rate44.bmp", 140: "140_rate44_sel.bmp",
    141: "141_rate88.bmp", 142: "142_rate88_sel.bmp",
    146: "146_skin.bmp",
    157: "157_power_sel.bmp",
    158: "158_depth16.bmp", 159: "159_depth16_sel.bmp",
    160: "160_depth24.bmp", 161: "161_depth24_sel.bmp",
    163: "163_power.bmp",
    164: "164_mute_off.bmp", 165: "165_mute_on.bmp",
    172: "172_spdif.bmp", 173: "173_spdif_sel.bmp",
    174: "174_speaker.bmp", 175: "175_speaker_sel.bmp",
    176: "176_slider_left_span.bmp", 177: "177_slider_left_channel.bmp",
    178: "178_slider_right_span.bmp", 179: "179_slider_right_channel.bmp",
    181: "181_link_off.bmp", 182: "182_link_on.bmp",
    183: "183_depth32.bmp", 184: "184_depth32_sel.bmp",
}
ICON_FILE = "Kestrun.ico"
CURSOR_FILE = "hand.cur"
CURSOR_HOTSPOT = (6, 0)


# --------------------------------------------------------------------------------------------------
# File writers
def bmp_bytes(img):
    """24-bit, bottom-up, uncompressed BMP with a BITMAPINFOHEADER."""
    img = img.convert("RGB")
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    pad = b"\0" * (stride - w * 3)
    raw = img.tobytes("raw", "BGR")
    rows = [raw[y * w * 3:(y + 1) * w * 3] + pad for y in range(h - 1, -1, -1)]
    pixels = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    return file_header + header + pixels


def mask_rows(opaque, w, h):
    """AND mask, bottom-up, 1 bit per pixel, rows padded to 32 bits; 1 = transparent."""
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if not opaque(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def icon_image(img):
    """One 32-bpp image with alpha and an AND mask (transparent where alpha is 0)."""
    img = img.convert("RGBA")
    w, h = img.size
    px = img.load()
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            xor += bytes((b, g, r, a))
    andmask = mask_rows(lambda x, y: px[x, y][3] != 0, w, h)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return header + bytes(xor) + andmask


def group_file(kind, entries):
    """An .ico (kind 1) or .cur (kind 2) file: entries are (width, height, colours, field4, field6,
    image bytes), the two fields being planes and bit count for an icon, the hot spot for a cursor."""
    out = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    for w, h, colours, f4, f6, image in entries:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, colours, 0, f4, f6, len(image), offset)
        offset += len(image)
    return out + b"".join(e[5] for e in entries)


def png_bytes(img):
    out = io.BytesIO()
    img.save(out, format="PNG", optimize=False, compress_level=9)
    return out.getvalue()


def ico_bytes(images):
    """Every size of the program icon, smallest first: classic 32-bpp images, and the 256-pixel
    one as PNG, as Windows stores that size (a classic one is 270 KB that every start reads)."""
    return group_file(1, [(img.width, img.height, 0, 1, 32,
                           png_bytes(img.convert("RGBA")) if img.width >= 256 else icon_image(img))
                          for img in images])


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def cursor_image(indices, opaque, w, h):
    """One 16-colour (4 bpp) cursor image with its AND mask."""
    palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in VGA16)
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(((w * 4 + 31) // 32) * 4)
        for x in range(w):
            v = indices[y][x] if opaque[y][x] else 0
            row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        xor += row
    andmask = mask_rows(lambda x, y: opaque[y][x], w, h)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(xor) + len(andmask), 0, 0, 16, 0)
    return header + palette + bytes(xor) + andmask


def cur_bytes(cursors):
    """cursors: (indices, opaque, size, hot spot) for every size, smallest first."""
    return group_file(2, [(n, n, 16, hot[0], hot[1], cursor_image(idx, opaque, n, n))
                          for idx, opaque, n, hot in cursors])


# --------------------------------------------------------------------------------------------------
# Drawing helpers
def font(path, size_px):
    return ImageFont.truetype(path, size_px)


def clamp_face(img):
    """No drawn pixel may be pure white: white is the window's see-through key colour."""
    return img.point(lambda v: min(v, 254))


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def vgradient(size, top, bottom):
    w, h = size
    col = Image.new("RGB", (1, h))
    for y in range(h):
        col.putpixel((0, y), lerp(top, bottom, y / max(1, h - 1)))
    return col.resize((w, h), Image.NEAREST)


def rounded_mask(size, box, radius):
    m = Image.new("L", size, 0)
    ImageDraw.Draw(m).rounded_rectangle(box, radius=radius, fill=255)
    return m


def shifted(mask, dx, dy):
    out = Image.new("L", mask.size, 0)
    out.paste(mask, (dx, dy))
    return out


def down(img):
    w, h = img.size
    return img.resize((w // SS, h // SS), Image.Resampling.BOX)


def embossed_text(draw, pos, text, fnt, fill, anchor, light=(226, 226, 228), offset=None):
    offset = U if offset is None else offset
    x, y = pos
    draw.text((x, y + offset), text, font=fnt, fill=light, anchor=anchor)
    draw.text((x, y), text, font=fnt, fill=fill, anchor=anchor)


# --------------------------------------------------------------------------------------------------
# Keys and indicators (size in pixels at the scale; drawn at SS x, returned at 1 x)
def key_base(size, lit, bg, radius=6):
    """A rounded, bevelled metal key sunk into the grey face; blue when lit. bg is the skin under
    the key, so that the face around the key continues the skin's brushed texture."""
    w, h = size[0] * SS, size[1] * SS
    img = bg.resize((w, h), Image.BICUBIC)
    r = radius * U
    # recess around the key: darker ring that fades into the face
    well = rounded_mask((w, h), (0, 0, w - 1, h - 1), r + U)
    img.paste((150, 149, 152), (0, 0), well.filter(ImageFilter.GaussianBlur(U)))
    # drop shadow under the key
    body_box = (U * 2, U * 1, w - 1 - U * 2, h - 1 - U * 3)
    shadow = rounded_mask((w, h), (body_box[0], body_box[1] + U * 2, body_box[2], body_box[3] + U * 2), r)
    img.paste((88, 88, 94), (0, 0), shadow.filter(ImageFilter.GaussianBlur(U * 0.8)))
    # rim
    rim = rounded_mask((w, h), body_box, r)
    img.paste((92, 96, 108) if not lit else (10, 60, 150), (0, 0), rim)
    # body gradient
    inner = (body_box[0] + U, body_box[1] + U, body_box[2] - U, body_box[3] - U)
    body = rounded_mask((w, h), inner, r - U)
    if lit:
        grad = vgradient((w, h), KEY_BLUE_TOP, KEY_BLUE_BOTTOM)
    else:
        grad = vgradient((w, h), (238, 238, 240), (170, 170, 176))
    img.paste(grad, (0, 0), body)
    # slightly concave cap: a second, reversed gradient inside
    cap_box = (inner[0] + U * 2, inner[1] + U * 2, inner[2] - U * 2, inner[3] - U * 3)
    cap = rounded_mask((w, h), cap_box, max(U, r - U * 3))
    if lit:
        cgrad = vgradient((w, h), (34, 122, 232), (66, 162, 250))
    else:
        cgrad = vgradient((w, h), (196, 196, 201), (224, 224, 228))
    img.paste(cgrad, (0, 0), cap.filter(ImageFilter.GaussianBlur(U * 0.6)))
    # top highlight line on the rim
    hl = ImageChops.subtract(body, shifted(body, 0, U))
    img.paste((250, 250, 252) if not lit else (170, 220, 255), (0, 0), hl)
    return img, cap_box


def face_corners(img, bg, radius=6):
    """The skin's own pixels at the corners, so the key sits on the face without a visible box."""
    w, h = img.size
    outside = ImageChops.invert(rounded_mask((w, h), (0, 0, w - 1, h - 1), radius))
    img.paste(bg, (0, 0), outside)
    return img


def label_key(size, text, lit, font_px, bg):
    img, cap = key_base(size, lit, bg)
    d = ImageDraw.Draw(img)
    cx = (cap[0] + cap[2]) / 2
    cy = (cap[1] + cap[3]) / 2 + U * 0.5
    fnt = font(FONT_COND_BOLD, font_px * U)
    if lit:
        d.text((cx, cy + U * 0.7), text, font=fnt, fill=(14, 70, 160), anchor="mm")
        d.text((cx, cy), text, font=fnt, fill=(254, 254, 254), anchor="mm")
    else:
        embossed_text(d, (cx, cy), text, fnt, TEXT_DIM, "mm", light=(242, 242, 244), offset=U * 0.7)
    return face_corners(clamp_face(down(img)), bg)


def symbol_colour(lit):
    return (254, 254, 254) if lit else TEXT_DIM


def draw_power_symbol(d, c, radius, width, colour):
    cx, cy = c
    box = (cx - radius, cy - radius, cx + radius, cy + radius)
    d.arc(box, start=-60, end=240, fill=colour, width=width)
    d.line((cx, cy - radius - width * 0.6, cx, cy + radius * 0.05), fill=colour, width=width)


def draw_speaker(d, c, s, colour, waves=True):
    """Loudspeaker facing right, scaled by s (pixels of U space per unit)."""
    cx, cy = c
    pts = [(-5, -2.2), (-2.2, -2.2), (1.6, -5.4), (1.6, 5.4), (-2.2, 2.2), (-5, 2.2)]
    d.polygon([(cx + x * s, cy + y * s) for x, y in pts], fill=colour)
    if waves:
        for rad in (3.4, 5.8):
            box = (cx + 0.6 * s - rad * s, cy - rad * s, cx + 0.6 * s + rad * s, cy + rad * s)
            d.arc(box, start=-45, end=45, fill=colour, width=max(1, int(s * 0.8)))


def symbol_key(size, lit, painter, bg):
    """A key printed with a symbol; painter draws the symbol's shape into a mask."""
    img, cap = key_base(size, lit, bg)
    symbol = Image.new("L", img.size, 0)
    painter(ImageDraw.Draw(symbol), ((cap[0] + cap[2]) / 2, (cap[1] + cap[3]) / 2))
    # a light edge below an unlit print, a dark one below a lit print, as with the texts
    img.paste((14, 70, 160) if lit else (242, 242, 244), (0, 0), shifted(symbol, 0, (3 * U + SS // 2) // SS))
    img.paste(symbol_colour(lit), (0, 0), symbol)
    return face_corners(clamp_face(down(img)), bg)


def power_painter(d, c):
    draw_power_symbol(d, c, 6.5 * U, int(2.2 * U), 255)


def square_wave_painter(d, c):
    cx, cy = c
    u = 2.6 * U
    pts = [(-7, 2.5), (-4.5, 2.5), (-4.5, -2.5), (-1.5, -2.5), (-1.5, 2.5), (1.5, 2.5), (1.5, -2.5),
           (4.5, -2.5), (4.5, 2.5), (7, 2.5)]
    d.line([(cx + x * u, cy + y * u) for x, y in pts], fill=255, width=int(2 * U), joint="curve")


def speaker_painter(d, c):
    draw_speaker(d, (c[0] - 1.5 * U, c[1]), 1.9 * U, 255)


def mute_painter(d, c):
    cx, cy = c
    s = 2.2 * U
    draw_speaker(d, (cx - 6 * U, cy), s, 255, waves=False)
    x0, y0, k = cx + 7 * U, cy, 5 * U
    wdt = int(2.6 * U)
    d.line((x0 - k, y0 - k, x0 + k, y0 + k), fill=255, width=wdt)
    d.line((x0 - k, y0 + k, x0 + k, y0 - k), fill=255, width=wdt)


def link_painter(d, c):
    """Two chain links on a diagonal, the second passing under the first."""
    cx, cy = c
    u = U
    n = 40 * u
    chain = Image.new("L", (n, n), 0)
    cd = ImageDraw.Draw(chain)
    lw, lh, overlap = 15 * u, 8 * u, 5 * u
    x0 = (n - (2 * lw - overlap)) // 2
    y0 = (n - lh) // 2
    width = int(2.4 * u)
    cd.rounded_rectangle((x0 + lw - overlap, y0, x0 + 2 * lw - overlap, y0 + lh), radius=lh // 2,
                         outline=255, width=width)
    cd.rectangle((x0 + lw - width - u, y0 - u, x0 + lw + u, y0 + width + u), fill=0)
    cd.rounded_rectangle((x0, y0, x0 + lw, y0 + lh), radius=lh // 2, outline=255, width=width)
    chain = chain.rotate(45, resample=Image.Resampling.BICUBIC)
    d.bitmap((int(cx - n / 2), int(cy - n / 2)), chain, fill=255)


# --------------------------------------------------------------------------------------------------
# Slider wedges: narrow at the bottom (silence), wide at the top (full level), in LED segments.
WEDGE_X0 = 6
WEDGE_TOP_W, WEDGE_BOTTOM_W = 34, 6


def wedge_width(y, h):
    t = y / (h - 1)
    return WEDGE_TOP_W + (WEDGE_BOTTOM_W - WEDGE_TOP_W) * t


def slider_image(size, filled, bg):
    """bg is the skin under the slider at the scale: outside its slot the image is the skin itself.
    size is the slider's 100 % size, in which the wedge is laid out."""
    w, h = size
    img = bg.resize((bg.width * SS, bg.height * SS), Image.BICUBIC)
    d = ImageDraw.Draw(img)
    drawn = Image.new("L", img.size, 0)
    dm = ImageDraw.Draw(drawn)

    def poly(points, fill):
        pts = [(x * U, y * U) for x, y in points]
        d.polygon(pts, fill=fill)
        dm.polygon(pts, fill=255)

    def line(points, fill):
        d.line(points, fill=fill, width=U)
        dm.line(points, fill=255, width=U)

    # the recessed slot that holds the ladder
    poly([(WEDGE_X0 - 2, 0), (WEDGE_X0 + WEDGE_TOP_W + 3, 0),
          (WEDGE_X0 + WEDGE_BOTTOM_W + 3, h), (WEDGE_X0 - 2, h)], (120, 120, 126))
    poly([(WEDGE_X0 - 1, 0), (WEDGE_X0 + WEDGE_TOP_W + 1.5, 0),
          (WEDGE_X0 + WEDGE_BOTTOM_W + 1.5, h), (WEDGE_X0 - 1, h)], (64, 66, 74))
    seg, gap = 3, 1
    y = 0
    while y < h:
        y1 = min(h, y + seg)
        wt = wedge_width(y, h)
        wb = wedge_width(y1, h)
        t = 1 - (y + y1) / 2 / h  # 0 at the bottom, 1 at the top
        if filled:
            col = lerp((20, 84, 224), (40, 226, 255), t)
        else:
            col = lerp((150, 152, 160), (172, 174, 182), t)
        poly([(WEDGE_X0, y), (WEDGE_X0 + wt, y), (WEDGE_X0 + wb, y1), (WEDGE_X0, y1)], col)
        y = y1 + gap
    # a faint highlight along the right edge of the slot, where light meets the bevel
    line([((WEDGE_X0 + WEDGE_TOP_W + 3) * U, 0), ((WEDGE_X0 + WEDGE_BOTTOM_W + 3) * U, h * U)],
         (226, 226, 230))
    # scale ticks beside the slope: every 10 %, longer at 0, 50 and 100 %
    for i in range(11):
        ty = min(h - 1, round(i * h / 10))
        tx = WEDGE_X0 + wedge_width(ty, h) + 4
        line([(tx * U, ty * U + U // 2), ((tx + (4 if i % 5 == 0 else 2.5)) * U, ty * U + U // 2)],
             (78, 80, 90))
    out = clamp_face(down(img))
    untouched = down(drawn).point(lambda v: 255 if v == 0 else 0)
    out.paste(bg, (0, 0), untouched)
    return out


# --------------------------------------------------------------------------------------------------
# The skin
def skin_size(pct=None):
    return sc(SKIN_W, pct), sc(SKIN_H, pct)


def face_row_run(y, pct=None):
    """Opaque run [x0, x1) of the face on row y at the scale, or None."""
    top, bottom = sc(FACE_TOP, pct), sc(FACE_BOTTOM, pct)
    if y < top or y >= bottom:
        return None
    r = FACE_RADIUS * (PCT if pct is None else pct) / 100
    inset = 0
    dy = None
    if y < top + r:
        dy = top + r - (y + 0.5)
    elif y >= bottom - r:
        dy = (y + 0.5) - (bottom - r)
    if dy is not None and dy > 0:
        dx = math.sqrt(max(0.0, r * r - dy * dy))
        inset = int(math.ceil(r - dx - 0.5))  # pixel centre inside the corner circle
        inset = max(0, inset)
    return (sc(FACE_LEFT, pct) + inset, sc(FACE_RIGHT, pct) - inset)


def outline_runs(pct=None):
    """The rows of the outline as lists of runs: exactly what the window region will be."""
    pct = PCT if pct is None else pct
    rows = []
    slot = (sc(SLOT_ROW, pct), sc(SLOT_ROW + 1, pct))
    slot_x = (sc(SLOT_X[0], pct), sc(SLOT_X[1], pct))
    feet_top, feet_bottom = sc(FEET_TOP, pct), sc(FEET_BOTTOM, pct)
    for y in range(skin_size(pct)[1]):
        runs = []
        fr = face_row_run(y, pct)
        if fr:
            if slot[0] <= y < slot[1]:
                runs += [(fr[0], slot_x[0]), (slot_x[1], fr[1])]
            else:
                runs.append(fr)
        if feet_top <= y < feet_bottom:
            # the feet's lower corners: cut by 1 px one row up and by 3 px on the last row (100 %)
            above = (feet_bottom - (y + 0.5)) * 100 / pct
            inset = sc(3, pct) if above < 1 else sc(1, pct) if above < 2 else 0
            for a, b in FEET:
                runs.append((sc(a, pct) + inset, sc(b, pct) - inset))
        rows.append(runs)
    return rows


def outline_mask():
    """255 inside the outline, 0 where the window will be see-through."""
    m = Image.new("L", skin_size(), 0)
    d = ImageDraw.Draw(m)
    for y, runs in enumerate(outline_runs()):
        for a, b in runs:
            d.line((a, y, b - 1, y), fill=255)
    return m


def brushed_face(size, rng):
    """Light-grey brushed metal: fine horizontal streaks over a gentle top-to-bottom shade."""
    w, h = size
    noise = Image.new("L", (w // 12, h))
    noise.putdata([int(128 + rng.gauss(0, 18)) for _ in range((w // 12) * h)])
    streaks = noise.resize((w, h), Image.BICUBIC)
    fine = Image.new("L", (w, h))
    fine.putdata([int(128 + rng.gauss(0, 6)) for _ in range(w * h)])
    tex = Image.blend(streaks, fine, 0.35)
    base = vgradient((w, h), (203, 201, 202), (186, 184, 185))
    # map texture 128 +/- n onto the base colour as a small +/- shift
    shift = tex.point(lambda v: max(0, min(255, 128 + (v - 128) // 3)))
    lighter = ImageChops.add(base, Image.merge("RGB", [shift] * 3), 1.0, -128)
    return lighter


def draw_caption(d, text, pos, anchor, size_px=11):
    fnt = font(FONT_BOLD, size_px * U)
    x, y = pos[0] * U, pos[1] * U
    embossed_text(d, (x, y), text, fnt, CAPTION, anchor, light=(228, 228, 230), offset=U)
    return d.textbbox((x, y), text, font=fnt, anchor=anchor)


def make_skin(rng):
    W, H = skin_size()[0] * SS, skin_size()[1] * SS
    outline = outline_mask()
    # the same 100 % texture at every scale, so the metal looks alike on every monitor
    face = brushed_face((SKIN_W, SKIN_H), rng).resize((SKIN_W * U, SKIN_H * U), Image.BICUBIC)
    img = Image.new("RGB", (W, H), WHITE)
    img.paste(face, (0, 0))
    d = ImageDraw.Draw(img)
    captions = []

    # feet: dark rubber with a soft highlight
    for a, b in FEET:
        d.rectangle((a * U, FEET_TOP * U, b * U - 1, FEET_BOTTOM * U - 1), fill=(44, 44, 48))
        d.rectangle(((a + 3) * U, (FEET_TOP + 1) * U, (b - 3) * U - 1, (FEET_TOP + 3) * U),
                    fill=(78, 78, 84))
    # the face's base trim: a darker band along the bottom
    base = ((FACE_LEFT) * U, (FACE_BOTTOM - 14) * U, FACE_RIGHT * U - 1, FACE_BOTTOM * U - 1)
    d.rectangle(base, fill=(150, 148, 150))
    d.line((base[0], base[1], base[2], base[1]), fill=(112, 110, 114), width=U)
    d.line((base[0], base[1] + U, base[2], base[1] + U), fill=(214, 212, 214), width=U)

    # engraved groove framing the working area
    gl, gt, gr, gb = 18, 20, 582, 318
    d.rounded_rectangle((gl * U, gt * U, gr * U, gb * U), radius=8 * U, outline=(160, 158, 162), width=U)
    d.rounded_rectangle(((gl + 1) * U, (gt + 1) * U, (gr + 1) * U, (gb + 1) * U), radius=8 * U,
                        outline=(222, 220, 222), width=U)

    # the slot on row 10 shows through; its lips are drawn as a shadowed groove
    d.rectangle(((SLOT_X[0] - 2) * U, (SLOT_ROW - 1) * U, (SLOT_X[1] + 2) * U - 1, SLOT_ROW * U - 1),
                fill=(112, 110, 114))
    d.rectangle(((SLOT_X[0] - 2) * U, (SLOT_ROW + 1) * U, (SLOT_X[1] + 2) * U - 1, (SLOT_ROW + 2) * U - 1),
                fill=(224, 222, 224))

    # display window: recessed pale blue glass
    l, t, r, b = DISPLAY_RECT
    d.rounded_rectangle(((l - 3) * U, (t - 3) * U, (r + 3) * U - 1, (b + 3) * U - 1), radius=7 * U,
                        fill=(226, 226, 228))
    d.rounded_rectangle(((l - 3) * U, (t - 3) * U, (r + 2) * U - 1, (b + 2) * U - 1), radius=7 * U,
                        fill=(118, 120, 130))
    d.rounded_rectangle(((l - 1) * U, (t - 1) * U, (r + 1) * U - 1, (b + 1) * U - 1), radius=5 * U,
                        fill=(70, 86, 110))
    glass = vgradient((W, H), lerp(DISPLAY_BLUE, (190, 214, 250), 0.2), lerp(DISPLAY_BLUE, WHITE, 0.2))
    gm = rounded_mask((W, H), (l * U, t * U, r * U - 1, b * U - 1), 4 * U)
    img.paste(glass, (0, 0), gm)
    # inner shadow along the glass's top and left edge
    sh = ImageChops.subtract(gm, shifted(gm, 2 * U, 2 * U)).filter(ImageFilter.GaussianBlur(U))
    img.paste((160, 184, 214), (0, 0), sh)
    fnt = font(FONT_BOLD, 13 * U)
    d.text((((l + r) / 2) * U, (b - 12) * U), "Lumirel USB Audio Device", font=fnt,
           fill=(62, 102, 156), anchor="mm")
    d.line(((l + 14) * U, (b - 24) * U, (r - 14) * U, (b - 24) * U), fill=(180, 206, 236), width=U)

    # group captions beside where their controls land
    pw, sp, d16, r44 = control("power"), control("spdif"), control("depth_16"), control("rate_44k1")
    sl, sr = control("slider_left"), control("slider_right")
    captions.append(draw_caption(d, "Power", ((pw.left + pw.right_x()) / 2, pw.top - 9), "mm"))
    captions.append(draw_caption(d, "Select", ((sp.left + sp.right_x()) / 2, sp.top - 9), "mm"))
    captions.append(draw_caption(d, "Bit Depth", (d16.left - 8, d16.top + d16.height / 2), "rm"))
    captions.append(draw_caption(d, "Sample Rate", (r44.left - 8, r44.top + r44.height / 2), "rm"))
    captions.append(draw_caption(d, "Volume", ((sl.left + sr.right_x()) / 2, sl.top - 21), "mm"))
    small = font(FONT_BOLD, 9 * U)
    for s, txt in ((sl, "L"), (sr, "R")):
        bx = (s.left + WEDGE_X0 + WEDGE_TOP_W / 2) * U
        embossed_text(d, (bx, (s.top - 3) * U), txt, small, CAPTION, "mb", light=(228, 228, 230))
        captions.append(d.textbbox((bx, (s.top - 3) * U), txt, font=small, anchor="mb"))
    brand = font(FONT_BOLD, 10 * U)
    embossed_text(d, (574 * U, 326 * U), "V E X M O R A", brand, (92, 92, 100), "rm",
                  light=(200, 198, 200))

    img = down(img)
    img = clamp_face(img)
    # the outline is cut hard: no blended edge pixels, so no near-white fringe around the window
    img.paste(WHITE, (0, 0), ImageChops.invert(outline))
    img = bevel(img, outline)
    check_captions_clear(captions)
    return img


def bevel(img, mask):
    """Light top-left and dark bottom-right rims just inside the outline."""
    one, two = sc(1), sc(2)
    inside_tl = ImageChops.subtract(mask, shifted(mask, one, one))
    inside_tl2 = ImageChops.subtract(mask, shifted(mask, two, two))
    inside_br = ImageChops.subtract(mask, shifted(mask, -one, -one))
    inside_br2 = ImageChops.subtract(mask, shifted(mask, -two, -two))
    img.paste((222, 221, 222), (0, 0), inside_tl2)
    img.paste((240, 239, 240), (0, 0), inside_tl)
    img.paste((140, 138, 141), (0, 0), inside_br2)
    img.paste((96, 94, 98), (0, 0), inside_br)
    return img


def check_captions_clear(boxes):
    """Printed captions must leave the areas under the controls as plain face."""
    for bx in boxes:
        l, t, r, b = (v / U for v in bx)
        for c in VISIBLE:
            cl, ct, cr, cb = c.rect
            if l < cr and cl < r and t < cb and ct < b:
                raise SystemExit("caption box %s overlaps control %s %s" % ((l, t, r, b), c.name, c.rect))


# --------------------------------------------------------------------------------------------------
# Icon and cursor
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def make_icon(size=48):
    """The icon's geometry is laid out on a 48-unit grid and drawn at any size from it."""
    n = size * SS
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    u = n // 48 if n % 48 == 0 else n / 48
    # a small hi-fi front: grey body, dark feet, blue display and a level wedge
    d.rectangle((8 * u, 38 * u, 15 * u, 44 * u), fill=(40, 40, 44, 255))
    d.rectangle((33 * u, 38 * u, 40 * u, 44 * u), fill=(40, 40, 44, 255))
    body = rounded_mask((n, n), (2 * u, 8 * u, 46 * u - 1, 40 * u - 1), 5 * u)
    img.paste((86, 86, 92, 255), (0, 0), body)
    inner = rounded_mask((n, n), (3 * u, 9 * u, 45 * u - 1, 39 * u - 1), 4 * u)
    img.paste(vgradient((n, n), (226, 225, 226), (168, 166, 168)), (0, 0), inner)
    d.rounded_rectangle((7 * u, 13 * u, 29 * u, 27 * u), radius=2 * u, fill=(60, 80, 110, 255))
    d.rounded_rectangle((8 * u, 14 * u, 28 * u, 26 * u), radius=2 * u, fill=(200, 228, 255, 255))
    d.line((11 * u, 20 * u, 14 * u, 20 * u, 14 * u, 17 * u, 18 * u, 17 * u, 18 * u, 23 * u, 22 * u, 23 * u,
            22 * u, 20 * u, 25 * u, 20 * u), fill=(20, 100, 210, 255), width=max(1, int(1.6 * u)))
    d.polygon([(33 * u, 35 * u), (42 * u, 13 * u), (42 * u, 35 * u)], fill=(60, 62, 70, 255))
    d.polygon([(34.5 * u, 34 * u), (41 * u, 18 * u), (41 * u, 34 * u)], fill=(40, 200, 255, 255))
    for i in range(3):
        d.rounded_rectangle(((7 + i * 8) * u, 30 * u, (13 + i * 8) * u, 35 * u), radius=u,
                            fill=(30, 120, 230, 255) if i == 0 else (120, 122, 130, 255))
    return img.resize((size, size), Image.Resampling.BOX)


HAND = [
    "     XXX",
    "    XWWWX",
    "    XWWWX",
    "    XWWWX",
    "    XWWWX",
    "    XWWWXXX",
    "    XWWWXWWXXX",
    "    XWWWXWWXWWXXX",
    "    XWWWXWWXWWXWWX",
    " XX XWWWXWWXWWXWWX",
    "XWWXXWWWWWWWWWWWWX",
    "XWWWXWWWWWWWWWWWWX",
    " XWWXWWWWWWWWWWWWX",
    "  XWWWWWWWWWWWWWWX",
    "  XWWWWWWWWWWWWWWX",
    "   XWWWWWWWWWWWWWX",
    "   XWWWWWWWWWWWWX",
    "    XWWWWWWWWWWWX",
    "    XWWWWWWWWWWWX",
    "     XWWWWWWWWWX",
    "     XWWWWWWWWWX",
    "     XXXXXXXXXXX",
]


CURSOR_SIZES = (32, 48, 64)


def make_cursor(size=32):
    """The hand's 32-pixel drawing at size: each pixel takes the cell of the drawing under its
    centre, and the hot spot scales with it."""
    idx = [[0] * size for _ in range(size)]
    opaque = [[False] * size for _ in range(size)]
    for y in range(size):
        cy = (2 * y + 1) * 32 // (2 * size)
        row = HAND[cy] if cy < len(HAND) else ""
        for x in range(size):
            cx = (2 * x + 1) * 32 // (2 * size)
            ch = row[cx] if cx < len(row) else " "
            if ch == "X":
                idx[y][x], opaque[y][x] = 0, True
            elif ch == "W":
                idx[y][x], opaque[y][x] = 15, True
    hot = (CURSOR_HOTSPOT[0] * size // 32, CURSOR_HOTSPOT[1] * size // 32)
    assert opaque[hot[1]][hot[0]], "hot spot must sit on the fingertip"
    return idx, opaque, hot


# --------------------------------------------------------------------------------------------------
# Checks on the written files
def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    hsize, w, h, planes, bpp, comp = struct.unpack_from("<IiiHHI", data, 14)
    if magic != b"BM" or hsize != 40 or bpp != 24 or comp != 0 or h <= 0 or size != len(data):
        raise SystemExit("%s: not a plain 24-bit bottom-up BMP" % path)
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in range(h):
        start = offset + (h - 1 - y) * stride
        rows.append(data[start:start + w * 3])
    return w, h, rows


def region_runs(w, h, rows):
    """Runs of non-white pixels per row, right edge exclusive: the window region's rectangles."""
    out = []
    for y in range(h):
        row = rows[y]
        runs, start = [], None
        for x in range(w):
            opaque = row[x * 3:x * 3 + 3] != b"\xff\xff\xff"
            if opaque and start is None:
                start = x
            elif not opaque and start is not None:
                runs.append((start, x))
                start = None
        if start is not None:
            runs.append((start, w))
        out.append(runs)
    return out


def check_skin(path):
    w, h, rows = read_bmp(path)
    assert (w, h) == (SKIN_W, SKIN_H), (w, h)
    runs = region_runs(w, h, rows)
    problems = []
    for y in list(range(0, 8)) + list(range(343, 350)):
        if runs[y]:
            problems.append("row %d should be all white: %s" % (y, runs[y]))
    for y in range(8, 343):
        want = 2 if (y == 10 or 333 <= y <= 342) else 1
        if len(runs[y]) != want:
            problems.append("row %d has %d runs, want %d: %s" % (y, len(runs[y]), want, runs[y]))
    if runs[340] != [(50, 165), (435, 550)]:
        problems.append("row 340 runs %s" % runs[340])
    if runs[100] != [(8, 592)]:
        problems.append("row 100 runs %s" % runs[100])
    total = sum(len(r) for r in runs)
    if total != 346:
        problems.append("%d rectangles, want 346" % total)
    if runs != outline_runs():
        problems.append("region differs from the drawn outline (white pixel inside the face?)")
    if problems:
        raise SystemExit("skin region check failed:\n  " + "\n  ".join(problems))
    return total


def read_png(path):
    img = Image.open(path)
    img.load()
    if img.mode != "RGB" or img.format != "PNG":
        raise SystemExit("%s: not an RGB PNG" % path)
    w, h = img.size
    raw = img.tobytes("raw", "RGB")
    return w, h, [raw[y * w * 3:(y + 1) * w * 3] for y in range(h)]


def scaled_file(pct, bid):
    """Where a bitmap drawn for a scale lives under res/."""
    name = BITMAP_FILES[bid]
    if pct == 100:
        return os.path.join("bitmaps", name)
    folder = "bitmaps" if pct in STORED_SCALES else "drawn"
    return os.path.join(folder, str(pct), os.path.splitext(name)[0] + ".png")


def read_scaled(out_dir, pct, bid):
    path = os.path.join(out_dir, scaled_file(pct, bid))
    return read_bmp(path) if pct == 100 else read_png(path)


def check_scaled_skin(out_dir, pct):
    """The skin drawn for a scale: its region is exactly the scaled outline (no white inside it,
    no near-white fringe outside it), which leaves the margins and the slot open."""
    w, h, rows = read_scaled(out_dir, pct, 146)
    if (w, h) != skin_size(pct):
        raise SystemExit("skin at %d %% is %dx%d, want %dx%d" % (pct, w, h, *skin_size(pct)))
    runs = region_runs(w, h, rows)
    if runs != outline_runs(pct):
        bad = [y for y in range(h) if runs[y] != outline_runs(pct)[y]][:5]
        raise SystemExit("skin region at %d %% differs from the scaled outline on rows %s" % (pct, bad))
    open_rows = [y for y in range(h) if not runs[y]]
    if open_rows != list(range(sc(8, pct))) + list(range(sc(343, pct), h)):
        raise SystemExit("skin at %d %%: unexpected open rows" % pct)
    slot = [y for y in range(h) if len(runs[y]) == 2 and y < sc(FACE_TOP + FACE_RADIUS, pct)]
    if slot != list(range(sc(SLOT_ROW, pct), sc(SLOT_ROW + 1, pct))):
        raise SystemExit("skin at %d %%: slot rows %s" % (pct, slot))
    return sum(len(r) for r in runs)


def check_sizes(out_dir, pct):
    sizes = {146: skin_size(pct)}
    for c in CONTROLS:
        for i in c.images:
            sizes[i] = (sc(c.width, pct), sc(c.height, pct))
    assert sorted(sizes) == sorted(BITMAP_FILES), "every bitmap ID has one control or the skin"
    for bid in BITMAP_FILES:
        w, h, _ = read_scaled(out_dir, pct, bid)
        if (w, h) != sizes[bid]:
            raise SystemExit("%s is %dx%d, want %dx%d" % (scaled_file(pct, bid), w, h, *sizes[bid]))


# --------------------------------------------------------------------------------------------------
def draw_scale(pct):
    """Every bitmap drawn for one scale, by ID."""
    set_scale(pct)
    rng = random.Random(146)
    skin = make_skin(rng)
    images = {146: skin}

    def under(c):
        return skin.crop(c.scaled_rect)

    def scaled_size(c):
        return sc(c.width), sc(c.height)

    key_texts = {
        "rate_44k1": "44.1", "rate_48k": "48", "rate_88k2": "88.2", "rate_96k": "96",
        "rate_176k4": "176", "rate_192k": "192", "depth_16": "16", "depth_24": "24", "depth_32": "32",
    }
    for name, text in key_texts.items():
        c = control(name)
        px = 15 if name.startswith("rate") else 14
        for lit, bid in ((False, c.images[0]), (True, c.images[1])):
            images[bid] = label_key(scaled_size(c), text, lit, px, under(c))
    painters = {"power": power_painter, "spdif": square_wave_painter, "speaker": speaker_painter,
                "mute": mute_painter, "link": link_painter}
    for name, painter in painters.items():
        c = control(name)
        for lit, bid in ((False, c.images[0]), (True, c.images[1])):
            images[bid] = symbol_key(scaled_size(c), lit, painter, under(c))
    for name in ("slider_left", "slider_right"):
        c = control(name)
        images[c.images[0]] = slider_image((c.width, c.height), False, under(c))
        images[c.images[1]] = slider_image((c.width, c.height), True, under(c))
    set_scale(100)
    return images


def build(out_dir, scales):
    """Writes every bitmap at every scale (BMP at 100 %, PNG above), the icon and the cursor."""
    drawn = {}
    for pct in scales:
        images = draw_scale(pct)
        drawn[pct] = images
        os.makedirs(os.path.dirname(os.path.join(out_dir, scaled_file(pct, 146))), exist_ok=True)
        for bid in BITMAP_FILES:
            path = os.path.join(out_dir, scaled_file(pct, bid))
            if pct == 100:
                with open(path, "wb") as f:
                    f.write(bmp_bytes(images[bid]))
            else:
                images[bid].convert("RGB").save(path, format="PNG", optimize=False, compress_level=9)
    with open(os.path.join(out_dir, ICON_FILE), "wb") as f:
        f.write(ico_bytes([make_icon(n) for n in ICON_SIZES]))
    with open(os.path.join(out_dir, CURSOR_FILE), "wb") as f:
        f.write(cur_bytes([(*make_cursor(n)[:2], n, make_cursor(n)[2]) for n in CURSOR_SIZES]))
    return drawn


def preview(images, path):
    """The assembled panel as it runs (sliders at 30 %, the 96 kHz, 24-bit and S/PDIF keys lit) on
    a dark desktop at 2x, and below it every image at 2x with the icon and cursor at 4x."""
    skin = images[146].copy()
    lit = {"rate_96k", "depth_24", "spdif"}
    for c in VISIBLE:
        if c.name.startswith("slider"):
            span, chan = images[c.images[0]], images[c.images[1]]
            img = chan.copy()
            img.paste(span.crop((0, 0, c.width, 62)), (0, 0))
        else:
            img = images[c.images[1] if c.name in lit else c.images[0]]
        skin.paste(img, (c.left, c.top))
    panel = Image.new("RGB", (SKIN_W, SKIN_H), (36, 64, 84))
    panel.paste(skin, (0, 0), outline_mask())
    sheet = Image.new("RGB", (SKIN_W * 2, SKIN_H * 2 + 900), (60, 60, 64))
    sheet.paste(panel.resize((SKIN_W * 2, SKIN_H * 2), Image.NEAREST), (0, 0))
    x, y, row_h = 8, SKIN_H * 2 + 8, 0
    for bid in sorted(BITMAP_FILES):
        if bid == 146:
            continue
        im = images[bid].resize((images[bid].width * 2, images[bid].height * 2), Image.NEAREST)
        if x + im.width > sheet.width:
            x, y, row_h = 8, y + row_h + 8, 0
        sheet.paste(im, (x, y))
        x += im.width + 8
        row_h = max(row_h, im.height)
    icon = make_icon().resize((192, 192), Image.NEAREST)
    y += row_h + 8
    for bg in ((60, 60, 64), (250, 250, 250)):
        tile = Image.new("RGB", (192, 192), bg)
        tile.paste(icon, (0, 0), icon)
        sheet.paste(tile, (8 + (0 if bg[0] < 100 else 200), y))
    idx, opaque, _ = make_cursor()
    cur = Image.new("RGB", (32, 32), (0, 160, 80))
    for cy in range(32):
        for cx in range(32):
            if opaque[cy][cx]:
                cur.putpixel((cx, cy), VGA16[idx[cy][cx]])
    sheet.paste(cur.resize((128, 128), Image.NEAREST), (420, y))
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    sheet.save(path)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--preview")
    ap.add_argument("--compare")
    ap.add_argument("--scales", help="comma-separated scales to draw (default: the stored ones, %s)"
                    % ",".join(map(str, STORED_SCALES)))
    ap.add_argument("--all-scales", action="store_true", help="draw and check every scale, %s"
                    % ",".join(map(str, SCALES)))
    args = ap.parse_args()
    for f in (FONT_BOLD, FONT_COND_BOLD):
        if not os.path.exists(f):
            raise SystemExit("missing font " + f)
    scales = STORED_SCALES
    if args.all_scales:
        scales = SCALES
    elif args.scales:
        scales = tuple(int(v) for v in args.scales.split(","))
    if not set(scales) <= set(SCALES):
        raise SystemExit("scales are %s" % (SCALES,))
    drawn = build(args.out, scales)
    for pct in scales:
        if pct == 100:
            total = check_skin(os.path.join(args.out, scaled_file(100, 146)))
        else:
            total = check_scaled_skin(args.out, pct)
        check_sizes(args.out, pct)
        print("%d %%: skin region %d rectangles; %d bitmaps" % (pct, total, len(BITMAP_FILES)))
    print("icon (%s px) and cursor (%s px) written to %s"
          % (", ".join(map(str, ICON_SIZES)), ", ".join(map(str, CURSOR_SIZES)), args.out))
    if args.preview and 100 in drawn:
        preview(drawn[100], args.preview)
        print("preview: " + args.preview)
    if args.compare:
        stored = [pct for pct in scales if pct in STORED_SCALES]
        names = [scaled_file(pct, bid) for pct in stored for bid in BITMAP_FILES] + [ICON_FILE, CURSOR_FILE]
        stale = []
        for name in names:
            committed = os.path.join(args.compare, name)
            if not os.path.exists(committed):
                stale.append(name + " (missing)")
                continue
            with open(os.path.join(args.out, name), "rb") as a, open(committed, "rb") as b:
                if a.read() != b.read():
                    stale.append(name)
        if stale:
            raise SystemExit("committed artwork differs from the generator's output (rerun "
                             "tools/artwork/generate.sh): " + ", ".join(stale))
        print("committed artwork matches the generator")


if __name__ == "__main__":
    sys.exit(main())
