#!/usr/bin/env python3
"""mksample.py - build a placeable WMF picture from a readable description.

A description (.wmfdesc) is plain text, one record per line.  '#' starts a
comment (outside quoted text); a line ending in '\\' continues on the next
line; blank lines are ignored.  Keywords are case-insensitive.  Numbers are
decimal or 0x hex.  Coordinates are written in natural order (x before y;
left top right bottom) and stored in the order the WMF record wants.

Picture
  placeable bbox L T R B inch N      placeable header (required, once, first)
  setmapmode text|lometric|himetric|loenglish|hienglish|twips|
             isotropic|anisotropic|N
  setwindoworg X Y          setwindowext W H
  setviewportorg X Y        setviewportext W H
  savedc                    restoredc [N]        (N defaults to -1)

Objects (NAME is an identifier; the object gets the lowest free slot of
the handle table, as a player assigns it; select/delete refer to NAME)
  pen NAME STYLE WIDTH COLOR
        STYLE: solid dash dot dashdot dashdotdot null insideframe or N
  brush NAME STYLE COLOR [hatch N]
        STYLE: solid null hatched or N
  font NAME height H [width W] [escapement E] [orientation O] [angle A]
        [weight W|bold|normal] [italic] [underline] [strikeout]
        [charset N] [outprecision N] [clipprecision N] [quality N]
        [pitchfamily N] face "NAME"
        (angle A sets escapement and orientation, tenths of a degree)
  select NAME
  delete NAME       refused while NAME is selected, now or in a saved
                    state: the platform does not delete a selected object

State
  textcolor COLOR     bkcolor COLOR
  bkmode transparent|opaque|N [wide]
  polyfillmode alternate|winding|N [wide]
  textalign FLAG[|FLAG...]|N [wide]
        FLAG: left right center top bottom baseline updatecp rtlreading
  ('wide' writes the 5-word form with a trailing reserved zero word)

Drawing
  moveto X Y                lineto X Y
  polyline X,Y X,Y ...      polygon X,Y X,Y ...
  polypolygon X,Y ... / X,Y ... [/ ...]     ('/' separates the polygons)
  rectangle L T R B         ellipse L T R B
  arc L T R B XSTART YSTART XEND YEND
  exttextout X Y [options FLAG[|FLAG]|N] [rect L T R B] "TEXT"
             [dx N N ... | dx auto N]
        FLAG: opaque clipped glyphindex rtlreading.  The rectangle is
        required when the options contain opaque or clipped and refused
        otherwise.  'dx auto N' gives every character the advance N.
  textout X Y "TEXT"
  comment "TEXT"            ESCAPE MFCOMMENT carrying the bytes of TEXT
  escape FUNCTION "DATA"    any other ESCAPE

COLOR is 0xBBGGRR (COLORREF byte order: red in the low byte) or one of
black white red yellow green cyan blue magenta grey lightgrey.
TEXT is in double quotes; \\xNN, \\\\ and \\" are escapes; other characters
are written in code page 1252.

Usage:
  mksample.py DESC [-o OUT.wmf]   (default: DESC with the suffix .wmf)
  mksample.py --all DIR           (every DIR/*.wmfdesc -> DIR/*.wmf)
Output depends on the description only.  Prints one line per picture.
Exit status: 0 done, 1 error in a description, 2 usage or file error.
"""

import glob
import hashlib
import os
import re
import struct
import sys

PLACEABLE_KEY = 0x9AC6CDD7

MAP_MODES = {"text": 1, "lometric": 2, "himetric": 3, "loenglish": 4,
             "hienglish": 5, "twips": 6, "isotropic": 7, "anisotropic": 8}
PEN_STYLES = {"solid": 0, "dash": 1, "dot": 2, "dashdot": 3,
              "dashdotdot": 4, "null": 5, "insideframe": 6}
BRUSH_STYLES = {"solid": 0, "null": 1, "hatched": 2}
BK_MODES = {"transparent": 1, "opaque": 2}
FILL_MODES = {"alternate": 1, "winding": 2}
ALIGN_FLAGS = {"left": 0, "top": 0, "noupdatecp": 0, "updatecp": 1,
               "right": 2, "center": 6, "bottom": 8, "baseline": 24,
               "rtlreading": 256}
