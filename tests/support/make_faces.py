#!/usr/bin/python3
"""Writes small outline and bitmap-only OpenType fonts with fontTools for the
tests, the fuzz seeds and the benchmark.

    make_faces.py DIR FONT...

Each FONT is a JSON object describing one file, written as DIR/<file>:
  file          the file name; its suffix chooses the format: .ttf (TrueType
                outlines), .otf (CFF outlines), .ttc/.otc (a collection of the
                "faces" list, each a FONT without "file"), .pfa/.pfb (Type 1),
                .otb (bitmap-only: EBDT/EBLC strikes, no outlines)
  chars         what the Unicode map holds: a list of Python codec names (all
                characters of that 8-bit encoding but the controls) and
                [first, last] code point ranges; default ["ascii"]
  cmap          "unicode" (default), "symbol" (only a Windows symbol map,
                codes at U+F020...), "none" (a Macintosh Roman map only)
  glyphs        "shared" (default: every character maps to one glyph) or
                "distinct" (one glyph each, a few points apiece)
  names         name records: a list of [nameID, platform, encoding, language,
                text]; text is a string, or {"hex": "..."} for raw bytes;
                default: family "Test" (ID 1) and style "Regular" (ID 2) on
                both platforms
  vendor        the OS/2 vendor ID (4 bytes, padded with spaces); "os2": false
                leaves the OS/2 table out
  weight, width, fsSelection, macStyle   OS/2 and head values
  fixed         post isFixedPitch; "overhang": a glyph reaching left of 0
  strikes       .otb: pixel sizes (default [16]); "bdf": a BDF table, a list of
                [ppem, {PROPERTY: value}] (string or integer values)
  format        "ttf", "otf" or "otb": the format whatever the suffix says
  from          a font file already written in DIR: copied with this desc's
                "names" and "weight" (for large fonts made once)
  type1         .pfa/.pfb: {"FamilyName", "FullName", "Weight", "Notice",
                "ItalicAngle", "isFixedPitch", "Encoding": "standard" or
                "custom"}
"""
import io
import json
import logging
import struct
import sys

from fontTools import agl
from fontTools.fontBuilder import FontBuilder
from fontTools.misc import eexec
from fontTools.misc.psCharStrings import T1CharString
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.tables.DefaultTable import DefaultTable
from fontTools.ttLib.tables._n_a_m_e import NameRecord
from fontTools.ttLib.ttCollection import TTCollection

UPM = 1000
ASCENT, DESCENT = 800, -200
ADVANCE = 600


def code_points(desc):
    points = set()
    for item in desc.get("chars", ["ascii"]):
        if isinstance(item, list):
            points.update(range(item[0], item[1] + 1))
            continue
        for b in range(256):
            try:
                c = ord(bytes([b]).decode(item))
            except (UnicodeDecodeError, ValueError):
                continue
            if c >= 0x20 and not 0x7F <= c <= 0x9F:
                points.add(c)
    return sorted(points)


def glyph_name(c):
    return agl.UV2AGL.get(c, "uni%04X" % c if c <= 0xFFFF else "u%06X" % c)


def glyph_plan(desc):
    """The glyph order and the cmap {code: glyph name}."""
    points = code_points(desc)
    if desc.get("cmap") == "symbol":
        points = [0xF020 + i for i in range(len(points))]
    if desc.get("glyphs") == "distinct":
        cmap = {c: glyph_name(c) for c in points}
    else:
        cmap = {c: "shape" for c in points}  # a name that means no character
    order = [".notdef"] + sorted(set(cmap.values()))
    return order, cmap


def draw(pen, index, overhang):
    """A box with a notch whose place depends on the glyph index, so that
    distinct glyphs have distinct outlines."""
    left = -50 if overhang else 50
    pen.moveTo((left, 0))
    pen.lineTo((left, 700))
    pen.lineTo((500, 700))
    pen.lineTo((500, 0))
    pen.closePath()
    y = 20 + (index * 37) % 600
    pen.moveTo((150, y))
    pen.lineTo((350, y))
    pen.lineTo((350, y + 40))
    pen.lineTo((150, y + 40))
    pen.closePath()


