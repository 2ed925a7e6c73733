#!/usr/bin/env python3
"""Draws every picture of the Qt resource bundle into Qt/resources/, and the
application icon at the icon theme's sizes into packaging/icons/.

Run from the repository root:  python3 scripts/gen-resources.py

The generated files are committed, so building the client never needs
Pillow; rerun this only after changing a drawing.  Everything is drawn at
SS times the final size and scaled down with LANCZOS for clean edges.
The output is deterministic (no randomness, no timestamps).

Every picture is also there at twice its shown size, for screens scaled
past 1: NAME@2x.png beside NAME.png, which Qt's style sheets and icons pick
by themselves (the client picks it for animations and the labels' pictures).
The labels' pictures are drawn at 2x only; their NAME.png is that drawing
halved exactly as Qt halves it for the label, so at scale 1 the label shows
the same pixels without decoding and scaling four times as many.
"""

import math
import os
import shutil
import subprocess
import sys

try:
    from PIL import (Image, ImageChops, ImageDraw, ImageFilter, ImageFont,
                     ImageOps)
except ImportError:
    # a private interpreter (pyenv, venv) may shadow the system one that
    # has the distribution's Pillow
    SYSTEM_PY = "/usr/bin/python3"
    if os.path.exists(SYSTEM_PY) and \
            os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PY):
        os.execv(SYSTEM_PY, [SYSTEM_PY] + sys.argv)
    sys.exit("gen-resources: Pillow is required "
             "(python3-pil or pip install pillow)")

RESAMPLE = getattr(Image, "Resampling", Image)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "Qt", "resources")

SS = 4  # supersampling factor
SCALE = 1  # 2 while the @2x pictures are drawn

# Palette of the window (see the style sheets of the main form).
BLUE = "#095e9c"        # window body
BLUE_2 = "#0a6eac"      # titles, links
GREY_GLYPH = "#8c8c8c"
RED = "#e0483e"


# --------------------------------------------------------------------------
# Drawing helpers
# --------------------------------------------------------------------------

def rgba(c, alpha=None):
    """'#rrggbb' / (r, g, b) / (r, g, b, a) -> (r, g, b, a)."""
    if isinstance(c, str):
        c = c.lstrip("#")
        c = tuple(int(c[i:i + 2], 16) for i in (0, 2, 4))
    if len(c) == 3:
        c = tuple(c) + (255,)
    if alpha is not None:
        c = c[:3] + (int(round(alpha)),)
    return tuple(int(v) for v in c)


def mix(a, b, t):
    a, b = rgba(a), rgba(b)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(4))


def ramp(stops, t):
    """Colour at t in a list of (position, colour) stops."""
    if t <= stops[0][0]:
        return rgba(stops[0][1])
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, 0 if t1 == t0 else (t - t0) / (t1 - t0))
    return rgba(stops[-1][1])


class Gradient:
    """Linear ('v' or 'h') or radial ('r') paint in output coordinates.

    v/h: stops run from a to b along y or x.  r: centre (cx, cy) = a,
    radius = b.  stops is [(t, colour), ...] or just [colour0, colour1].
    """

    def __init__(self, kind, a, b, stops):
        # a (position, colour) pair has two items, a colour three or four
        if not all(isinstance(s, tuple) and len(s) == 2 for s in stops):
            n = len(stops) - 1
            stops = [(i / n, s) for i, s in enumerate(stops)]
        self.kind, self.a, self.b, self.stops = kind, a, b, stops

    def render(self, cv):
        w, h = cv.img.size
        s = cv.ss
        if self.kind in ("v", "h"):
            n = h if self.kind == "v" else w
            span = (self.b - self.a) or 1
            px = [ramp(self.stops, ((i + 0.5) / s - self.a) / span)
                  for i in range(n)]
            strip = Image.new("RGBA", (1, n) if self.kind == "v" else (n, 1))
            strip.putdata(px)
            return strip.resize((w, h), RESAMPLE.NEAREST)
        # radial: concentric discs from the outside in
        (cx, cy), r = self.a, self.b
        img = Image.new("RGBA", (w, h), ramp(self.stops, 1.0))
        d = ImageDraw.Draw(img)
        steps = max(2, int(r * s))
        for i in range(steps, 0, -1):
            rr = r * i / steps
            d.ellipse([(cx - rr) * s, (cy - rr) * s, (cx + rr) * s,
                       (cy + rr) * s], fill=ramp(self.stops, i / steps))
        return img


def union(*masks):
    out = masks[0]
    for m in masks[1:]:
        out = ImageChops.lighter(out, m)
    return out


def minus(a, b):
    return ImageChops.subtract(a, b)


def inter(a, b):
    return ImageChops.multiply(a, b)


def bezier(p0, p1, p2, p3, n=24):
    pts = []
    for i in range(1, n + 1):
        t = i / n
        u = 1 - t
        pts.append((u * u * u * p0[0] + 3 * u * u * t * p1[0] +
                    3 * u * t * t * p2[0] + t * t * t * p3[0],
                    u * u * u * p0[1] + 3 * u * u * t * p1[1] +
                    3 * u * t * t * p2[1] + t * t * t * p3[1]))
    return pts


def rotate_pts(pts, deg, cx, cy):
    a = math.radians(deg)
    ca, sa = math.cos(a), math.sin(a)
    return [(cx + (x - cx) * ca - (y - cy) * sa,
             cy + (x - cx) * sa + (y - cy) * ca) for x, y in pts]