ETO_FLAGS = {"opaque": 0x0002, "clipped": 0x0004, "glyphindex": 0x0010,
             "rtlreading": 0x0080}
COLORS = {"black": 0x000000, "white": 0xFFFFFF, "red": 0x0000FF,
          "yellow": 0x00FFFF, "green": 0x00FF00, "cyan": 0xFFFF00,
          "blue": 0xFF0000, "magenta": 0xFF00FF, "grey": 0x808080,
          "gray": 0x808080, "lightgrey": 0xC0C0C0, "lightgray": 0xC0C0C0}
ESCAPE_MFCOMMENT = 0x000F


class DescError(Exception):
    """An error in a description, reported with its line number."""


# ------------------------------------------------------------- tokenizing

TOKEN_RE = re.compile(r'\s*(?:("(?:[^"\\]|\\.)*")|([^\s"]+))')


def unescape(quoted):
    body = quoted[1:-1]
    out = bytearray()
    i = 0
    while i < len(body):
        c = body[i]
        if c == "\\":
            if i + 1 >= len(body):
                raise DescError("text ends with a lone backslash")
            n = body[i + 1]
            if n == "x":
                digits = body[i + 2:i + 4]
                if not re.fullmatch(r"[0-9A-Fa-f]{2}", digits):
                    raise DescError("\\x needs two hex digits")
                out.append(int(digits, 16))
                i += 4
                continue
            if n in ('"', "\\"):
                out.append(ord(n))
                i += 2
                continue
            raise DescError("unknown escape \\%s in text" % n)
        try:
            out += c.encode("cp1252")
        except UnicodeEncodeError:
            raise DescError("character %r has no code page 1252 byte; "
                            "use \\xNN" % c)
        i += 1
    return bytes(out)


def strip_comment(line):
    """Drop a '#' comment that is not inside quoted text."""
    quoted = False
    i = 0
    while i < len(line):
        c = line[i]
        if quoted and c == "\\":
            i += 2
            continue
        if c == '"':
            quoted = not quoted
        elif c == "#" and not quoted:
            return line[:i]
        i += 1
    if quoted:
        raise DescError("unterminated quoted text")
    return line


class Tok:
    __slots__ = ("text", "quoted")

    def __init__(self, text, quoted):
        self.text = text
        self.quoted = quoted


def tokenize(line):
    toks = []
    pos = 0
    line = line.rstrip()
    while pos < len(line):
        m = TOKEN_RE.match(line, pos)
        if not m or m.end() == pos:
            break
        if m.group(1) is not None:
            toks.append(Tok(m.group(1), True))
        else:
            toks.append(Tok(m.group(2), False))
        pos = m.end()
    return toks


def logical_lines(text):
    """Yield (line number, tokens) per record line, joining continuations."""
    pending = []
    start = None
    for num, raw in enumerate(text.splitlines(), 1):
        try:
            line = strip_comment(raw)
        except DescError as e:
            raise DescError("line %d: %s" % (num, e))
        cont = line.rstrip().endswith("\\")
        if cont:
            line = line.rstrip()[:-1]
        if start is None:
            start = num
        pending.append(line)
        if cont:
            continue
        joined = " ".join(pending)
        pending = []
        first = start
        start = None
        toks = tokenize(joined)
        if toks:
            yield first, toks
    if pending:
        raise DescError("line %d: continuation at end of file" % start)


# ---------------------------------------------------------------- values

class Args:
    """Cursor over the tokens of one line."""

    def __init__(self, toks):
        self.toks = toks
        self.pos = 0

    def more(self):
        return self.pos < len(self.toks)

    def peek(self):
        if not self.more():
            return None
        t = self.toks[self.pos]
        return None if t.quoted else t.text.lower()

    def take(self, what):
        if not self.more():
            raise DescError("missing %s" % what)
        t = self.toks[self.pos]
        self.pos += 1
        return t

    def word(self, what):
        t = self.take(what)
        if t.quoted:
            raise DescError("expected %s, found quoted text" % what)
        return t.text

    def keyword(self, kw):
        w = self.word("'%s'" % kw)
        if w.lower() != kw:
            raise DescError("expected '%s', found '%s'" % (kw, w))

    def int(self, what, lo=-32768, hi=32767):
        return parse_int(self.word(what), what, lo, hi)

    def text(self, what="quoted text"):
        t = self.take(what)
        if not t.quoted:
            raise DescError("expected %s in double quotes, found '%s'"
                            % (what, t.text))
        return unescape(t.text)

    def done(self):
        if self.more():
            raise DescError("unexpected '%s'" % self.toks[self.pos].text)


