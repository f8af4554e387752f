"""RsPage.get_text and RsPage.words_arrays on generated pages of known
geometry: the five schemas with their boxes and values, the rotated view,
clipping, the extended keys, inserted spaces, de-hyphenation and delimiters as
the binding passes them on. (Thresholds and word rules are the C++ tests'
business; arguments are test_arguments.py's; keys and types on every page are
test_text_corpus.py's; allocations test_module.py's.)"""

from __future__ import annotations

import ctypes
import math

import numpy as np
import pypdfium2.raw as raw
import pytest

import textloom

import pdfgen
from conftest import HELVETICA, SCHEMAS, lines_of, load, oracle_glyphs, page_of, spans_of

def line_texts(tree):
    return ["".join(c["c"] for s in line["spans"] for c in s["chars"]) for line in lines_of(tree)]


def map_point(rotation, width, height, x, y):
    return {0: (x, y), 90: (height - y, x), 180: (width - x, height - y),
            270: (y, width - x)}[rotation]


def map_box(rotation, width, height, box):
    (ax, ay), (bx, by) = (map_point(rotation, width, height, *box[:2]),
                          map_point(rotation, width, height, *box[2:4]))
    return tuple(box) if rotation == 0 else (min(ax, bx), min(ay, by), max(ax, bx), max(ay, by))


def map_result(option, result, rotation, width, height):
    """What `rotated=True` must give, computed from the unrotated result."""
    if option == "text":
        return result
    if option in ("blocks", "words"):
        return [map_box(rotation, width, height, row[:4]) + tuple(row[4:]) for row in result]
    if isinstance(result, list):
        return [map_result(option, item, rotation, width, height) for item in result]
    if not isinstance(result, dict):
        return result
    out = {}
    for key, value in result.items():
        if key == "bbox":
            value = map_box(rotation, width, height, value)
        elif key == "origin":
            value = map_point(rotation, width, height, *value)
        elif key == "dir":
            value = {0: value, 90: (-value[1], value[0]), 180: (-value[0], -value[1]),
                     270: (value[1], -value[0])}[rotation]
        else:
            value = map_result(option, value, rotation, width, height)
        out[key] = value
    if "width" in out and rotation in (90, 270):
        out["width"], out["height"] = out["height"], out["width"]
    return out


def assert_arrays_equal_words(arrays, words):
    boxes, ids, texts = arrays
    assert len(boxes) == 32 * len(words) and len(ids) == 12 * len(words)
    assert [tuple(b) for b in np.frombuffer(boxes, "<f8").reshape(-1, 4)] == [w[:4] for w in words]
    assert [tuple(i) for i in np.frombuffer(ids, "<i4").reshape(-1, 3)] == [w[5:] for w in words]
    assert texts == [w[4] for w in words]


def pdfium_fonts(pdf, index):
    """Per character index of the page: (base font name, ascent, descent,
    weight, font-info flags) as PDFium reports them through its raw API."""
    page = pdf[index]
    textpage = page.get_textpage()
    out = {}
    try:
        for i in range(raw.FPDFText_CountChars(textpage.raw)):
            obj = raw.FPDFText_GetTextObject(textpage.raw, i)
            if not obj:
                continue
            font = raw.FPDFTextObj_GetFont(obj)
            name = ctypes.create_string_buffer(256)
            raw.FPDFFont_GetBaseFontName(font, name, 256)
            ascent, descent, flags = ctypes.c_float(), ctypes.c_float(), ctypes.c_int()
            raw.FPDFFont_GetAscent(font, 1.0, ascent)
            raw.FPDFFont_GetDescent(font, 1.0, descent)
            raw.FPDFText_GetFontInfo(textpage.raw, i, None, 0, flags)
            out[i] = (name.value.decode(), ascent.value, descent.value,
                      raw.FPDFFont_GetWeight(font), flags.value)
    finally:
        textpage.close()
        page.close()
    return out


def approx(value):
    return pytest.approx(value, abs=1e-3)


# -- the schemas on a page of known geometry ---------------------------------------

def geometry_page():
    return page_of((72, 700, "Hello world", {"size": 10, "color": (1, 0, 0)}),  # baseline y 92
                   (72, 688, "AB", {"size": 10, "font": "U", "color": (0, 0, 1)}),  # next line
                   (300, 500, "Tail", {"size": 12, "color": (0, 0, 0)}))  # a block of its own