class Canvas:
    """An RGBA picture drawn in output-pixel coordinates at SS x size.

    Shape methods return an 'L' coverage mask; fill() paints a colour or
    Gradient through a mask, cut() punches a mask out of what is there.
    """

    def __init__(self, w, h, bg=None, ss=SS):
        # Drawn in the same coordinates at every SCALE; only the pixels grow.
        self.base = (w, h, ss)
        self.w, self.h, self.ss = w * SCALE, h * SCALE, ss * SCALE
        self.img = Image.new("RGBA", (self.w * ss, self.h * ss),
                             rgba(bg) if bg else (0, 0, 0, 0))

    # -- masks --------------------------------------------------------------
    def _new(self):
        m = Image.new("L", self.img.size, 0)
        return m, ImageDraw.Draw(m)

    def _p(self, pts):
        return [(x * self.ss, y * self.ss) for x, y in pts]

    def _b(self, box):
        return [v * self.ss for v in box]

    def empty(self):
        return self._new()[0]

    def rect(self, box, radius=0):
        m, d = self._new()
        if radius:
            d.rounded_rectangle(self._b(box), radius * self.ss, fill=255)
        else:
            d.rectangle(self._b(box), fill=255)
        return m

    def ellipse(self, box):
        m, d = self._new()
        d.ellipse(self._b(box), fill=255)
        return m

    def circle(self, cx, cy, r):
        return self.ellipse((cx - r, cy - r, cx + r, cy + r))

    def poly(self, pts):
        m, d = self._new()
        d.polygon(self._p(pts), fill=255)
        return m

    def pieslice(self, box, start, end):
        m, d = self._new()
        d.pieslice(self._b(box), start, end, fill=255)
        return m

    def line(self, pts, width, caps=True):
        m, d = self._new()
        d.line(self._p(pts), fill=255, width=int(round(width * self.ss)),
               joint="curve")
        if caps:
            r = width / 2 * self.ss
            for x, y in self._p([pts[0], pts[-1]]):
                d.ellipse([x - r, y - r, x + r, y + r], fill=255)
        return m

    def arc(self, cx, cy, r, start, end, width, caps=True):
        """Stroke of centre-line radius r; angles clockwise from 3 o'clock."""
        m, d = self._new()
        ro = r + width / 2
        d.arc(self._b((cx - ro, cy - ro, cx + ro, cy + ro)), start, end,
              fill=255, width=int(round(width * self.ss)))
        if caps:
            rc = width / 2
            for a in (start, end):
                x = cx + r * math.cos(math.radians(a))
                y = cy + r * math.sin(math.radians(a))
                d.ellipse(self._b((x - rc, y - rc, x + rc, y + rc)), fill=255)
        return m

    def text(self, xy, s, font, anchor="ls"):
        m, d = self._new()
        d.text(self._p([xy])[0], s, font=font, fill=255, anchor=anchor)
        return m

    def shift(self, mask, dx, dy):
        return ImageChops.offset(mask, int(round(dx * self.ss)),
                                 int(round(dy * self.ss)))

    def blur(self, mask, radius):
        return mask.filter(ImageFilter.GaussianBlur(radius * self.ss))

    # -- painting -----------------------------------------------------------
    def fill(self, mask, paint, opacity=1.0):
        if isinstance(paint, Gradient):
            layer = paint.render(self)
        else:
            layer = Image.new("RGBA", self.img.size, rgba(paint))
        a = ImageChops.multiply(layer.getchannel("A"), mask)
        if opacity < 1.0:
            a = a.point(lambda v: int(round(v * opacity)))
        layer.putalpha(a)
        self.img.alpha_composite(layer)

    def cut(self, mask):
        self.img.putalpha(ImageChops.multiply(self.img.getchannel("A"),
                                              ImageOps.invert(mask)))

    def shadow(self, mask, dx, dy, radius, colour=(0, 0, 0, 90)):
        self.fill(self.blur(self.shift(mask, dx, dy), radius), colour)

    def paste(self, other):
        self.img.alpha_composite(other.img)

    def layer(self):
        w, h, ss = self.base
        return Canvas(w, h, ss=ss)

    def result(self):
        return self.img.resize((self.w, self.h), RESAMPLE.LANCZOS)


# -- fonts -----------------------------------------------------------------