def parse_int(s, what, lo=-32768, hi=32767):
    try:
        v = int(s, 0)
    except ValueError:
        raise DescError("%s: '%s' is not a number" % (what, s))
    if not lo <= v <= hi:
        raise DescError("%s %d is outside %d..%d" % (what, v, lo, hi))
    return v


def parse_choice(s, table, what, hi=0xFFFF):
    v = table.get(s.lower())
    if v is not None:
        return v
    try:
        return parse_int(s, what, 0, hi)
    except DescError:
        raise DescError("%s: '%s' is none of %s or a number"
                        % (what, s, ", ".join(sorted(table))))


def parse_flags(s, table, what):
    v = 0
    for part in s.split("|"):
        v |= parse_choice(part, table, what)
    return v


def parse_color(s):
    v = COLORS.get(s.lower())
    if v is not None:
        return v
    return parse_int(s, "colour", 0, 0xFFFFFFFF)


def parse_point(s):
    m = re.fullmatch(r"(-?(?:0x)?[0-9A-Fa-f]+),(-?(?:0x)?[0-9A-Fa-f]+)", s)
    if not m:
        raise DescError("point '%s' is not X,Y" % s)
    return (parse_int(m.group(1), "x"), parse_int(m.group(2), "y"))


def points(args, what):
    pts = []
    while args.more() and args.peek() != "/":
        pts.append(parse_point(args.word("point")))
    if not pts:
        raise DescError("%s needs at least one point" % what)
    return pts


# ---------------------------------------------------------------- writer

def s16(*vals):
    return struct.pack("<%dh" % len(vals), *vals)


def u16(*vals):
    return struct.pack("<%dH" % len(vals), *vals)


class Picture:
    def __init__(self):
        self.placeable = None
        self.buf = bytearray()
        self.records = 0
        self.max_record = 3          # META_EOF
        self.slots = []              # slot -> name or None
        self.max_slots = 0
        self.objects = {}            # name -> (kind, slot)
        self.selected = {"pen": None, "brush": None, "font": None}
        self.saved = []              # stack of selection dicts

    # records
    def rec(self, func, params=b""):
        if len(params) & 1:
            params += b"\x00"
        words = 3 + len(params) // 2
        self.buf += struct.pack("<IH", words, func) + params
        self.records += 1
        self.max_record = max(self.max_record, words)

    # handle table
    def create(self, name, kind, func, params):
        if not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_.-]*", name):
            raise DescError("'%s' is not a valid object name" % name)
        if name in self.objects:
            raise DescError("object '%s' exists already (delete it first)"
                            % name)
        self.rec(func, params)
        try:
            slot = self.slots.index(None)
            self.slots[slot] = name
        except ValueError:
            slot = len(self.slots)
            self.slots.append(name)
        # lowest-free allocation grows the table only when every slot is
        # taken, so its length is the most slots ever in use at once
        self.max_slots = max(self.max_slots, len(self.slots))
        self.objects[name] = (kind, slot)

    def lookup(self, name):
        obj = self.objects.get(name)
        if obj is None:
            raise DescError("no object named '%s'" % name)
        return obj

    def select(self, name):
        kind, slot = self.lookup(name)
        self.rec(0x012D, u16(slot))
        self.selected[kind] = name

    def delete(self, name):
        kind, slot = self.lookup(name)
        if self.selected[kind] == name:
            raise DescError("'%s' is still selected; select another %s "
                            "before deleting it" % (name, kind))
        for depth, state in enumerate(reversed(self.saved), 1):
            if state[kind] == name:
                raise DescError("'%s' is selected in the state saved %d "
                                "level(s) up; delete it after restoredc"
                                % (name, depth))
        self.rec(0x01F0, u16(slot))
        self.slots[slot] = None
        del self.objects[name]

    def savedc(self):
        self.rec(0x001E)
        self.saved.append(dict(self.selected))

    def restoredc(self, n):
        if n == 0:
            raise DescError("restoredc 0 restores nothing")
        if n < 0:
            if -n > len(self.saved):
                raise DescError("restoredc %d but only %d state(s) saved"
                                % (n, len(self.saved)))
            keep = len(self.saved) + n
        else:
            if n > len(self.saved):
                raise DescError("restoredc %d but only %d state(s) saved"
                                % (n, len(self.saved)))
            keep = n - 1
        self.rec(0x0127, s16(n))
        self.selected = self.saved[keep]
        del self.saved[keep:]

    def finish(self):
        if self.placeable is None:
            raise DescError("no 'placeable' line")
        self.rec(0x0000)
        size_words = 9 + len(self.buf) // 2
        meta = struct.pack("<HHHIHIH", 1, 9, 0x0300, size_words,
                           self.max_slots, self.max_record, 0)
        l, t, r, b, inch = self.placeable
        ph = struct.pack("<IHhhhhHI", PLACEABLE_KEY, 0, l, t, r, b, inch, 0)
        csum = 0
        for v in struct.unpack("<10H", ph):
            csum ^= v
        return ph + struct.pack("<H", csum) + meta + bytes(self.buf)


