#!/usr/bin/python3
"""Builds src/server/iconfont.woff, the icon font of the listing pages.

A WOFF 1.0 font with TrueType outlines, family "entypo", style Regular, 512 units per em.
It draws three icons, each one em wide, at the code points that the stylesheet's :before
rules use:

  U+E600  a document page with a folded corner and three text lines (files)
  U+E601  a folder with a tab (folders)
  U+E602  a curved arrow pointing left (the link to the parent folder)

Besides them it holds .notdef, .null (U+0000), a space half an em wide (U+0020) and a
replacement box (U+FFFD). Tables are stored uncompressed. The output is byte for byte the
same on every run (fixed time stamps), so the committed file changes only when the drawing
does.

Usage: /usr/bin/python3 tools/gen_iconfont.py [--output src/server/iconfont.woff]
Needs Debian's python3-fonttools.
"""

import argparse
from pathlib import Path

from fontTools.fontBuilder import FontBuilder
from fontTools.ttLib import sfnt
from fontTools.pens.areaPen import AreaPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import newTable
from fontTools.ttLib.tables._g_a_s_p import GASP_GRIDFIT, GASP_SYMMETRIC_SMOOTHING
from fontTools.ttLib.tables._g_a_s_p import GASP_DOGRAY, GASP_SYMMETRIC_GRIDFIT

UNITS_PER_EM = 512
ASCENT = 448
DESCENT = -64
# 2020-08-14 00:00:00 UTC in seconds since 1904-01-01, the epoch of the 'head' table.
TIMESTAMP = 3680294400

# A contour is ("fill" or "cut", steps); a step is ("line", (x, y)) or ("quad", (cx, cy), (x, y)),
# and the first step's point starts the contour. Filled contours run clockwise (y up) and cuts
# counter-clockwise, as TrueType's non-zero fill expects; check_directions() enforces it.


def fill(*points):
    return ("fill", [("line", p) for p in points])


def cut(*points):
    return ("cut", [("line", p) for p in points])


def rectangle(x0, y0, x1, y1):
    return fill((x0, y0), (x0, y1), (x1, y1), (x1, y0))


def hole(x0, y0, x1, y1):
    return cut((x0, y0), (x1, y0), (x1, y1), (x0, y1))


def document_page():
    # A page with its top right corner folded over: the outer edge is cut diagonally and the
    # hole leaves the corner square filled, which reads as the folded flap.
    outline = fill((96, -32), (96, 448), (320, 448), (416, 352), (416, -32))
    inside = cut((128, 0), (384, 0), (384, 320), (288, 320), (288, 416), (128, 416))
    lines = [rectangle(176, y, 336, y + 32) for y in (72, 152, 232)]
    return [outline, inside] + lines


def folder():
    # A folder with its tab on the upper left, and a cut line that sets the front flap off.
    body = fill((32, 0), (32, 400), (208, 400), (240, 352), (480, 352), (480, 0))
    flap_edge = hole(64, 288, 448, 312)
    return [body, flap_edge]


def back_arrow():
    # An arrow head pointing left with a thick shaft that bends down to the lower right, the
    # usual "go back up" arrow.
    return [
        (
            "fill",
            [
                ("line", (32, 240)),
                ("line", (208, 416)),
                ("line", (208, 304)),
                ("quad", (464, 304), (464, 16)),
                ("line", (384, 16)),
                ("quad", (384, 176), (208, 176)),
                ("line", (208, 64)),
            ],
        )
    ]


def notdef_box():
    return [rectangle(64, 0, 448, 448), hole(96, 32, 416, 416)]


GLYPHS = {
    # name: (advance width, code points, contours)
    ".notdef": (UNITS_PER_EM, [], notdef_box()),
    ".null": (0, [0x0000], []),
    "space": (UNITS_PER_EM // 2, [0x0020], []),
    "uniE600": (UNITS_PER_EM, [0xE600], document_page()),
    "uniE601": (UNITS_PER_EM, [0xE601], folder()),
    "uniE602": (UNITS_PER_EM, [0xE602], back_arrow()),
    "uniFFFD": (UNITS_PER_EM, [0xFFFD], notdef_box()),
}


def draw(contours, pen):
    for _, steps in contours:
        pen.moveTo(steps[0][-1])
        for step in steps[1:]:
            if step[0] == "line":
                pen.lineTo(step[1])
            else:
                pen.qCurveTo(step[1], step[2])
        pen.closePath()


def check_directions(name, contours):
    for index, contour in enumerate(contours):
        pen = AreaPen()
        draw([contour], pen)
        # AreaPen's area is negative for clockwise contours in a y-up system.
        clockwise = pen.value < 0
        if clockwise != (contour[0] == "fill"):
            raise SystemExit(f"{name}: contour {index} runs the wrong way")


def build_font():
    builder = FontBuilder(UNITS_PER_EM, isTTF=True)
    order = list(GLYPHS)
    builder.setupGlyphOrder(order)
    builder.setupCharacterMap({cp: name for name, (_, cps, _) in GLYPHS.items() for cp in cps})

    glyphs, metrics = {}, {}
    for name, (advance, _, contours) in GLYPHS.items():
        check_directions(name, contours)
        pen = TTGlyphPen(None)
        draw(contours, pen)
        glyphs[name] = pen.glyph()
    builder.setupGlyf(glyphs)
    glyf = builder.font["glyf"]
    for name, (advance, _, _) in GLYPHS.items():
        metrics[name] = (advance, getattr(glyf[name], "xMin", 0))
    builder.setupHorizontalMetrics(metrics)

    builder.setupHorizontalHeader(ascent=ASCENT, descent=DESCENT, lineGap=0)
    builder.setupHead(unitsPerEm=UNITS_PER_EM, fontRevision=1.0, created=TIMESTAMP,
                      modified=TIMESTAMP)
    builder.setupNameTable(
        {
            "familyName": "entypo",
            "styleName": "Regular",
            "uniqueFontIdentifier": "entypo:Regular:1.0",
            "fullName": "entypo Regular",
            "version": "Version 1.0",
            "psName": "entypo-Regular",
        },
        mac=False,
    )
    builder.setupOS2(
        sTypoAscender=ASCENT,
        sTypoDescender=DESCENT,
        sTypoLineGap=0,
        usWinAscent=ASCENT,
        usWinDescent=-DESCENT,
        achVendID="NONE",
        fsType=0,
    )
    builder.setupPost(keepGlyphNames=False)
    builder.setupMaxp()

    gasp = newTable("gasp")
    gasp.version = 1
    gasp.gaspRange = {
        0xFFFF: GASP_GRIDFIT | GASP_DOGRAY | GASP_SYMMETRIC_GRIDFIT | GASP_SYMMETRIC_SMOOTHING
    }
    builder.font["gasp"] = gasp

    builder.font.recalcTimestamp = False
    builder.font.flavor = "woff"
    return builder.font


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    default_output = Path(__file__).resolve().parent.parent / "src" / "server" / "iconfont.woff"
    parser.add_argument("--output", default=str(default_output))
    args = parser.parse_args()

    font = build_font()
    # Tables are stored, not deflated: a kilobyte more, and the font can be checked (tables,
    # checksums, character map) without an inflater.
    sfnt.ZLIB_COMPRESSION_LEVEL = 0
    font.save(args.output)
    print(f"{args.output}: {Path(args.output).stat().st_size} bytes")


if __name__ == "__main__":
    main()