FONT_CANDIDATES = {
    "bold": ["/usr/share/fonts/opentype/urw-base35/NimbusSans-Bold.otf",
             "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
             "C:/Windows/Fonts/segoeuib.ttf", "C:/Windows/Fonts/arialbd.ttf"],
    "regular": ["/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf",
                "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                "C:/Windows/Fonts/segoeui.ttf", "C:/Windows/Fonts/arial.ttf"],
}


def font_path(style):
    for p in FONT_CANDIDATES[style]:
        if os.path.exists(p):
            return p
    if shutil.which("fc-match"):
        pattern = "sans:bold" if style == "bold" else "sans"
        try:
            p = subprocess.run(["fc-match", "-f", "%{file}", pattern],
                               capture_output=True, text=True).stdout.strip()
            if p and os.path.exists(p):
                return p
        except OSError:
            pass
    return None


def load_font(style, px):
    """A font `px` pixels tall in canvas space (already supersampled)."""
    p = font_path(style)
    if p:
        return ImageFont.truetype(p, int(round(px)))
    try:
        return ImageFont.load_default(size=int(round(px)))
    except TypeError:  # old Pillow: fixed bitmap font only
        return ImageFont.load_default()


def text_width(font, s):
    b = font.getbbox(s, anchor="ls")
    return b[2] - b[0]


# --------------------------------------------------------------------------
# Shared shapes
# --------------------------------------------------------------------------

def shield_pts(cx, top, h):
    """Classic security shield: peak at the top, pointed bottom.

    Built on a 16 x 21 unit outline, scaled to height h.
    """
    k = h / 21.0

    def P(x, y):
        return (cx + (x - 12) * k, top + (y - 2) * k)

    pts = [P(12, 2), P(20, 5), P(20, 11)]
    pts += bezier(P(20, 11), P(20, 16.5), P(16.2, 21.7), P(12, 23))
    pts += bezier(P(12, 23), P(7.8, 21.7), P(4, 16.5), P(4, 11))
    pts += [P(4, 5)]
    return pts


def shield_width(h):
    return h * 16 / 21.0


def padlock(cv, cx, cy, size, body_paint, hole=True):
    """Padlock glyph centred on (cx, cy), `size` tall, on its own layer."""
    lay = cv.layer()
    bw, bh = size * 0.78, size * 0.52
    btop = cy + size / 2 - bh
    sh_w = size * 0.13
    sh_r = bw * 0.30
    sh_cy = cy - size / 2 + sh_r + sh_w / 2
    body = lay.rect((cx - bw / 2, btop, cx + bw / 2, btop + bh),
                    radius=size * 0.09)
    shackle = union(
        lay.arc(cx, sh_cy, sh_r, 180, 360, sh_w, caps=False),
        lay.line([(cx - sh_r, sh_cy), (cx - sh_r, btop + 1)], sh_w, False),
        lay.line([(cx + sh_r, sh_cy), (cx + sh_r, btop + 1)], sh_w, False))
    lay.fill(union(body, shackle), body_paint)
    if hole:
        kr = size * 0.075
        ky = btop + bh * 0.42
        lay.cut(union(lay.circle(cx, ky, kr),
                      lay.poly([(cx - kr * 0.55, ky), (cx + kr * 0.55, ky),
                                (cx + kr * 0.7, ky + bh * 0.32),
                                (cx - kr * 0.7, ky + bh * 0.32)])))
    cv.paste(lay)


def person(cv, cx, top, h):
    """Head-and-shoulders silhouette mask, h tall from `top`."""
    hr = h * 0.235
    head = cv.circle(cx, top + hr, hr)
    bw = h * 0.92
    btop = top + h * 0.56
    body = cv.pieslice((cx - bw / 2, btop, cx + bw / 2, btop + 2 * (h * 0.44)),
                       180, 360)
    return union(head, body)


def check_mark(cv, cx, cy, size, width):
    pts = [(cx - size * 0.42, cy + size * 0.02),
           (cx - size * 0.12, cy + size * 0.32),
           (cx + size * 0.45, cy - size * 0.30)]
    return cv.line(pts, width)


def scaled_name(name):
    stem, ext = os.path.splitext(name)
    return name if SCALE == 1 else "%s@%dx%s" % (stem, SCALE, ext)


def save_png(img, name):
    name = scaled_name(name)
    path = os.path.join(OUT, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.save(path, "PNG", optimize=True)
    WRITTEN.append(name)


WRITTEN = []


def div255(t):
    """Qt's rounding of a product of two 8-bit values to 8 bits."""
    return (t + (t >> 8) + 0x80) >> 8


# Per alpha: premultiplied channel value -> a straight value Qt premultiplies
# to exactly that.
UNPREMULTIPLY = []
for _alpha in range(256):
    _values = {}
    for _straight in range(256):
        _values.setdefault(div255(_straight * _alpha), _straight)
    UNPREMULTIPLY.append(_values)


def halved_as_qt(img):
    """img at half its size, as a label with scaled contents shows it: Qt's
    smooth scaling of an exact half averages each 2 x 2 block of
    premultiplied pixels, rounding down."""
    w, h = img.size
    src = img.convert("RGBA").load()
    out = Image.new("RGBA", (w // 2, h // 2))
    dst = out.load()
    for y in range(h // 2):
        for x in range(w // 2):
            total = [0, 0, 0, 0]
            for dx, dy in ((0, 0), (1, 0), (0, 1), (1, 1)):
                r, g, b, a = src[2 * x + dx, 2 * y + dy]
                total[0] += div255(r * a)
                total[1] += div255(g * a)
                total[2] += div255(b * a)
                total[3] += a
            a = total[3] >> 2
            dst[x, y] = tuple(UNPREMULTIPLY[a][c >> 2]
                              for c in total[:3]) + (a,)
    return out


def save_label_picture(img, name):
    """img, drawn at twice the label's size, as NAME@2x.png, and as NAME.png
    halved as the label would halve it."""
    global SCALE
    assert SCALE == 1 and img.size[0] % 2 == 0 and img.size[1] % 2 == 0
    save_png(halved_as_qt(img), name)
    SCALE = 2
    save_png(img, name)
    SCALE = 1


# --------------------------------------------------------------------------
# Application icon
# --------------------------------------------------------------------------

def draw_app_icon(size):
    cv = Canvas(size, size)
    m = size / 64.0
    h = 60 * m
    pts = shield_pts(size / 2, 2 * m, h)
    body = cv.poly(pts)
    cv.fill(body, Gradient("v", 2 * m, 62 * m, ["#1d87cf", BLUE, "#074a7c"]))
    # thin lighter rim on the upper half gives it some depth
    if size >= 32:
        inner = cv.poly(shield_pts(size / 2, 2 * m + 2.2 * m, h - 3.6 * m))
        cv.fill(minus(body, inner),
                Gradient("v", 0, size, [(0, (255, 255, 255, 90)),
                                        (0.6, (255, 255, 255, 0))]))
    # geometric "V"
    cx, y0, y1 = size / 2, 17 * m, 47 * m
    hw, t = 14 * m, 7.2 * m
    v = [(cx - hw, y0), (cx - hw + t, y0), (cx, y1 - t * 1.45),
         (cx + hw - t, y0), (cx + hw, y0), (cx + t * 0.62, y1),
         (cx - t * 0.62, y1)]
    cv.fill(cv.poly(v), "#ffffff")
    return cv.result()


def gen_app_icon():
    save_png(draw_app_icon(64), "velnor.png")
    save_png(draw_app_icon(128), "velnor@2x.png")
    sizes = [16, 32, 48, 256]
    imgs = {s: draw_app_icon(s) for s in sizes}
    path = os.path.join(OUT, "velnor.ico")
    try:
        imgs[256].save(path, format="ICO", sizes=[(s, s) for s in sizes],
                       append_images=[imgs[s] for s in sizes[:-1]])
    except TypeError:
        imgs[256].save(path, format="ICO", sizes=[(s, s) for s in sizes])
    WRITTEN.append("velnor.ico")


# The icon theme's sizes; packaging/ installs them under the desktop file name.
THEME_ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256, 512]


def gen_theme_icons():
    folder = os.path.join(ROOT, "packaging", "icons")
    os.makedirs(folder, exist_ok=True)
    for s in THEME_ICON_SIZES:
        draw_app_icon(s).save(os.path.join(folder, "%dx%d.png" % (s, s)),
                              "PNG", optimize=True)


# --------------------------------------------------------------------------
# Logos
# --------------------------------------------------------------------------

def logo(w, h, mark_h, mark_top, text_left, text_right, baseline,
         shield_paint, lock_paint, word_colour, vpn_colour):
    cv = Canvas(w, h)
    cx = shield_width(mark_h) / 2 + 1
    body = cv.poly(shield_pts(cx, mark_top, mark_h))
    cv.fill(body, shield_paint)
    padlock(cv, cx, mark_top + mark_h * 0.46, mark_h * 0.44, lock_paint)

    # fit "Velnor VPN" between text_left and text_right
    s = cv.ss
    px = mark_h * s
    while True:
        fb, fr = load_font("bold", px), load_font("regular", px)
        gap = px * 0.22
        total = text_width(fb, "Velnor") + gap + text_width(fr, "VPN")
        if total <= (text_right - text_left) * s or px < 8:
            break
        px *= 0.97
    x = text_right * s - total
    m1 = cv.text((x / s, baseline), "Velnor", fb)
    x2 = x + text_width(fb, "Velnor") + gap
    m2 = cv.text((x2 / s, baseline), "VPN", fr)
    cv.fill(m1, word_colour)
    cv.fill(m2, vpn_colour)
    return cv.result()


def gen_logos():
    # Large logo on the light login page, shown at 260 x 79; drawn at 2x.
    # The version text is laid over its lower right, so the words keep to
    # the upper half and end where that text ends.
    big = logo(520, 158, mark_h=136, mark_top=10, text_left=150,
               text_right=502, baseline=84,
               shield_paint=Gradient("v", 10, 146, ["#1581c7", BLUE]),
               lock_paint="#ffffff", word_colour=BLUE, vpn_colour=BLUE_2)
    save_label_picture(big, "logo.png")
    # Small logo on the blue body, shown at 120 x 36 (2x); the version
    # text sits under it starting 27 px in.
    small = logo(240, 72, mark_h=62, mark_top=5, text_left=56,
                 text_right=236, baseline=38,
                 shield_paint=Gradient("v", 5, 67, ["#ffffff", "#dce9f4"]),
                 lock_paint=BLUE, word_colour="#ffffff",
                 vpn_colour="#b9ddfa")
    save_label_picture(small, "logo_small.png")


def gen_background():
    w, h = 321, 281
    cv = Canvas(w, h, ss=2)
    cv.fill(cv.rect((0, 0, w, h)), Gradient("v", 0, h, ["#0c6aab", BLUE]))
    # faint dot grid, fading out towards the bottom left
    dots = cv.empty()
    d = ImageDraw.Draw(dots)
    step = 9
    for gy in range(step // 2, h, step):
        for gx in range(step // 2, w, step):
            dist = math.hypot(gx - w, gy) / math.hypot(w, h)
            a = int(max(0.0, 1.0 - dist * 1.25) * 255)
            if a:
                r = 0.9 * cv.ss
                d.ellipse([gx * cv.ss - r, gy * cv.ss - r,
                           gx * cv.ss + r, gy * cv.ss + r], fill=a)
    cv.fill(dots, (255, 255, 255, 34))
    # soft signal rings from the top right corner
    for r in (70, 130, 190, 250):
        cv.fill(cv.arc(w + 10, -10, r, 90, 180, 1.2, caps=False),
                (255, 255, 255, 16))
    save_png(cv.result(), "background0.png")


# --------------------------------------------------------------------------
# Tab icons (32 x 32)
# --------------------------------------------------------------------------

def save_tab_icon(img, name):
    # The tab bar stands on the left edge, and Qt turns a west tab's label,
    # icon included, a quarter turn counter-clockwise: store them turned back.
    save_png(img.transpose(Image.Transpose.ROTATE_270), name)


def gen_tab_icons():
    col = Gradient("v", 2, 30, ["#1786cf", BLUE_2])

    cv = Canvas(32, 32)
    m = cv.circle(16, 25.5, 2.8)
    for r in (7, 13.2, 19.4):
        m = union(m, cv.arc(16, 25.5, r, 228, 312, 3.2))
    cv.fill(m, col)
    save_tab_icon(cv.result(), "tabs/icon-wifi.png")

    cv = Canvas(32, 32)
    cx, cy, r, tip = 16, 12, 8.6, (16, 29.5)
    dd = tip[1] - cy
    alpha = math.acos(r / dd)
    tangents = [(cx + r * math.sin(sgn * alpha), cy + r * math.cos(alpha))
                for sgn in (-1, 1)]
    pin = union(cv.circle(cx, cy, r), cv.poly([tangents[0], tip, tangents[1]]))
    cv.fill(cv.ellipse((9, 27.6, 23, 31)), (0, 0, 0, 40))
    cv.fill(pin, col)
    cv.cut(cv.circle(cx, cy, 3.4))
    save_tab_icon(cv.result(), "tabs/icon_map.png")

    cv = Canvas(32, 32)
    cv.fill(person(cv, 16, 3.5, 26.5), col)
    save_tab_icon(cv.result(), "tabs/icon-account.png")

    cv = Canvas(32, 32)
    teeth = cv.circle(16, 16, 10)
    for k in range(8):
        tooth = [(13.5, 16), (13.9, 2.6), (18.1, 2.6), (18.5, 16)]
        teeth = union(teeth, cv.poly(rotate_pts(tooth, k * 45 + 22.5, 16, 16)))
    cv.fill(teeth, col)
    cv.cut(cv.circle(16, 16, 4.4))
    save_tab_icon(cv.result(), "tabs/icon-settings.png")


# --------------------------------------------------------------------------
# Flags: 3:2 flag centred on a square canvas, because the server picture
# label is square and scales its contents; QIcon keeps the aspect itself.
# --------------------------------------------------------------------------

FLAG_SIZE = 64
FW, FH = 60, 40
FX, FY = (FLAG_SIZE - FW) / 2, (FLAG_SIZE - FH) / 2


def flag_canvas():
    return Canvas(FLAG_SIZE, FLAG_SIZE)


def frect(cv, x0, y0, x1, y1):
    """Rectangle in flag-relative fractions (0..1)."""
    return cv.rect((FX + x0 * FW, FY + y0 * FH, FX + x1 * FW, FY + y1 * FH))


def flag_finish(cv, flag):
    # clip to a slightly rounded rectangle and add a hairline edge so white
    # flag areas stay visible on white backgrounds
    shape = cv.rect((FX, FY, FX + FW, FY + FH), radius=2)
    cv.img = Image.composite(flag.img, Image.new("RGBA", flag.img.size),
                             shape)
    edge = minus(shape, cv.rect((FX + 0.5, FY + 0.5, FX + FW - 0.5,
                                 FY + FH - 0.5), radius=1.6))
    cv.fill(edge, (0, 0, 0, 60))
    return cv.result()


def stripes(colours, vertical):
    cv = flag_canvas()
    n = len(colours)
    for i, c in enumerate(colours):
        a, b = i / n, (i + 1) / n
        box = (a, 0, b, 1) if vertical else (0, a, 1, b)
        cv.fill(frect(cv, *box), c)
    return cv


def flag_ca():
    f = flag_canvas()
    f.fill(frect(f, 0, 0, 1, 1), "#ffffff")
    f.fill(frect(f, 0, 0, 0.25, 1), "#d52b1e")
    f.fill(frect(f, 0.75, 0, 1, 1), "#d52b1e")
    half = [(0, -0.95), (0.16, -0.62), (0.33, -0.72), (0.26, -0.22),
            (0.58, -0.55), (0.63, -0.38), (0.90, -0.44), (0.78, -0.18),
            (0.86, -0.10), (0.46, 0.22), (0.52, 0.40), (0.07, 0.32),
            (0.08, 0.80)]
    leaf = half + [(-x, y) for x, y in reversed(half)]
    s, cx, cy = FH * 0.36, FX + FW / 2, FY + FH * 0.5
    f.fill(f.poly([(cx + x * s, cy + y * s) for x, y in leaf]), "#d52b1e")
    return f


def flag_ch():
    f = flag_canvas()
    f.fill(frect(f, 0, 0, 1, 1), "#da291c")
    cx, cy, arm, t = FX + FW / 2, FY + FH / 2, FH * 0.32, FH * 0.2
    f.fill(union(f.rect((cx - t / 2, cy - arm, cx + t / 2, cy + arm)),
                 f.rect((cx - arm, cy - t / 2, cx + arm, cy + t / 2))),
           "#ffffff")
    return f


def flag_se():
    f = flag_canvas()
    f.fill(frect(f, 0, 0, 1, 1), "#006aa7")
    # Nordic cross: vertical bar shifted towards the hoist (5-2-9 x 4-2-4)
    f.fill(union(frect(f, 5 / 16, 0, 7 / 16, 1), frect(f, 0, 0.4, 1, 0.6)),
           "#fecc00")
    return f


def flag_uk():
    f = flag_canvas()
    # the union flag is 1:2; fit it to the 3:2 box by its height
    u = FH / 30.0
    x0, y0 = FX + FW / 2 - 30 * u, FY

    def P(x, y):
        return (x0 + x * u, y0 + y * u)

    f.fill(frect(f, 0, 0, 1, 1), "#012169")
    f.fill(union(f.line([P(0, 0), P(60, 30)], 6 * u, False),
                 f.line([P(0, 30), P(60, 0)], 6 * u, False)), "#ffffff")
    # red saltire, counterchanged: each arm sits on one side of the diagonal
    n = (2 / math.sqrt(5), 1 / math.sqrt(5))  # unit normal to the 2:1 slope

    def arm(quad, a, b, side):
        ox, oy = side[0] * n[0] * u, side[1] * n[1] * u
        band = f.line([(a[0] + ox, a[1] + oy), (b[0] + ox, b[1] + oy)],
                      2 * u, False)
        return inter(band, f.rect(quad))

    red = union(
        arm((*P(0, 0), *P(30, 15)), P(0, 0), P(30, 15), (-1, 1)),
        arm((*P(30, 0), *P(60, 15)), P(60, 0), P(30, 15), (-1, -1)),
        arm((*P(30, 15), *P(60, 30)), P(60, 30), P(30, 15), (1, -1)),
        arm((*P(0, 15), *P(30, 30)), P(0, 30), P(30, 15), (1, 1)))
    f.fill(red, "#c8102e")
    f.fill(union(f.rect((*P(25, -1), *P(35, 31))),
                 f.rect((*P(-1, 10), *P(61, 20)))), "#ffffff")
    f.fill(union(f.rect((*P(27, -1), *P(33, 31))),
                 f.rect((*P(-1, 12), *P(61, 18)))), "#c8102e")
    return f


def flag_us():
    f = flag_canvas()
    for i in range(13):
        f.fill(frect(f, 0, i / 13, 1, (i + 1) / 13),
               "#b22234" if i % 2 == 0 else "#ffffff")
    cw, ch = 0.4, 7 / 13
    f.fill(frect(f, 0, 0, cw, ch), "#3c3b6e")
    stars = f.empty()
    for row in range(9):
        cols = 6 if row % 2 == 0 else 5
        for col in range(cols):
            sx = FX + FW * cw * ((2 * col + (1 if row % 2 == 0 else 2)) / 12)
            sy = FY + FH * ch * ((row + 1) / 10)
            stars = union(stars, f.circle(sx, sy, 0.75))
    f.fill(stars, "#ffffff")
    return f


def gen_flags():
    flags = {
        "ca": flag_ca,
        "ch": flag_ch,
        "de": lambda: stripes(["#000000", "#dd0000", "#ffce00"], False),
        "fr": lambda: stripes(["#002395", "#ffffff", "#ed2939"], True),
        "it": lambda: stripes(["#009246", "#ffffff", "#ce2b37"], True),
        "nl": lambda: stripes(["#ae1c28", "#ffffff", "#21468b"], False),
        "ro": lambda: stripes(["#002b7f", "#fcd116", "#ce1126"], True),
        "se": flag_se,
        "uk": flag_uk,
        "us": flag_us,
    }
    for code, draw in flags.items():
        save_png(flag_finish(flag_canvas(), draw()), "flags/%s.png" % code)


# --------------------------------------------------------------------------
# Glyphs inside the login fields (24 x 24; the field is 31 px tall and
# places the picture 3 px from its top)
# --------------------------------------------------------------------------

def gen_login_icons():
    cv = Canvas(24, 24)
    cv.fill(person(cv, 12, 3.6, 16.8), GREY_GLYPH)
    save_png(cv.result(), "login-user.png")

    cv = Canvas(24, 24)
    padlock(cv, 12, 12, 17, GREY_GLYPH)
    save_png(cv.result(), "login-password.png")


# --------------------------------------------------------------------------
# Pictures of the account, server, connected and payment panels
# --------------------------------------------------------------------------

def gen_avatar():
    cv = Canvas(82, 82)
    disc = cv.circle(41, 41, 40)
    cv.fill(disc, Gradient("v", 0, 82, ["#e6f1fa", "#cfe3f3"]))
    cv.fill(inter(person(cv, 41, 16, 72), disc),
            Gradient("v", 16, 82, ["#2d8fd6", BLUE]))
    cv.fill(minus(disc, cv.circle(41, 41, 38.6)), (9, 94, 156, 110))
    save_label_picture(cv.result(), "user_avatar.png")


def gen_server():
    cv = Canvas(102, 102)
    units = [(14, 36), (40, 62), (66, 88)]
    for i, (y0, y1) in enumerate(units):
        box = cv.rect((12, y0, 90, y1), radius=5)
        cv.shadow(box, 0, 1.5, 1.5, (0, 0, 0, 60))
        cv.fill(box, Gradient("v", y0, y1, ["#1e8ad4", BLUE]))
        cv.fill(minus(box, cv.rect((12, y0 + 1.4, 90, y1), radius=5)),
                (255, 255, 255, 90))
        cy = (y0 + y1) / 2
        led = "#4ef08a" if i != 1 else "#ffd24a"
        cv.fill(cv.circle(24, cy, 3.4), led)
        cv.fill(cv.circle(35, cy, 3.4), (255, 255, 255, 150))
        for k in range(5):
            x = 56 + k * 6.5
            cv.fill(cv.rect((x, cy - 5, x + 3, cy + 5), radius=1.5),
                    (255, 255, 255, 110))
    save_label_picture(cv.result(), "server.png")


def gen_connected():
    # shown at 111 x 101; drawn at 2x
    cv = Canvas(222, 202)
    h, top = 186, 6
    outer = cv.poly(shield_pts(111, top, h))
    cv.shadow(outer, 0, 4, 6, (0, 20, 50, 90))
    cv.fill(outer, Gradient("v", top, top + h, ["#ffffff", "#e3edf5"]))
    ih = h * 0.8
    inner = cv.poly(shield_pts(111, top + h * 0.09, ih))
    cv.fill(inner, Gradient("v", top, top + h, ["#5ade88", "#1e9f4f"]))
    cv.fill(inter(inner, cv.rect((0, 0, 222, top + h * 0.42))),
            Gradient("v", top, top + h * 0.42,
                     [(0, (255, 255, 255, 60)), (1, (255, 255, 255, 0))]))
    ck = check_mark(cv, 111, top + h * 0.47, 78, 17)
    cv.shadow(ck, 0, 2, 2, (0, 60, 20, 90))
    cv.fill(ck, "#ffffff")
    save_label_picture(cv.result(), "connected.png")


def banknote(cv, cx, cy, w, h, angle):
    lay = cv.layer()
    box = (cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2)
    note = lay.rect(box, radius=7)
    lay.fill(note, Gradient("v", box[1], box[3], ["#f2fbf3", "#cdebd3"]))
    inset = lay.rect((box[0] + 6, box[1] + 6, box[2] - 6, box[3] - 6),
                     radius=4)
    lay.fill(minus(inset, lay.rect((box[0] + 8, box[1] + 8, box[2] - 8,
                                    box[3] - 8), radius=3)),
             (46, 140, 80, 120))
    lay.fill(lay.ellipse((cx - h * 0.32, cy - h * 0.32, cx + h * 0.32,
                          cy + h * 0.32)), (46, 140, 80, 60))
    f = load_font("bold", h * 0.5 * lay.ss)
    lay.fill(lay.text((cx, cy), "$", f, anchor="mm"), (30, 110, 60, 200))
    for sx in (box[0] + 20, box[2] - 20):
        lay.fill(lay.circle(sx, cy, 5), (46, 140, 80, 70))
    lay.img = lay.img.rotate(angle, resample=RESAMPLE.BICUBIC,
                             center=(cx * lay.ss, cy * lay.ss))
    cv.shadow(lay.img.getchannel("A"), 0, 3, 4, (0, 20, 50, 80))
    cv.paste(lay)


def coin(cv, cx, cy, rx, ry, depth):
    """One coin lying flat; (cx, cy) is the centre of its top face."""
    side = union(cv.rect((cx - rx, cy, cx + rx, cy + depth)),
                 cv.ellipse((cx - rx, cy + depth - ry, cx + rx,
                             cy + depth + ry)))
    cv.fill(side, Gradient("h", cx - rx, cx + rx,
                           ["#c98a12", "#f0c24a", "#b87a0c"]))
    top = cv.ellipse((cx - rx, cy - ry, cx + rx, cy + ry))
    cv.fill(top, Gradient("v", cy - ry, cy + ry, ["#ffe58a", "#f3bf36"]))
    ring = minus(cv.ellipse((cx - rx * 0.74, cy - ry * 0.74, cx + rx * 0.74,
                             cy + ry * 0.74)),
                 cv.ellipse((cx - rx * 0.66, cy - ry * 0.66, cx + rx * 0.66,
                             cy + ry * 0.66)))
    cv.fill(ring, (190, 130, 20, 170))


def gen_money():
    # shown at 91 x 101; drawn at 2x
    cv = Canvas(182, 202)
    banknote(cv, 86, 78, 150, 82, 14)
    banknote(cv, 92, 96, 150, 82, -6)
    stack = [(122, 178), (122, 163), (120, 148), (123, 133)]
    base = cv.ellipse((122 - 44, 178 + 10 - 12, 122 + 44, 178 + 10 + 16))
    cv.fill(cv.blur(base, 3), (0, 20, 50, 80))
    for x, y in stack:
        coin(cv, x, y, 40, 15, 10)
    save_label_picture(cv.result(), "money.png")


# --------------------------------------------------------------------------
# Window chrome and small controls
# --------------------------------------------------------------------------

def gen_window_buttons():
    # The buttons sit on the blue body after login but on the near-white
    # login page before it, so every state must read on both: a mid
    # blue-grey glyph at rest, a solid round background on hover.
    x_glyph = lambda cv, w: union(cv.line([(5.2, 5.2), (10.8, 10.8)], w),
                                  cv.line([(10.8, 5.2), (5.2, 10.8)], w))
    dash = lambda cv, w: cv.line([(4.6, 8.5), (11.4, 8.5)], w)

    for name, glyph, hover_bg in (("close", x_glyph, RED),
                                  ("minimize", dash, "#2b8fd6")):
        cv = Canvas(16, 16)
        cv.fill(glyph(cv, 1.8), "#93a9bd")
        save_png(cv.result(), name + "0.png")
        cv = Canvas(16, 16)
        cv.fill(cv.circle(8, 8, 7.8), hover_bg)
        cv.fill(glyph(cv, 1.7), "#ffffff")
        save_png(cv.result(), name + ".png")


def power_button(face, bezel, symbol, glow=None):
    cv = Canvas(150, 150)
    c = 75
    outer = cv.circle(c, c, 72)
    cv.shadow(outer, 0, 2, 2.5, (0, 0, 0, 70))
    cv.fill(outer, Gradient("v", 3, 147, bezel))
    disc = cv.circle(c, c, 63)
    cv.fill(cv.shift(cv.blur(disc, 1.5), 0, 1), (0, 0, 0, 60))
    cv.fill(disc, Gradient("v", 12, 138, face))
    if glow:
        cv.fill(disc, Gradient("r", (c, c + 30), 70,
                               [(0, glow), (1, glow[:3] + (0,))]))
    gloss = inter(disc, cv.ellipse((c - 50, 14, c + 50, 84)))
    cv.fill(gloss, Gradient("v", 14, 84, [(0, (255, 255, 255, 70)),
                                          (1, (255, 255, 255, 0))]))
    sym = union(cv.arc(c, 79, 27, 305, 595, 8.5),
                cv.line([(c, 44), (c, 76)], 8.5))
    cv.shadow(sym, 0, 1.5, 1.5, (0, 0, 0, 80))
    cv.fill(sym, symbol)
    return cv.result()


def gen_power_buttons():
    save_png(power_button(["#2a9be4", BLUE, "#074f85"],
                          ["#ffffff", "#d6dee6"], "#ffffff"),
             "power-button-1.png")
    save_png(power_button(["#43b3f7", "#0a74c0", "#085d99"],
                          ["#ffffff", "#c9e2f5"], "#ffffff",
                          glow=(120, 210, 255, 90)),
             "power-button-2.png")
    save_png(power_button(["#d2d2d2", "#b4b4b4", "#a2a2a2"],
                          ["#ffffff", "#dedede"], "#f5f5f5"),
             "power-button-disabled.png")


def gen_down_arrow():
    cv = Canvas(12, 8)
    cv.fill(cv.line([(2, 2.4), (6, 6), (10, 2.4)], 1.8), "#555555")
    save_png(cv.result(), "down.png")


def gen_check_box():
    # Style sheets with a transparent background hide the desktop style's own
    # check box; the form draws its boxes with these instead.
    for name, checked in (("checkbox.png", False), ("checkbox-checked.png", True)):
        cv = Canvas(14, 14)
        outer = cv.rect((0.5, 0.5, 13.5, 13.5), 2.5)
        inner = cv.rect((1.5, 1.5, 12.5, 12.5), 1.8)
        cv.fill(outer, "#0a6eac" if checked else "#8c8c8c")
        cv.fill(inner, "#0a6eac" if checked else "#ffffff")
        if checked:
            cv.fill(check_mark(cv, 7, 7, 9, 1.9), "#ffffff")
        save_png(cv.result(), name)


def gen_status_icons():
    for name, stops, ring in (
            ("connected_icon.png", ["#7cf0a4", "#25b35a"], (60, 230, 120, 70)),
            ("not_connected_icon.png", ["#ff8a7e", "#d8392d"],
             (240, 80, 70, 60))):
        cv = Canvas(16, 16)
        cv.fill(cv.circle(8, 8, 7.2), ring)
        dot = cv.circle(8, 8, 5.2)
        cv.fill(dot, Gradient("v", 2.8, 13.2, stops))
        cv.fill(minus(dot, cv.circle(8, 8, 4.4)), (0, 0, 0, 50))
        cv.fill(cv.circle(6.6, 6.4, 1.6), (255, 255, 255, 140))
        save_png(cv.result(), name)


def gen_message_icons():
    # The style's own message-box icons are 32-pixel bitmaps, stretched to
    # the 48 pixels a box shows and blocky on a scaled screen; these stand in
    # where the desktop's icon theme has none. Drawn on a 32-unit grid.
    k = 48 / 32

    def canvas():
        return Canvas(48, 48)

    def P(pts):
        return [(x * k, y * k) for x, y in pts]

    def disc(cv, stops):
        cv.shadow(cv.circle(16 * k, 16.5 * k, 14 * k), 0, 0.6 * k, 0.8 * k, (0, 0, 0, 70))
        cv.fill(cv.circle(16 * k, 16 * k, 14 * k), Gradient("v", 2 * k, 30 * k, stops))

    cv = canvas()
    disc(cv, ["#3b92d0", "#0a5f9e"])
    cv.fill(cv.circle(16 * k, 9.6 * k, 2.3 * k), "#ffffff")
    cv.fill(cv.rect((14 * k, 13.4 * k, 18 * k, 24.5 * k), 1.2 * k), "#ffffff")
    save_png(cv.result(), "messagebox/information.png")

    cv = canvas()
    disc(cv, ["#3b92d0", "#0a5f9e"])
    cv.fill(cv.text((16 * k, 24.6 * k), "?", load_font("bold", 21 * k * cv.ss),
                    anchor="ms"), "#ffffff")
    save_png(cv.result(), "messagebox/question.png")

    cv = canvas()
    disc(cv, ["#f0675c", "#c62c21"])
    cross = union(cv.line(P([(10.5, 10.5), (21.5, 21.5)]), 3.4 * k),
                  cv.line(P([(21.5, 10.5), (10.5, 21.5)]), 3.4 * k))
    cv.fill(cross, "#ffffff")
    save_png(cv.result(), "messagebox/critical.png")

    cv = canvas()
    triangle = P([(16, 4.5), (29.5, 28), (2.5, 28)])
    cv.shadow(cv.poly(triangle), 0, 0.6 * k, 0.8 * k, (0, 0, 0, 70))
    outline = cv.line(triangle + [triangle[0]], 3.0 * k)
    cv.fill(union(cv.poly(triangle), outline),
            Gradient("v", 2 * k, 30 * k, ["#ffd257", "#f0a21c"]))
    cv.fill(cv.rect((14.5 * k, 11.5 * k, 17.5 * k, 20.5 * k), 1.4 * k), "#3d3d3d")
    cv.fill(cv.circle(16 * k, 24 * k, 1.9 * k), "#3d3d3d")
    save_png(cv.result(), "messagebox/warning.png")


# --------------------------------------------------------------------------
# Animations
# --------------------------------------------------------------------------

def save_gif(frames, name, matte, duration):
    """Writes RGBA frames as a looping GIF with one shared palette.

    Edges are blended against `matte` (the colour the animation is shown
    on); fully transparent pixels stay transparent.
    """
    flat = []
    for f in frames:
        bg = Image.new("RGBA", f.size, rgba(matte))
        bg.alpha_composite(f)
        flat.append(bg.convert("RGB"))
    w, h = frames[0].size
    sheet = Image.new("RGB", (w * len(flat), h))
    for i, f in enumerate(flat):
        sheet.paste(f, (i * w, 0))
    median_cut = getattr(Image, "Quantize", Image).MEDIANCUT
    pal_img = sheet.quantize(colors=255, method=median_cut, dither=0)
    pal = pal_img.getpalette()[:255 * 3]
    pal += [0, 0, 0] * (255 - len(pal) // 3)
    pal += [255, 0, 255]  # index 255: transparent, far from every colour
    pal_img.putpalette(pal)
    out = []
    for f, rgb in zip(frames, flat):
        p = rgb.quantize(palette=pal_img, dither=0)
        clear = f.getchannel("A").point(lambda a: 255 if a == 0 else 0)
        p.paste(255, mask=clear)
        p.info["transparency"] = 255
        out.append(p)
    name = scaled_name(name)
    path = os.path.join(OUT, name)
    out[0].save(path, save_all=True, append_images=out[1:], loop=0,
                duration=duration, disposal=2, transparency=255,
                optimize=False)
    WRITTEN.append(name)


def gen_loader():
    frames = []
    n = 12
    cx, cy, r, wdt, sweep = 30, 32, 21, 5.5, 110
    for i in range(n):
        cv = Canvas(60, 64)
        cv.fill(cv.arc(cx, cy, r, 0, 360, wdt, caps=False),
                (255, 255, 255, 45))
        head = -90 + i * 360 / n
        segs = 22
        for k in range(segs):
            t0 = k / segs
            a0 = head - sweep + sweep * t0
            a1 = head - sweep + sweep * (k + 1) / segs + 0.6
            colour = mix((140, 208, 255, 0), (255, 255, 255, 255),
                         (k + 1) / segs)
            cv.fill(cv.arc(cx, cy, r, a0, a1, wdt, caps=False), colour)
        hx = cx + r * math.cos(math.radians(head))
        hy = cy + r * math.sin(math.radians(head))
        cv.fill(cv.circle(hx, hy, wdt / 2), "#ffffff")
        frames.append(cv.result())
    save_gif(frames, "loader.gif", BLUE, 80)


def gen_busy_dots():
    frames = []
    n = 6
    for i in range(n):
        cv = Canvas(16, 11)
        for k, x in enumerate((3, 8, 13)):
            level = 0.5 + 0.5 * math.cos(2 * math.pi * (i / n - k / 3))
            r = 1.3 + 0.9 * level
            cv.fill(cv.circle(x, 5.5, r), rgba(BLUE_2, 90 + 165 * level))
        frames.append(cv.result())
    save_gif(frames, "loading3.gif", "#ebebeb", 110)


# --------------------------------------------------------------------------
# Resource collection file
# --------------------------------------------------------------------------

def write_qrc():
    top = ["velnor.ico", "velnor.png", "velnor@2x.png"]
    rest = sorted(n for n in WRITTEN if n not in top)
    lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">',
             '    <qresource prefix="/">']
    lines += ['        <file>%s</file>' % n for n in top]
    lines += ['    </qresource>', '    <qresource prefix="/resources">']
    lines += ['        <file>%s</file>' % n for n in rest]
    lines += ['    </qresource>', '</RCC>', '']
    with open(os.path.join(OUT, "resources.qrc"), "w", newline="\n") as f:
        f.write("\n".join(lines))


# Pictures drawn at the size they are shown; each is drawn at 2x as well.
AT_SHOWN_SIZE = [gen_background, gen_tab_icons, gen_flags, gen_login_icons,
                 gen_window_buttons, gen_power_buttons, gen_down_arrow,
                 gen_check_box, gen_status_icons, gen_message_icons, gen_loader,
                 gen_busy_dots]


def main():
    global SCALE
    os.makedirs(OUT, exist_ok=True)
    gen_app_icon()
    gen_theme_icons()
    # The labels' pictures: drawn at 2x, halved for scale 1.
    gen_logos()
    gen_avatar()
    gen_server()
    gen_connected()
    gen_money()
    for SCALE in (1, 2):
        for draw in AT_SHOWN_SIZE:
            draw()
    SCALE = 1
    write_qrc()
    print("wrote %d files to %s and %d icons to packaging/icons" % (
        len(WRITTEN) + 1, os.path.relpath(OUT, ROOT), len(THEME_ICON_SIZES)))


if __name__ == "__main__":
    sys.exit(main())