# --------------------------------------------------------------- records

def r_placeable(pic, a):
    if pic.placeable is not None:
        raise DescError("second 'placeable' line")
    if pic.records:
        raise DescError("'placeable' must come before every record")
    a.keyword("bbox")
    l, t, r, b = (a.int(w) for w in ("left", "top", "right", "bottom"))
    a.keyword("inch")
    inch = a.int("inch", 1, 0xFFFF)
    pic.placeable = (l, t, r, b, inch)


def r_setmapmode(pic, a):
    pic.rec(0x0103, u16(parse_choice(a.word("mode"), MAP_MODES, "map mode")))


def xy_record(func):
    def f(pic, a):
        x = a.int("x")
        y = a.int("y")
        pic.rec(func, s16(y, x))
    return f


def r_savedc(pic, a):
    pic.savedc()


def r_restoredc(pic, a):
    pic.restoredc(a.int("saved state") if a.more() else -1)


def r_pen(pic, a):
    name = a.word("pen name")
    style = parse_choice(a.word("pen style"), PEN_STYLES, "pen style")
    width = a.int("pen width")
    color = parse_color(a.word("pen colour"))
    pic.create(name, "pen", 0x02FA, struct.pack("<HhhI", style, width, 0,
                                                color))


def r_brush(pic, a):
    name = a.word("brush name")
    style = parse_choice(a.word("brush style"), BRUSH_STYLES, "brush style")
    color = parse_color(a.word("brush colour"))
    hatch = 0
    if a.peek() == "hatch":
        a.word("hatch")
        hatch = a.int("hatch", 0, 0xFFFF)
    pic.create(name, "brush", 0x02FC, struct.pack("<HIH", style, color,
                                                  hatch))


FONT_INT_FIELDS = {"height": ("height", -32768, 32767),
                   "width": ("width", -32768, 32767),
                   "escapement": ("escapement", -32768, 32767),
                   "orientation": ("orientation", -32768, 32767),
                   "charset": ("charset", 0, 255),
                   "outprecision": ("outprecision", 0, 255),
                   "clipprecision": ("clipprecision", 0, 255),
                   "quality": ("quality", 0, 255),
                   "pitchfamily": ("pitchfamily", 0, 255)}