def name_table(desc):
    table = newTable("name")
    table.names = []
    records = desc.get("names")
    if records is None:
        records = [[1, 3, 1, 0x409, "Test"], [2, 3, 1, 0x409, "Regular"],
                   [1, 1, 0, 0, "Test"], [2, 1, 0, 0, "Regular"]]
    for name_id, platform, encoding, language, text in records:
        record = NameRecord()
        record.nameID, record.platformID, record.platEncID, record.langID = (
            name_id, platform, encoding, language)
        if isinstance(text, dict):
            record.string = bytes.fromhex(text["hex"])
        elif platform == 3 or platform == 0:
            record.string = text.encode("utf-16-be")
        else:
            record.string = text.encode("mac_roman")
        table.names.append(record)
    return table


def common_tables(fb, desc, order, cmap):
    if desc.get("cmap") == "none":
        fb.setupCharacterMap({})
        sub = fb.font["cmap"].tables
        del sub[:]
        from fontTools.ttLib.tables._c_m_a_p import cmap_format_0
        mac = cmap_format_0(0)
        mac.platformID, mac.platEncID, mac.language = 1, 0, 0
        mac.cmap = {c: g for c, g in cmap.items() if c < 256}
        sub.append(mac)
    else:
        fb.setupCharacterMap(cmap)
        if desc.get("cmap") == "symbol":
            for sub in fb.font["cmap"].tables:
                sub.platEncID = 0
            fb.font["cmap"].tables = [t for t in fb.font["cmap"].tables if t.platformID == 3]
    fb.setupHorizontalMetrics({g: (ADVANCE, 0) for g in order})
    fb.setupHorizontalHeader(ascent=ASCENT, descent=DESCENT)
    fb.font["name"] = name_table(desc)
    if desc.get("os2", True):
        fb.setupOS2(achVendID=desc.get("vendor", "NONE").ljust(4)[:4],
                    usWeightClass=desc.get("weight", 400), usWidthClass=desc.get("width", 5),
                    fsSelection=desc.get("fsSelection", 0x40), sTypoAscender=ASCENT,
                    sTypoDescender=DESCENT, usWinAscent=ASCENT, usWinDescent=-DESCENT,
                    xAvgCharWidth=ADVANCE)
    fb.setupPost(isFixedPitch=desc.get("fixed", 0))
    fb.updateHead(macStyle=desc.get("macStyle", 0))


def sfnt_font(desc, cff):
    order, cmap = glyph_plan(desc)
    fb = FontBuilder(UPM, isTTF=not cff)
    fb.setupGlyphOrder(order)
    overhang = desc.get("overhang", False)
    if cff:
        strings = {}
        for i, g in enumerate(order):
            pen = T2CharStringPen(ADVANCE, None)
            draw(pen, i, overhang)
            strings[g] = pen.getCharString()
        fb.setupCFF("Test", {"FullName": "Test"}, strings, {})
    else:
        glyphs = {}
        for i, g in enumerate(order):
            pen = TTGlyphPen(None)
            draw(pen, i, overhang)
            glyphs[g] = pen.glyph()
        fb.setupGlyf(glyphs)
    common_tables(fb, desc, order, cmap)
    return fb.font


def bdf_table(strikes):
    """The `BDF ` table: a header (version 1, strike count, pool offset),
    (ppem, property count) per strike, the properties of ten bytes each (name
    offset 32 bits, type 16: 0x10 | 1 atom or 2 integer, value 32), then the
    string pool."""
    pool = bytearray()
    offsets = {}

    def string(s):
        if s not in offsets:
            offsets[s] = len(pool)
            pool.extend(s.encode("latin-1") + b"\0")
        return offsets[s]

    heads, items = bytearray(), bytearray()
    for ppem, props in strikes:
        heads += struct.pack(">HH", ppem, len(props))
        for key, value in props.items():
            if isinstance(value, int):
                items += struct.pack(">IHi", string(key), 0x12, value)
            else:
                items += struct.pack(">IHI", string(key), 0x11, string(value))
    header = struct.pack(">HHI", 1, len(strikes), 8 + len(heads) + len(items))
    return bytes(header + heads + items + pool)