def union(boxes):
    boxes = list(boxes)
    return (min(b[0] for b in boxes), min(b[1] for b in boxes),
            max(b[2] for b in boxes), max(b[3] for b in boxes))


def test_schemas_on_known_geometry(native, open_pdf):
    doc = open_pdf(geometry_page())
    page = native.load_page(doc.addr, 0)
    by_index = pdfium_fonts(doc.pdf, 0)
    fonts = {f[0]: f[1:3] for f in by_index.values()}
    assert fonts["TestUnicode"] == approx((0.8, -0.2))  # the descriptor's ascent and descent
    runs = [("Hello world", 72, 92, 10, "Helvetica", 0xFF0000),
            ("AB", 72, 104, 10, "TestUnicode", 0x0000FF), ("Tail", 300, 292, 12, "Helvetica", 0)]
    lines = []  # (c, origin, bbox) per char: Helvetica by its AFM widths, else 600 units
    for text, x, y, size, font, _ in runs:
        ascent, descent = fonts[font]
        lines.append([])
        for c in text:
            w = size * (HELVETICA[c] if font == "Helvetica" else 600) / 1000
            lines[-1].append((c, (x, y), (x, y - size * ascent, x + w, y - size * descent)))
            x += w
    line_boxes = [union(c[2] for c in line) for line in lines]
    block_boxes = [union(line_boxes[:2]), line_boxes[2]]

    assert page.get_text() == page.get_text("TeXt") == "Hello world\nAB\nTail\n"
    blocks = page.get_text("blocks")
    assert [b[4:] for b in blocks] == [("Hello world\nAB\n", 0, 0), ("Tail\n", 1, 0)]
    for row, box in zip(blocks, block_boxes):
        assert len(row) == 7 and all(type(v) is float for v in row[:4]) and row[:4] == approx(box)
    words = page.get_text("words")
    assert [w[4:] for w in words] == [("Hello", 0, 0, 0), ("world", 0, 0, 1), ("AB", 0, 1, 0),
                                      ("Tail", 1, 0, 0)]
    for row, chars in zip(words, [lines[0][:5], lines[0][6:], lines[1], lines[2]]):
        assert all(type(v) is float for v in row[:4]) and all(type(v) is int for v in row[5:])
        assert row[:4] == approx(union(c[2] for c in chars))

    tree = page.get_text("rawdict", extended=True)
    assert (tree["width"], tree["height"]) == (612.0, 792.0)
    assert [b["bbox"] for b in tree["blocks"]] == [tuple(b[:4]) for b in blocks]
    assert [len(b["lines"]) for b in tree["blocks"]] == [2, 1]
    for line, chars, box, (_, x, y, size, font, color) in zip(lines_of(tree), lines, line_boxes,
                                                               runs):
        assert (line["wmode"], line["dir"], line["bbox"]) == (0, (1.0, 0.0), approx(box))
        [span] = line["spans"]
        assert [(c["c"], c["synthetic"]) for c in span["chars"]] == [(c[0], False) for c in chars]
        for char, (_, origin, bbox) in zip(span["chars"], chars):
            assert char["origin"] == approx(origin) and char["bbox"] == approx(bbox)
        # ascent and descent exactly as PDFium gives them
        assert (span["size"], span["font"], span["color"], span["ascender"], span["descender"],
                span["origin"]) == (size, font, color, *fonts[font], (x, y))
        assert (span["bidi"], span["char_flags"], span["bbox"]) == (0, 16, approx(box))
        name, _, _, weight, flags = by_index[span["chars"][0]["idx"]]
        assert (span["font"], span["weight"], span["pdf_flags"]) == (name, weight, flags)

    as_dict = page.get_text("dict", extended=True)
    for span in spans_of(tree):  # "dict" is "rawdict" with each span's chars as its text
        span["text"] = "".join(c["c"] for c in span.pop("chars"))
        span["origin"], span["bbox"] = span.pop("origin"), span.pop("bbox")
    assert as_dict == tree


# -- clip -------------------------------------------------------------------------