def r_font(pic, a):
    name = a.word("font name")
    f = {"height": None, "width": 0, "escapement": 0, "orientation": 0,
         "weight": 400, "italic": 0, "underline": 0, "strikeout": 0,
         "charset": 0, "outprecision": 0, "clipprecision": 0, "quality": 0,
         "pitchfamily": 0}
    face = None
    while a.more():
        key = a.word("font field").lower()
        if key in FONT_INT_FIELDS:
            field, lo, hi = FONT_INT_FIELDS[key]
            f[field] = a.int(key, lo, hi)
        elif key == "angle":
            f["escapement"] = f["orientation"] = a.int("angle")
        elif key == "weight":
            f["weight"] = parse_choice(a.word("weight"),
                                       {"normal": 400, "bold": 700},
                                       "weight", 1000)
        elif key in ("italic", "underline", "strikeout"):
            f[key] = 1
        elif key == "face":
            face = a.text("face name")
        else:
            raise DescError("unknown font field '%s'" % key)
    if f["height"] is None:
        raise DescError("font needs 'height'")
    if face is None:
        raise DescError("font needs 'face \"NAME\"'")
    if b"\x00" in face or len(face) > 31:
        raise DescError("face name must be 1..31 bytes without NUL")
    params = struct.pack("<hhhhhBBBBBBBB", f["height"], f["width"],
                         f["escapement"], f["orientation"], f["weight"],
                         f["italic"], f["underline"], f["strikeout"],
                         f["charset"], f["outprecision"], f["clipprecision"],
                         f["quality"], f["pitchfamily"])
    params += face + b"\x00" * (32 - len(face))
    pic.create(name, "font", 0x02FB, params)


def r_select(pic, a):
    pic.select(a.word("object name"))


def r_delete(pic, a):
    pic.delete(a.word("object name"))


def color_record(func):
    def f(pic, a):
        pic.rec(func, struct.pack("<I", parse_color(a.word("colour"))))
    return f


def mode_record(func, table, what, flags=False):
    def f(pic, a):
        s = a.word(what)
        v = parse_flags(s, table, what) if flags else \
            parse_choice(s, table, what)
        params = u16(v)
        if a.peek() == "wide":
            a.word("wide")
            params += u16(0)
        pic.rec(func, params)
    return f


def poly_record(func):
    def f(pic, a):
        pts = points(a, "polyline/polygon")
        pic.rec(func, s16(len(pts), *[c for p in pts for c in p]))
    return f


def r_polypolygon(pic, a):
    polys = [points(a, "polypolygon")]
    while a.more():
        a.word("'/'")
        polys.append(points(a, "polypolygon"))
    params = u16(len(polys), *[len(p) for p in polys])
    params += s16(*[c for p in polys for pt in p for c in pt])
    pic.rec(0x0538, params)


def rect_record(func):
    def f(pic, a):
        l, t, r, b = (a.int(w) for w in ("left", "top", "right", "bottom"))
        pic.rec(func, s16(b, r, t, l))
    return f


def r_arc(pic, a):
    l, t, r, b = (a.int(w) for w in ("left", "top", "right", "bottom"))
    xs, ys, xe, ye = (a.int(w) for w in ("x start", "y start", "x end",
                                         "y end"))
    pic.rec(0x0817, s16(ye, xe, ys, xs, b, r, t, l))


def r_exttextout(pic, a):
    x = a.int("x")
    y = a.int("y")
    opts = 0
    rect = None
    while a.peek() in ("options", "rect"):
        key = a.word("key").lower()
        if key == "options":
            opts = parse_flags(a.word("options"), ETO_FLAGS, "options")
        else:
            rect = tuple(a.int(w) for w in ("left", "top", "right",
                                             "bottom"))
    text = a.text()
    if opts & 0x0006 and rect is None:
        raise DescError("options opaque/clipped need 'rect L T R B'")
    if rect is not None and not opts & 0x0006:
        raise DescError("'rect' is written only with options opaque or "
                        "clipped")
    dx = None
    if a.more():
        a.keyword("dx")
        if a.peek() == "auto":
            a.word("auto")
            dx = [a.int("advance")] * len(text)
        else:
            dx = []
            while a.more():
                dx.append(a.int("advance"))
            if len(dx) != len(text):
                raise DescError("dx has %d advances for %d characters"
                                % (len(dx), len(text)))
    if len(text) > 32767:
        raise DescError("text too long")
    params = s16(y, x, len(text)) + u16(opts)
    if rect is not None:
        params += s16(*rect)
    params += text + (b"\x00" if len(text) & 1 else b"")
    if dx:
        params += s16(*dx)
    pic.rec(0x0A32, params)


def r_textout(pic, a):
    x = a.int("x")
    y = a.int("y")
    text = a.text()
    pic.rec(0x0521, s16(len(text)) + text
            + (b"\x00" if len(text) & 1 else b"") + s16(y, x))