def bitmap_font(desc):
    order, cmap = glyph_plan(desc)
    fb = FontBuilder(UPM, isTTF=True)
    fb.setupGlyphOrder(order)
    common_tables(fb, desc, order, cmap)
    fb.setupMaxp()
    font = fb.font
    font["maxp"].tableVersion = 0x00005000
    sizes = desc.get("strikes", [16])
    ebdt, eblc = [], []
    for index, ppem in enumerate(sizes):
        width = ppem // 2
        row = (width + 7) // 8
        glyph_xml = "".join(
            '<ebdt_bitmap_format_1 name="%s"><SmallGlyphMetrics><height value="%d"/>'
            '<width value="%d"/><BearingX value="0"/><BearingY value="%d"/>'
            '<Advance value="%d"/></SmallGlyphMetrics><rawimagedata>%s</rawimagedata>'
            '</ebdt_bitmap_format_1>' % (g, ppem, width, ppem - ppem // 4, width + (i % 2 if
                                         not desc.get("fixed") else 0),
                                         ("ff" * row) * ppem)
            for i, g in enumerate(order))
        ebdt.append('<strikedata index="%d">%s</strikedata>' % (index, glyph_xml))
        metrics = "".join(
            '<sbitLineMetrics direction="%s"><ascender value="%d"/><descender value="%d"/>'
            '<widthMax value="%d"/><caretSlopeNumerator value="0"/>'
            '<caretSlopeDenominator value="0"/><caretOffset value="0"/>'
            '<minOriginSB value="0"/><minAdvanceSB value="0"/><maxBeforeBL value="0"/>'
            '<minAfterBL value="0"/><pad1 value="0"/><pad2 value="0"/></sbitLineMetrics>'
            % (d, ppem - ppem // 4, -(ppem // 4), width + 1) for d in ("hori", "vert"))
        locs = "".join('<glyphLoc name="%s"/>' % g for g in order)
        eblc.append(
            '<strike index="%d"><bitmapSizeTable>%s<colorRef value="0"/>'
            '<startGlyphIndex value="0"/><endGlyphIndex value="%d"/><ppemX value="%d"/>'
            '<ppemY value="%d"/><bitDepth value="1"/><flags value="1"/></bitmapSizeTable>'
            '<eblc_index_sub_table_1 imageFormat="1" firstGlyphIndex="0" lastGlyphIndex="%d">'
            '%s</eblc_index_sub_table_1></strike>'
            % (index, metrics, len(order) - 1, ppem, ppem, len(order) - 1, locs))
    xml = ('<?xml version="1.0" encoding="UTF-8"?><ttFont>'
           '<EBDT><header version="2.0"/>%s</EBDT><EBLC><header version="2.0"/>%s</EBLC>'
           '</ttFont>' % ("".join(ebdt), "".join(eblc)))
    font.importXML(io.StringIO(xml))
    if "bdf" in desc:
        table = DefaultTable("BDF ")
        table.data = bdf_table(desc["bdf"])
        font["BDF "] = table
    for tag in ("hmtx", "hhea"):
        if tag in font and desc.get("no_hmtx"):
            del font[tag]
    return font


STANDARD_ENCODING = {i: n for i, n in enumerate(
    __import__("fontTools.encodings.StandardEncoding",
               fromlist=["StandardEncoding"]).StandardEncoding) if n != ".notdef"}


def type1_program(desc):
    """The Type 1 font program: the clear part, the private part (eexec-
    encrypted) and the trailer, as byte strings."""
    info = desc.get("type1", {})
    points = code_points(desc)
    names = sorted({glyph_name(c) for c in points} | {".notdef"})

    def ps_string(s):
        return "(" + s.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") + ")"

    fontinfo = []
    for key in ("Notice", "FullName", "FamilyName", "Weight"):
        if key in info:
            fontinfo.append("/%s %s readonly def" % (key, ps_string(info[key])))
    fontinfo.append("/ItalicAngle %s def" % info.get("ItalicAngle", 0))
    fontinfo.append("/isFixedPitch %s def" % ("true" if info.get("isFixedPitch") else "false"))
    if info.get("Encoding", "standard") == "standard":
        encoding = "/Encoding StandardEncoding def"
    else:
        lines = ["/Encoding 256 array", "0 1 255 {1 index exch /.notdef put} for"]
        for i, n in enumerate(g for g in names if g != ".notdef"):
            lines.append("dup %d /%s put" % (33 + i % 200, n))
        lines.append("readonly def")
        encoding = "\n".join(lines)
    clear = "\n".join([
        "%!PS-AdobeFont-1.0: Test-Regular 001.000",
        "12 dict begin",
        "/FontInfo 10 dict dup begin",
        *fontinfo,
        "end readonly def",
        "/FontName /Test-Regular def",
        encoding,
        "/PaintType 0 def",
        "/FontType 1 def",
        "/FontMatrix [0.001 0 0 0.001 0 0] readonly def",
        "/FontBBox {50 0 500 700} readonly def",
        "currentdict end",
        "currentfile eexec",
        ""]).encode("latin-1")
    private = io.BytesIO()
    private.write(b"dup /Private 8 dict dup begin\n"
                  b"/RD{string currentfile exch readstring pop}executeonly def\n"
                  b"/ND{noaccess def}executeonly def\n"
                  b"/NP{noaccess put}executeonly def\n"
                  b"/MinFeature{16 16}def\n/password 5839 def\n/BlueValues [] def\n"
                  b"/Subrs 0 array\n")
    private.write(("2 index /CharStrings %d dict dup begin\n" % len(names)).encode())
    for i, n in enumerate(names):
        y = 20 + (i * 37) % 600
        program = [50, ADVANCE, "hsbw", 0, 700, "rlineto", 450, 0, "rlineto", 0, -700,
                   "rlineto", "closepath", 100, y, "rmoveto", 200, 0, "rlineto", "closepath",
                   "endchar"]
        cs = T1CharString(program=program)
        cs.compile()
        data, _ = eexec.encrypt(b"\0\0\0\0" + cs.bytecode, 4330)
        private.write(("/%s %d RD " % (n, len(data))).encode() + data + b" ND\n")
    private.write(b"end\nend\nreadonly put\nnoaccess put\n"
                  b"dup/FontName get exch definefont pop\nmark currentfile closefile\n")
    encrypted, _ = eexec.encrypt(b"\0\0\0\0" + private.getvalue(), 55665)
    trailer = ("0" * 64 + "\n") * 8 + "cleartomark\n"
    return clear, encrypted, trailer.encode()


def write_type1(path, desc):
    clear, encrypted, trailer = type1_program(desc)
    with open(path, "wb") as out:
        if path.lower().endswith(".pfb"):
            for kind, data in ((1, clear), (2, encrypted), (1, trailer)):
                out.write(struct.pack("<BBI", 0x80, kind, len(data)) + data)
            out.write(b"\x80\x03")
        else:
            hexed = encrypted.hex()
            out.write(clear + "".join(hexed[i:i + 64] + "\n"
                                      for i in range(0, len(hexed), 64)).encode() + trailer)


def build(desc):
    suffix = "." + desc["format"] if "format" in desc else desc.get("file", ".ttf").lower()[-4:]
    if suffix == ".otb":
        return bitmap_font(desc)
    return sfnt_font(desc, cff=suffix in (".otf", ".otc"))


def renamed(directory, desc):
    """A copy of the font DIR/<from> with the desc's names and weight: the
    other tables are taken as they lie, so that large fonts are made once."""
    font = TTFont(directory + "/" + desc["from"], lazy=True)
    if "names" in desc:
        font["name"] = name_table(desc)
    if "weight" in desc:
        font["OS/2"].usWeightClass = desc["weight"]
    return font


def write(directory, desc):
    path = directory + "/" + desc["file"]
    suffix = desc["file"].lower()[-4:]

    def face(s):
        return renamed(directory, s) if "from" in s else build(dict(s, file=desc["file"]))

    if suffix in (".pfa", ".pfb"):
        write_type1(path, desc)
    elif suffix in (".ttc", ".otc"):
        collection = TTCollection()
        collection.fonts = [face(f) for f in desc["faces"]]
        collection.save(path, shareTables=True)
    else:
        face(desc).save(path)


def main():
    logging.disable(logging.WARNING)  # fontTools' notes on the odd fonts asked for
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    for arg in sys.argv[2:]:
        write(sys.argv[1], json.loads(arg))


if __name__ == "__main__":
    main()