def clip_page(rotate=0):
    """Glyphs 5 units wide (size 10), so that clip (0, 0, 100, 100) cuts
    "abcd" (x 90 to 110) and keeps "top" (box top at y 100), not "low" (101).
    (Which boxes a clip keeps is the C++ tests' business.)"""
    writer = pdfgen.PdfWriter(unicode_width=500)
    p = writer.page(rotate=rotate)
    for x, y, text in ((90, 742, "abcd"), (10, 684, "top"), (10, 683, "low")):
        p.text(x, y, text, font="U", size=10)
    p.text(300, 400, "far")
    return writer


@pytest.mark.parametrize("rotate", [0, 90])  # the clip stays in page space
@pytest.mark.parametrize("clip, kept", [
    (None, ["abcd", "top", "low", "far"]),
    ((0, 0, 100, 100), ["abc", "top"]),
    ((math.nan,) * 4, ["abcd", "top", "low", "far"]),  # NaN comparisons drop nothing
])
def test_clip_limits_every_schema(native, open_pdf, clip, kept, rotate):
    page = load(native, open_pdf, clip_page(rotate))
    words = [w[4] for w in page.get_text("words", clip=clip)]
    assert sorted(words) == sorted(kept) == sorted(page.get_text("text", clip=clip).split())
    assert sorted(t for b in page.get_text("blocks", clip=clip) for t in b[4].split()) == \
        sorted(kept) == sorted(line_texts(page.get_text("rawdict", clip=clip)))
    assert sorted(s["text"] for s in spans_of(page.get_text("dict", clip=clip))) == sorted(kept)
    assert page.words_arrays(clip=clip)[2] == words
    for option in SCHEMAS:
        assert page.get_text(option, clip=clip, rotated=True) == \
            map_result(option, page.get_text(option, clip=clip), rotate, 612.0, 792.0)


# -- extended keys, inserted spaces, span metrics --------------------------------

def test_inserted_spaces(native, open_pdf):
    """An inserted space is a "synthetic" char without a PDFium index, and the
    span holding one has char_flags 0; a space of the content stream is a
    real char. (Where spaces go is the C++ tests' business.)"""
    doc = open_pdf(page_of((72, 700, "A"), (72 + 6.67 + 3, 700, "B"), (72, 688, "C D")))
    page = native.load_page(doc.addr, 0)
    assert page.get_text() == "A B\nC D\n"
    tree = page.get_text("rawdict", extended=True)
    rows = [[(s["char_flags"], [(c["c"], c["synthetic"], c["idx"]) for c in s["chars"]])
             for s in line["spans"]] for line in lines_of(tree)]
    a, b, c, space, d = (g[0] for g in oracle_glyphs(doc.pdf, 0)["glyphs"])
    assert rows == [[(0, [("A", False, a), (" ", True, -1), ("B", False, b)])],
                    [(16, [("C", False, c), (" ", False, space), ("D", False, d)])]]
    assert [s["char_flags"] for s in spans_of(page.get_text("dict"))] == [0, 16]


def test_span_metrics_are_pdfium_values_boxes_use_repaired_ones(native, open_pdf):
    writer = pdfgen.PdfWriter(unicode_metrics=(700, -200))  # spans 0.9 em: scaled up to 1
    p = writer.page()
    p.text(72, 700, "\u05e9\u05dc\u05d5\u05dd abc", font="U", size=10)
    p.text(72, 600, "abc", size=10)
    hebrew, latin = spans_of(load(native, open_pdf, writer).get_text("rawdict"))
    assert (hebrew["ascender"], hebrew["descender"]) == approx((0.7, -0.2))
    assert (hebrew["bidi"], latin["bidi"]) == (1, 0)
    for char in hebrew["chars"]:
        assert char["bbox"][1::2] == approx((92 - 10 * 0.7 / 0.9, 92 + 10 * 0.2 / 0.9))


# -- de-hyphenation and delimiters ----------------------------------------------------

def dehyphen_page():
    # Blocks: "An exam-" / "ple test-", and "pre-" (a block's last line keeps its hyphen).
    return page_of((72, 700, "An exam-"), (72, 688, "ple test-"), (72, 350, "pre-"))