def escape(pic, function, data):
    if len(data) > 0xFFFF:
        raise DescError("escape data too long")
    pic.rec(0x0626, u16(function, len(data)) + data)


def r_comment(pic, a):
    escape(pic, ESCAPE_MFCOMMENT, a.text())


def r_escape(pic, a):
    function = a.int("escape function", 0, 0xFFFF)
    escape(pic, function, a.text() if a.more() else b"")


HANDLERS = {
    "placeable": r_placeable,
    "setmapmode": r_setmapmode,
    "setwindoworg": xy_record(0x020B),
    "setwindowext": xy_record(0x020C),
    "setviewportorg": xy_record(0x020D),
    "setviewportext": xy_record(0x020E),
    "savedc": r_savedc,
    "restoredc": r_restoredc,
    "pen": r_pen,
    "brush": r_brush,
    "font": r_font,
    "select": r_select,
    "delete": r_delete,
    "textcolor": color_record(0x0209),
    "bkcolor": color_record(0x0201),
    "bkmode": mode_record(0x0102, BK_MODES, "background mode"),
    "polyfillmode": mode_record(0x0106, FILL_MODES, "fill mode"),
    "textalign": mode_record(0x012E, ALIGN_FLAGS, "text alignment", True),
    "moveto": xy_record(0x0214),
    "lineto": xy_record(0x0213),
    "polyline": poly_record(0x0325),
    "polygon": poly_record(0x0324),
    "polypolygon": r_polypolygon,
    "rectangle": rect_record(0x041B),
    "ellipse": rect_record(0x0418),
    "arc": r_arc,
    "exttextout": r_exttextout,
    "textout": r_textout,
    "comment": r_comment,
    "escape": r_escape,
}


def build(text):
    """Bytes of the picture described by text; raises DescError."""
    pic = Picture()
    for num, toks in logical_lines(text):
        head = toks[0]
        handler = None if head.quoted else HANDLERS.get(head.text.lower())
        if handler is None:
            raise DescError("line %d: unknown keyword '%s'" % (num, head.text))
        args = Args(toks[1:])
        try:
            handler(pic, args)
            args.done()
        except DescError as e:
            raise DescError("line %d: %s: %s" % (num, head.text.lower(), e))
    data = pic.finish()
    return data, pic


# ------------------------------------------------------------------ main

def make(desc, out):
    try:
        with open(desc, encoding="utf-8") as f:
            text = f.read()
    except (OSError, UnicodeDecodeError) as e:
        sys.stderr.write("mksample: cannot read %s: %s\n" % (desc, e))
        return 2
    try:
        data, pic = build(text)
    except DescError as e:
        sys.stderr.write("mksample: %s: %s\n" % (desc, e))
        return 1
    try:
        with open(out, "wb") as f:
            f.write(data)
    except OSError as e:
        sys.stderr.write("mksample: cannot write %s: %s\n" % (out, e))
        return 2
    sys.stdout.write("%s bytes=%d records=%d objects=%d maxrecord=%d "
                     "sha256=%s\n" % (out, len(data), pic.records,
                                      pic.max_slots, pic.max_record,
                                      hashlib.sha256(data).hexdigest()[:16]))
    return 0


def default_output(desc):
    root, ext = os.path.splitext(desc)
    return (root if ext.lower() == ".wmfdesc" else desc) + ".wmf"


def main(argv):
    args = list(argv[1:])
    if not args or args[0] in ("-h", "--help"):
        sys.stdout.write(__doc__)
        return 0 if args else 2
    if args[0] == "--all":
        if len(args) != 2:
            sys.stderr.write("mksample: usage: mksample.py --all DIR\n")
            return 2
        descs = sorted(glob.glob(os.path.join(glob.escape(args[1]),
                                              "*.wmfdesc")))
        if not descs:
            sys.stderr.write("mksample: no .wmfdesc files in %s\n" % args[1])
            return 2
        rc = 0
        for d in descs:
            rc = max(rc, make(d, default_output(d)))
        return rc
    desc = args.pop(0)
    out = None
    if args:
        if len(args) != 2 or args[0] not in ("-o", "--output"):
            sys.stderr.write("mksample: usage: mksample.py DESC "
                             "[-o OUT.wmf]\n")
            return 2
        out = args[1]
    return make(desc, out or default_output(desc))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