def test_dehyphenate(native, open_pdf):
    """"text", "blocks" and "words" join; the dict schemas and words_arrays
    never do. (Which words join is the C++ tests' business.)"""
    page = load(native, open_pdf, dehyphen_page())
    assert (page.get_text(), page.get_text(dehyphenate=True)) == \
        ("An exam-\nple test-\npre-\n", "An example test-\npre-\n")
    plain, joined = page.get_text("blocks"), page.get_text("blocks", dehyphenate=True)
    assert [b[4] for b in joined] == ["An example test-\n", "pre-\n"]
    assert [b[:4] + b[5:] for b in plain] == [b[:4] + b[5:] for b in joined]
    for option in ("dict", "rawdict"):
        assert page.get_text(option, dehyphenate=True) == page.get_text(option)
    plain, joined = page.get_text("words"), page.get_text("words", dehyphenate=True)
    assert [w[4:] for w in joined] == [("An", 0, 0, 0), ("example", 0, 0, 1), ("test-", 0, 1, 1),
                                       ("pre-", 1, 0, 0)]
    assert_arrays_equal_words(page.words_arrays(), plain)


def test_delimiters_split_words_only(native, open_pdf):
    """Handed on as whole characters: U+00E9 shares its UTF-8 lead byte with
    U+00E3. (Word rules are the C++ tests' business.)"""
    page = load(native, open_pdf, page_of((72, 700, "a,b c\u00b7d \u00e3b,")))
    unsplit = ["a,b", "c\u00b7d", "\u00e3b,"]
    for delimiters, expected in {None: unsplit, "": unsplit,
                                 "\u00b7\u00e9,": ["a", "b", "c", "d", "\u00e3b"]}.items():
        assert [w[4] for w in page.get_text("words", delimiters=delimiters)] == expected
    for option in ("text", "blocks", "dict", "rawdict"):
        assert page.get_text(option, delimiters=",") == page.get_text(option)


@pytest.mark.parametrize("clip", [None, (0, 0, 10, 10)])  # no glyph, or every glyph clipped away
def test_page_without_glyphs(native, open_pdf, clip):
    page = load(native, open_pdf, page_of(*[(72, 100, "far away")] * bool(clip), width=300, height=500,
                                          rotate=90))
    assert (page.get_text(clip=clip), page.get_text("blocks", clip=clip)) == ("", [])
    assert page.get_text("words", clip=clip, rotated=True) == []
    for option in ("dict", "rawdict"):
        assert page.get_text(option, clip=clip) == {"width": 300.0, "height": 500.0, "blocks": []}
        assert page.get_text(option, clip=clip, rotated=True) == \
            {"width": 500.0, "height": 300.0, "blocks": []}
    arrays = page.words_arrays(clip=clip, rotated=True)
    assert type(arrays) is tuple and [type(a) for a in arrays] == [bytes, bytes, list]
    assert arrays == (b"", b"", [])


@pytest.mark.parametrize("size, tracking", [(6, 0.5), (10, 2), (30, 4), (30, 6)])
def test_letter_spaced_words_read_as_drawn(size, tracking):
    writer = pdfgen.PdfWriter()
    page = writer.page(width=900, height=200)
    page.text(20, 150, "INFORMATION of the Paclitaxel", size=size, char_spacing=tracking)
    page.text(20, 50, "plain words and a b c d", size=size)  # untracked: spaces as drawn
    with textloom.open(writer.tobytes()) as doc:
        lines = doc[0].get_text(sort=None).splitlines()
    assert lines == ["INFORMATION of the Paclitaxel", "plain words and a b c d"]


@pytest.mark.parametrize("matrix", [b"-1 0 0 -1 40 100", b"1 0 0 1 40 100"])
def test_text_drawn_upright_through_a_mirrored_matrix_reads_as_words(matrix):
    from conftest import raw_pdf, stream

    size = b"-20" if matrix.startswith(b"-") else b"20"  # a negative size turns the matrix back
    content = b"BT /F1 " + size + b" Tf " + matrix + b" Tm (Paclitaxel study) Tj ET"
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 200] /Contents 5 0 R "
               b"/Resources << /Font << /F1 4 0 R >> >> >>",
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>", stream(b"", content)]
    with textloom.open(raw_pdf(objects)) as doc:
        words = doc[0].get_text("words")
        size_read = doc[0].get_text("dict")["blocks"][0]["lines"][0]["spans"][0]["size"]
    assert [row[4] for row in words] == ["Paclitaxel", "study"]
    assert 40 <= words[0][0] < words[0][2] < words[1][0]  # boxes run rightwards from the origin
    assert size_read == float(size)  # the size as drawn, sign and all
