"""RsPage.get_text and RsPage.words_arrays on generated pages of known
geometry: the five schemas with their keys, types and boxes, the rotated view,
clipping, sort parsing and its error texts, the argument-error matrix, the
extended keys, inserted spaces, de-hyphenation and delimiters, negative font
sizes, and allocation stability over many calls, failing ones included."""

from __future__ import annotations

import ctypes
import inspect
import math

import numpy as np
import pypdfium2.raw as raw
import pytest

import pdfgen
from conftest import assert_no_growth, oracle_glyphs

SCHEMAS = ["text", "blocks", "words", "dict", "rawdict"]
SORTS = [None, "simple", "xycut"]

# Advance widths of the standard Helvetica (AFM), in thousandths of an em.
HELVETICA = {" ": 278, "-": 333, "A": 667, "B": 667, "H": 722, "T": 611, "a": 556, "d": 556,
             "e": 556, "i": 222, "l": 222, "o": 556, "r": 333, "w": 722}


def load(native, open_pdf, writer, index=0):
    return native.load_page(open_pdf(writer).addr, index)


def one_page(**page_args):
    writer = pdfgen.PdfWriter()
    return writer, writer.page(**page_args)


# -- walking and mapping results -------------------------------------------------

def lines_of(tree):
    return [line for block in tree["blocks"] for line in block["lines"]]


def spans_of(tree):
    return [span for line in lines_of(tree) for span in line["spans"]]


def chars_of(tree):
    return [char for span in spans_of(tree) for char in span["chars"]]


def line_texts(tree):
    return ["".join(c["c"] for s in line["spans"] for c in s["chars"]) for line in lines_of(tree)]


def map_point(rotation, width, height, x, y):
    return {0: (x, y), 90: (height - y, x), 180: (width - x, height - y),
            270: (y, width - x)}[rotation]


def map_box(rotation, width, height, box):
    if rotation == 0:
        return tuple(box)
    (ax, ay), (bx, by) = (map_point(rotation, width, height, *box[:2]),
                          map_point(rotation, width, height, *box[2:4]))
    return (min(ax, bx), min(ay, by), max(ax, bx), max(ay, by))


def map_vector(rotation, dx, dy):
    return {0: (dx, dy), 90: (-dy, dx), 180: (-dx, -dy), 270: (dy, -dx)}[rotation]


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
            value = map_vector(rotation, *value)
        else:
            value = map_result(option, value, rotation, width, height)
        out[key] = value
    if "width" in out and rotation in (90, 270):
        out["width"], out["height"] = out["height"], out["width"]
    return out


def unpack_arrays(arrays):
    boxes, ids, texts = arrays
    return (np.frombuffer(boxes, "<f8").reshape(-1, 4), np.frombuffer(ids, "<i4").reshape(-1, 3),
            texts)


def assert_arrays_equal_words(arrays, words):
    boxes, ids, texts = unpack_arrays(arrays)
    assert len(arrays[0]) == 32 * len(words) and len(arrays[1]) == 12 * len(words)
    assert [tuple(map(float, b)) for b in boxes] == [w[:4] for w in words]
    assert [tuple(map(int, i)) for i in ids] == [w[5:] for w in words]
    assert texts == [w[4] for w in words]


# -- keys and types of the dict schemas -------------------------------------------

def box_type(value):
    return type(value) is tuple and len(value) == 4 and all(type(v) is float for v in value)


def pair_type(value):
    return type(value) is tuple and len(value) == 2 and all(type(v) is float for v in value)


TYPES = {"width": float, "height": float, "blocks": list, "type": int, "number": int,
         "flags": int, "lines": list, "spans": list, "wmode": int, "size": float, "bidi": int,
         "char_flags": int, "font": str, "color": int, "alpha": int, "ascender": float,
         "descender": float, "weight": int, "pdf_flags": int, "text": str, "chars": list,
         "c": str, "synthetic": bool, "idx": int}
BLOCK_KEYS = ["type", "number", "flags", "bbox", "lines"]
LINE_KEYS = ["spans", "wmode", "dir", "bbox"]


def span_keys(raw_chars, extended):
    return (["size", "flags", "bidi", "char_flags", "font", "color", "alpha", "ascender",
             "descender"] + (["weight", "pdf_flags"] if extended else [])
            + ["chars" if raw_chars else "text", "origin", "bbox"])


def char_keys(extended):
    return ["origin", "bbox", "c", "synthetic"] + (["idx"] if extended else [])


def check_tree(tree, raw_chars, extended):
    """Key order and value types at every level; the keys below the page level
    are shared string objects, not made per dictionary."""
    seen_keys = {}

    def check(d, keys):
        assert list(d) == keys
        for key, value in d.items():
            assert seen_keys.setdefault(key, key) is key
            if key == "bbox":
                assert box_type(value), value
            elif key in ("origin", "dir"):
                assert pair_type(value), value
            else:
                assert type(value) is TYPES[key], (key, value)

    assert list(tree) == ["width", "height", "blocks"]
    assert type(tree["width"]) is float and type(tree["height"]) is float
    for number, block in enumerate(tree["blocks"]):
        check(block, BLOCK_KEYS)
        assert (block["type"], block["number"], block["flags"]) == (0, number, 0)
        for line in block["lines"]:
            check(line, LINE_KEYS)
            for span in line["spans"]:
                check(span, span_keys(raw_chars, extended))
                assert span["alpha"] == 255 and span["char_flags"] in (0, 16)
                assert span["bidi"] in (0, 1)
                for char in span.get("chars", []):
                    check(char, char_keys(extended))
                    assert len(char["c"]) == 1


def without_extended(tree):
    if isinstance(tree, list):
        return [without_extended(item) for item in tree]
    if isinstance(tree, dict):
        return {k: without_extended(v) for k, v in tree.items()
                if k not in ("weight", "pdf_flags", "idx")}
    return tree


def with_text_for_chars(tree):
    """A rawdict tree with each span's "chars" turned into the "text" of "dict"."""
    if isinstance(tree, list):
        return [with_text_for_chars(item) for item in tree]
    if not isinstance(tree, dict):
        return tree
    return {("text" if k == "chars" else k):
            ("".join(c["c"] for c in v) if k == "chars" else with_text_for_chars(v))
            for k, v in tree.items()}


# -- PDFium's own view of the fonts -----------------------------------------------

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


# -- the schemas on a page of known geometry ---------------------------------------

def geometry_page():
    writer, p = one_page()
    p.text(72, 700, "Hello world", size=10, color=(1, 0, 0))  # baseline y 92 in page space
    p.text(72, 688, "AB", size=10, font="U", color=(0, 0, 1))  # 1.2 em lower: next line
    p.text(300, 500, "Tail", size=12, color=(0, 0, 0))        # far below: a block of its own
    return writer


def expected_chars(text, x, y, size, ascent, descent, widths=None):
    """(c, origin, bbox) of a run: Helvetica by its AFM widths, else 600 units."""
    out = []
    for c in text:
        w = size * (widths[c] if widths else 600) / 1000
        out.append((c, (x, y), (x, y - size * ascent, x + w, y - size * descent)))
        x += w
    return out


def union(boxes):
    boxes = list(boxes)
    return (min(b[0] for b in boxes), min(b[1] for b in boxes),
            max(b[2] for b in boxes), max(b[3] for b in boxes))


def approx(value):
    return pytest.approx(value, abs=1e-3)


def test_schemas_on_known_geometry(native, open_pdf):
    writer = geometry_page()
    doc = open_pdf(writer)
    page = native.load_page(doc.addr, 0)
    fonts = pdfium_fonts(doc.pdf, 0)
    _, helv_a, helv_d, _, _ = next(f for f in fonts.values() if f[0] == "Helvetica")
    _, u_a, u_d, _, _ = next(f for f in fonts.values() if f[0] == "TestUnicode")
    assert (u_a, u_d) == approx((0.8, -0.2))  # the descriptor's ascent and descent
    lines = [expected_chars("Hello world", 72, 92, 10, helv_a, helv_d, HELVETICA),
             expected_chars("AB", 72, 104, 10, 0.8, -0.2),
             expected_chars("Tail", 300, 292, 12, helv_a, helv_d, HELVETICA)]
    line_boxes = [union(c[2] for c in line) for line in lines]
    block_boxes = [union(line_boxes[:2]), line_boxes[2]]

    assert page.get_text() == page.get_text("text") == "Hello world\nAB\nTail\n"

    blocks = page.get_text("blocks")
    assert [b[4:] for b in blocks] == [("Hello world\nAB\n", 0, 0), ("Tail\n", 1, 0)]
    for row, box in zip(blocks, block_boxes):
        assert len(row) == 7 and all(type(v) is float for v in row[:4])
        assert row[:4] == approx(box)

    words = page.get_text("words")
    assert [w[4:] for w in words] == [("Hello", 0, 0, 0), ("world", 0, 0, 1), ("AB", 0, 1, 0),
                                      ("Tail", 1, 0, 0)]
    word_chars = [lines[0][:5], lines[0][6:], lines[1], lines[2]]
    for row, chars in zip(words, word_chars):
        assert len(row) == 8 and all(type(v) is float for v in row[:4])
        assert all(type(v) is int for v in row[5:])
        assert row[:4] == approx(union(c[2] for c in chars))

    tree = page.get_text("rawdict")
    check_tree(tree, raw_chars=True, extended=False)
    assert (tree["width"], tree["height"]) == (612.0, 792.0)
    assert [b["bbox"] for b in tree["blocks"]] == [tuple(b[:4]) for b in blocks]
    assert [len(b["lines"]) for b in tree["blocks"]] == [2, 1]
    for line, chars, box in zip(lines_of(tree), lines, line_boxes):
        assert (line["wmode"], line["dir"], line["bbox"]) == (0, (1.0, 0.0), approx(box))
        assert len(line["spans"]) == 1
        got = line["spans"][0]["chars"]
        assert [c["c"] for c in got] == [c[0] for c in chars]
        assert not any(c["synthetic"] for c in got)
        for char, (_, origin, bbox) in zip(got, chars):
            assert char["origin"] == approx(origin) and char["bbox"] == approx(bbox)
    expected_spans = [(10.0, "Helvetica", 0xFF0000, helv_a, helv_d, (72.0, 92.0)),
                      (10.0, "TestUnicode", 0x0000FF, u_a, u_d, (72.0, 104.0)),
                      (12.0, "Helvetica", 0, helv_a, helv_d, (300.0, 292.0))]
    for span, expected, box in zip(spans_of(tree), expected_spans, line_boxes):
        got = (span["size"], span["font"], span["color"], span["ascender"], span["descender"],
               span["origin"])
        assert got == expected  # ascent and descent exactly as PDFium gives them
        assert (span["bidi"], span["char_flags"]) == (0, 16)
        assert span["bbox"] == approx(box)

    as_dict = page.get_text("dict")
    check_tree(as_dict, raw_chars=False, extended=False)
    assert [s["text"] for s in spans_of(as_dict)] == ["Hello world", "AB", "Tail"]
    assert as_dict == with_text_for_chars(tree)


def test_docstrings_and_signatures(native, open_pdf):
    page = load(native, open_pdf, geometry_page())
    assert native.RsPage.get_text.__doc__ == (
        "Same contract as textloom.Page.get_text for option in text|words|blocks|dict|rawdict.")
    assert native.RsPage.words_arrays.__doc__ == (
        "Bulk words for numpy: (coords f64[N*4] bytes, ids i32[N*3] bytes (block,line,word), "
        "texts list)")
    assert str(inspect.signature(page.get_text)) == (
        "(option='text', sort=None, clip=None, rotated=False, dehyphenate=False, "
        "delimiters=None, extended=False)")
    assert str(inspect.signature(page.words_arrays)) == "(sort=None, clip=None, rotated=False)"


def test_option_case_is_ignored(native, open_pdf):
    page = load(native, open_pdf, geometry_page())
    for option in SCHEMAS:
        expected = page.get_text(option)
        mixed = "".join(c.upper() if i % 2 else c for i, c in enumerate(option))
        for spelled in (option.upper(), option.capitalize(), mixed):
            assert page.get_text(spelled) == expected
        assert page.get_text(option=option) == expected


@pytest.mark.parametrize("option, quoted", [
    ("xyz", '"xyz"'), ("XYZ", '"xyz"'), ("Words2", '"words2"'), ("", '""'), (" text", '" text"'),
    ("TÉXT", '"tÉxt"'),  # only ASCII letters are lowered
    ('DI"C\\T', '"di\\"c\\\\t"'), ("TEXT\n", '"text\\n"'), ("\u200bDICT", '"\\u{200b}dict"'),
])
def test_unsupported_option(native, open_pdf, option, quoted):
    page = load(native, open_pdf, geometry_page())
    with pytest.raises(ValueError) as info:
        page.get_text(option)
    assert str(info.value) == "unsupported option " + quoted


# -- rotation -------------------------------------------------------------------

def rotation_page(rotate):
    """A cropped 360 x 280 view holding horizontal text with an inserted space
    and a line drawn upwards."""
    writer, p = one_page(width=400, height=300, rotate=rotate, crop=(20, 10, 380, 290))
    p.text(70, 250, "Ab cd", size=10)       # "A" at (50, 40) in page space
    p.text(70, 230, "x", size=10)
    p.text(78, 230, "y", size=10)           # 0.3 em after x: an inserted space
    p.text(200, 100, "up", size=10, matrix=(0, 1, -1, 0))
    return writer


HAND_MAPPED = {  # origin of "A" and direction of its line, mapped by hand
    0: ((50.0, 40.0), (1.0, 0.0)), 90: ((240.0, 50.0), (0.0, 1.0)),
    180: ((310.0, 240.0), (-1.0, 0.0)), 270: ((40.0, 310.0), (0.0, -1.0)),
}


def placed_chars(tree):
    """The page's drawn characters with their geometry, whatever their order
    (PDFium orders the text of a rotated page differently)."""
    return sorted((c["c"], c["origin"], c["bbox"]) for c in chars_of(tree) if not c["synthetic"])


@pytest.mark.parametrize("rotation", [0, 90, 180, 270])
def test_rotated_view(native, open_pdf, rotation):
    page = load(native, open_pdf, rotation_page(rotation))
    upright = load(native, open_pdf, rotation_page(0))
    assert (page.width, page.height, page.rotation) == (360.0, 280.0, rotation)
    for option in SCHEMAS:
        plain = page.get_text(option)
        assert plain == page.get_text(option, rotated=False)
        turned = page.get_text(option, rotated=True)
        assert turned == map_result(option, plain, rotation, 360.0, 280.0), option
    # not rotated: unrotated page space, width and height as they are
    plain = page.get_text("rawdict")
    assert placed_chars(plain) == placed_chars(upright.get_text("rawdict"))
    assert (plain["width"], plain["height"]) == (360.0, 280.0)
    tree = page.get_text("rawdict", rotated=True)
    swapped = rotation in (90, 270)
    assert (tree["width"], tree["height"]) == ((280.0, 360.0) if swapped else (360.0, 280.0))
    line = next(line for line in lines_of(tree) if line["spans"][0]["chars"][0]["c"] == "A")
    assert (line["spans"][0]["chars"][0]["origin"], line["dir"]) == HAND_MAPPED[rotation]
    for box in [b["bbox"] for b in tree["blocks"]] + [c["bbox"] for c in chars_of(tree)]:
        assert box[0] <= box[2] and box[1] <= box[3]
    words = page.get_text("words", rotated=True)
    assert_arrays_equal_words(page.words_arrays(rotated=True), words)
    assert_arrays_equal_words(page.words_arrays(), page.get_text("words"))


# -- clip -------------------------------------------------------------------------

def clip_page(rotate=0):
    """Glyphs 5 units wide (size 10) placed so that clip (0, 0, 100, 100)
    touches some of them exactly."""
    writer = pdfgen.PdfWriter(unicode_width=500)
    p = writer.page(rotate=rotate)
    p.text(90, 742, "abcd", font="U", size=10)  # x 90-95, 95-100, 100-105 (touches), 105-110
    p.text(10, 684, "top", font="U", size=10)   # box top at y 100: touches
    p.text(10, 683, "low", font="U", size=10)   # box top at y 101: outside
    p.text(300, 400, "far")
    return writer


@pytest.mark.parametrize("clip, kept", [
    (None, ["abcd", "top", "low", "far"]),
    ((0, 0, 100, 100), ["abc", "top"]),
    ((0.0, 0.0, 99.999, 99.999), ["ab"]),
    ((np.float64(0), 0, 100, 100), ["abc", "top"]),
    ((100, 0, 0, 100), []),  # used as given: an inverted rectangle keeps nothing
    ((math.nan,) * 4, ["abcd", "top", "low", "far"]),  # NaN comparisons drop nothing
])
def test_clip_limits_every_schema(native, open_pdf, clip, kept):
    page = load(native, open_pdf, clip_page())
    words = [w[4] for w in page.get_text("words", clip=clip)]
    assert sorted(words) == sorted(kept)
    assert sorted(page.get_text("text", clip=clip).split()) == sorted(kept)
    assert sorted(t for b in page.get_text("blocks", clip=clip) for t in b[4].split()) == \
        sorted(kept)
    assert sorted(line_texts(page.get_text("rawdict", clip=clip))) == sorted(kept)
    texts = ["".join(s["text"] for s in line["spans"])
             for line in lines_of(page.get_text("dict", clip=clip))]
    assert sorted(texts) == sorted(kept)
    assert page.words_arrays(clip=clip)[2] == words


def test_clip_stays_in_page_space_when_rotated(native, open_pdf):
    page = load(native, open_pdf, clip_page(rotate=90))
    clip = (0, 0, 100, 100)
    for option in SCHEMAS:
        plain = page.get_text(option, clip=clip)
        assert page.get_text(option, clip=clip, rotated=True) == \
            map_result(option, plain, 90, 612.0, 792.0)
    assert [w[4] for w in page.get_text("words", clip=clip, rotated=True)] == ["abc", "top"]


# -- sort -------------------------------------------------------------------------

class Truth:
    def __init__(self, value):
        self.value = value

    def __bool__(self):
        return self.value


class StrSub(str):
    pass


def order_page():
    """Three blocks drawn in an order that none of the sort modes keeps."""
    writer, p = one_page()
    p.text(300, 650, "Right")
    p.text(72, 400, "LeftBottom")
    p.text(72, 700, "LeftTop")
    return writer


ORDERS = {"none": ["Right", "LeftBottom", "LeftTop"],
          "simple": ["LeftTop", "Right", "LeftBottom"],
          "xycut": ["LeftTop", "LeftBottom", "Right"]}


@pytest.mark.parametrize("sort, mode", [
    (None, "none"), ("none", "none"), ("", "none"), (False, "none"), (0, "none"), ([], "none"),
    (Truth(False), "none"), ("simple", "simple"), (True, "simple"), (1, "simple"),
    (np.bool_(True), "simple"), (Truth(True), "simple"), ([0], "simple"),
    (StrSub("simple"), "simple"), ("xycut", "xycut"), (StrSub("xycut"), "xycut"),
    (b"xycut", "simple"), (b"", "none"),  # not a str: its truth value decides
])
def test_sort_values(native, open_pdf, sort, mode):
    page = load(native, open_pdf, order_page())
    blocks = page.get_text("blocks", sort=sort)
    assert [b[4].strip() for b in blocks] == ORDERS[mode]
    assert [b[5] for b in blocks] == [0, 1, 2]
    words = page.get_text("words", sort=sort)
    assert [w[4] for w in words] == ORDERS[mode]
    assert [w[5] for w in words] == [0, 1, 2]
    assert_arrays_equal_words(page.words_arrays(sort=sort), words)
    assert_arrays_equal_words(page.words_arrays(sort), words)
    tree = page.get_text("dict", sort=sort)
    assert [b["number"] for b in tree["blocks"]] == [0, 1, 2]
    assert "".join(s["text"] for s in spans_of(tree)) == "".join(ORDERS[mode])


@pytest.mark.parametrize("sort, quoted", [
    ("Simple", '"Simple"'), ("NONE", '"NONE"'), ("xy cut", '"xy cut"'), (" none", '" none"'),
    ("columns", '"columns"'), ('a"b\\c', '"a\\"b\\\\c"'), ("\t\r\n\0", '"\\t\\r\\n\\0"'),
    ("\u200b", '"\\u{200b}"'), ("\u0085", '"\\u{85}"'), ("\u00a0", '"\\u{a0}"'),
    ("\u2028", '"\\u{2028}"'), ("\ud800", '"\\u{d800}"'), ("\x7f", '"\\u{7f}"'),
    ("\U000e0001", '"\\u{e0001}"'), ("é日x\U0001f600", '"é日x\U0001f600"'),
    (StrSub("Xycut"), '"Xycut"'),
])
@pytest.mark.parametrize("method", ["get_text", "words_arrays"])
def test_unknown_sort(native, open_pdf, sort, quoted, method):
    page = load(native, open_pdf, order_page())
    with pytest.raises(ValueError) as info:
        getattr(page, method)(sort=sort)
    assert str(info.value) == "unknown sort " + quoted


class Boom(Exception):
    pass


class Exploding:
    calls = 0

    def __bool__(self):
        Exploding.calls += 1
        raise Boom("no truth")


@pytest.mark.parametrize("call, exception, message", [
    # the truth test's own exception, unchanged
    (lambda p: p.get_text(sort=Exploding()), Boom, "no truth"),
    (lambda p: p.words_arrays(Exploding()), Boom, "no truth"),
    # the sort error wins over the option error
    (lambda p: p.get_text("xyz", sort="bad"), ValueError, 'unknown sort "bad"'),
    (lambda p: p.get_text("xyz", sort=Exploding()), Boom, "no truth"),
    # conversion errors come before the sort is parsed
    (lambda p: p.get_text(sort="bad", rotated=1), TypeError,
     "argument 'rotated': 'int' object cannot be converted to 'PyBool'"),
    (lambda p: p.get_text("words", Exploding(), [0, 0, 1, 1]), TypeError,
     "argument 'clip': 'list' object cannot be converted to 'PyTuple'"),
    (lambda p: p.get_text(sort="bad", delimiters=0), TypeError,
     "argument 'delimiters': 'int' object cannot be converted to 'PyString'"),
    (lambda p: p.get_text(sort="bad", extended=None), TypeError,
     "argument 'extended': 'NoneType' object cannot be converted to 'PyBool'"),
    (lambda p: p.words_arrays("bad", None, 1), TypeError,
     "argument 'rotated': 'int' object cannot be converted to 'PyBool'"),
    (lambda p: p.words_arrays(Exploding(), (1, 2, 3)), ValueError,
     "expected tuple of length 4, but got tuple of length 3"),
])
def test_error_precedence(native, open_pdf, call, exception, message):
    page = load(native, open_pdf, order_page())
    before = Exploding.calls
    with pytest.raises(exception) as info:
        call(page)
    assert type(info.value) is exception and str(info.value) == message
    if exception is TypeError or message.startswith("expected"):
        assert Exploding.calls == before  # the truth test never ran


# -- argument errors -----------------------------------------------------------------

G, W = "get_text", "words_arrays"
NOT_STR, NOT_BOOL, NOT_TUPLE = ("object cannot be converted to 'PyString'",
                                "object cannot be converted to 'PyBool'",
                                "object cannot be converted to 'PyTuple'")
ARGUMENT_ERRORS = [
    # (method, args, kwargs, exception, message; a message ending in "..." is a prefix)
    (G, ("text",) + (None,) * 7, {}, TypeError,
     "RsPage.get_text() takes from 0 to 7 positional arguments but 8 were given"),
    (W, (None,) * 4, {}, TypeError,
     "RsPage.words_arrays() takes from 0 to 3 positional arguments but 4 were given"),
    (G, (), {"flags": 1}, TypeError,
     "RsPage.get_text() got an unexpected keyword argument 'flags'"),
    (W, (), {"dehyphenate": False}, TypeError,
     "RsPage.words_arrays() got an unexpected keyword argument 'dehyphenate'"),
    (W, (), {"option": "words"}, TypeError,
     "RsPage.words_arrays() got an unexpected keyword argument 'option'"),
    (G, ("text",), {"option": "dict"}, TypeError,
     "RsPage.get_text() got multiple values for argument 'option'"),
    (G, ("text", None, None, False), {"rotated": True}, TypeError,
     "RsPage.get_text() got multiple values for argument 'rotated'"),
    (W, (None,), {"sort": "simple"}, TypeError,
     "RsPage.words_arrays() got multiple values for argument 'sort'"),
    (G, (None,), {}, TypeError, f"argument 'option': 'NoneType' {NOT_STR}"),
    (G, (b"text",), {}, TypeError, f"argument 'option': 'bytes' {NOT_STR}"),
    (G, (1,), {}, TypeError, f"argument 'option': 'int' {NOT_STR}"),
    (G, (), {"delimiters": b","}, TypeError, f"argument 'delimiters': 'bytes' {NOT_STR}"),
    (G, (), {"delimiters": [","]}, TypeError, f"argument 'delimiters': 'list' {NOT_STR}"),
    (G, (), {"clip": [0, 0, 100, 100]}, TypeError, f"argument 'clip': 'list' {NOT_TUPLE}"),
    (W, (None, [0, 0, 100, 100]), {}, TypeError, f"argument 'clip': 'list' {NOT_TUPLE}"),
    (G, (), {"clip": "abcd"}, TypeError, f"argument 'clip': 'str' {NOT_TUPLE}"),
    (G, (), {"clip": np.zeros(4)}, TypeError, f"argument 'clip': 'ndarray' {NOT_TUPLE}"),
    (G, (), {"clip": (0, 0, 100)}, ValueError,
     "expected tuple of length 4, but got tuple of length 3"),
    (W, (), {"clip": (0, 0, 1, 1, 1)}, ValueError,
     "expected tuple of length 4, but got tuple of length 5"),
    (G, (), {"clip": ()}, ValueError, "expected tuple of length 4, but got tuple of length 0"),
    (G, (), {"clip": (0, 0, "100", 100)}, TypeError, "argument 'clip': ..."),
    (W, (), {"clip": (0, None, 100, 100)}, TypeError, "argument 'clip': ..."),
    (G, (), {"clip": (0, 0, 100, 1j)}, TypeError, "argument 'clip': ..."),
]
for flag in ("rotated", "dehyphenate", "extended"):
    ARGUMENT_ERRORS += [
        (G, (), {flag: None}, TypeError, f"argument '{flag}': 'NoneType' {NOT_BOOL}"),
        (G, (), {flag: 1}, TypeError, f"argument '{flag}': 'int' {NOT_BOOL}"),
        (G, (), {flag: np.int64(0)}, TypeError, f"argument '{flag}': 'int64' {NOT_BOOL}"),
        (G, (), {flag: "yes"}, TypeError, f"argument '{flag}': 'str' {NOT_BOOL}"),
    ]
ARGUMENT_ERRORS += [
    (W, (), {"rotated": 0}, TypeError, f"argument 'rotated': 'int' {NOT_BOOL}"),
    (W, (None, None, None), {}, TypeError, f"argument 'rotated': 'NoneType' {NOT_BOOL}"),
]


@pytest.mark.parametrize("method, args, kwargs, exception, message", ARGUMENT_ERRORS)
def test_argument_errors(native, open_pdf, method, args, kwargs, exception, message):
    page = load(native, open_pdf, geometry_page())
    with pytest.raises(exception) as info:
        getattr(page, method)(*args, **kwargs)
    assert type(info.value) is exception
    if message.endswith("..."):
        assert str(info.value).startswith(message[:-3]) and len(str(info.value)) > len(message)
    else:
        assert str(info.value) == message


def test_accepted_argument_forms(native, open_pdf):
    page = load(native, open_pdf, dehyphen_page())
    words = page.get_text("words", None, None, False, True, ",", False)
    assert words == page.get_text(option="words", dehyphenate=True, delimiters=",")
    assert page.get_text("words", sort=None, clip=None, delimiters=None) == page.get_text("words")
    for flag in ("rotated", "dehyphenate", "extended"):
        for value in (True, False):
            for option in SCHEMAS:
                assert page.get_text(option, **{flag: np.bool_(value)}) == \
                    page.get_text(option, **{flag: value})
    assert page.words_arrays(None, None, np.bool_(True)) == page.words_arrays(rotated=True)


# -- extended -----------------------------------------------------------------------

def test_extended_keys(native, open_pdf):
    writer = geometry_page()
    doc = open_pdf(writer)
    page = native.load_page(doc.addr, 0)
    fonts = pdfium_fonts(doc.pdf, 0)
    for option in ("text", "blocks", "words"):
        assert page.get_text(option, extended=True) == page.get_text(option)
    for option, raw_chars in (("dict", False), ("rawdict", True)):
        tree = page.get_text(option, extended=True)
        check_tree(tree, raw_chars, extended=True)
        assert without_extended(tree) == page.get_text(option)
    tree = page.get_text("rawdict", extended=True)
    assert [c["idx"] for c in chars_of(tree)] == \
        [g[0] for g in oracle_glyphs(doc.pdf, 0)["glyphs"]]
    for span in spans_of(tree):
        name, _, _, weight, flags = fonts[span["chars"][0]["idx"]]
        assert (span["font"], span["weight"], span["pdf_flags"]) == (name, weight, flags)


# -- inserted spaces ------------------------------------------------------------------

def spaces_page():
    writer, p = one_page()
    p.text(72, 700, "A", size=10)
    p.text(72 + 6.67 + 3, 700, "B", size=10)   # 0.3 em after A's advance: a space goes in
    p.text(72, 688, "C D", size=10)            # a space of the content stream
    p.text(72, 676, "x", size=10)
    p.text(72 + 5 + 3, 676, "y", size=10, font="U")  # inserted space opens the U span
    return writer


def test_inserted_spaces(native, open_pdf):
    doc = open_pdf(spaces_page())
    page = native.load_page(doc.addr, 0)
    assert page.get_text() == "A B\nC D\nx y\n"
    tree = page.get_text("rawdict", extended=True)
    rows = [[(s["char_flags"], [(c["c"], c["synthetic"], c["idx"] >= 0) for c in s["chars"]])
             for s in line["spans"]] for line in lines_of(tree)]
    assert rows == [
        [(0, [("A", False, True), (" ", True, False), ("B", False, True)])],
        [(16, [("C", False, True), (" ", False, True), ("D", False, True)])],
        [(16, [("x", False, True)]), (0, [(" ", True, False), ("y", False, True)])],
    ]
    assert {c["idx"] for c in chars_of(tree) if c["synthetic"]} == {-1}
    assert [c["idx"] for c in chars_of(tree) if not c["synthetic"]] == \
        [g[0] for g in oracle_glyphs(doc.pdf, 0)["glyphs"]]
    a, space, b = lines_of(tree)[0]["spans"][0]["chars"]
    assert space["origin"] == approx((78.67, 92.0))  # A's pen end
    assert space["bbox"] == approx((a["bbox"][2], a["bbox"][1], b["origin"][0], a["bbox"][3]))
    assert [s["char_flags"] for s in spans_of(page.get_text("dict"))] == [0, 16, 16, 0]
    assert [w[4] for w in page.get_text("words")] == ["A", "B", "C", "D", "x", "y"]


# -- span metrics and direction -------------------------------------------------------

def test_span_metrics_are_pdfium_values_boxes_use_repaired_ones(native, open_pdf):
    writer = pdfgen.PdfWriter(unicode_metrics=(700, -200))  # spans 0.9 em: scaled up to 1
    p = writer.page()
    p.text(72, 700, "\u05e9\u05dc\u05d5\u05dd abc", font="U", size=10)
    p.text(72, 600, "abc", size=10)
    tree = load(native, open_pdf, writer).get_text("rawdict")
    hebrew, latin = spans_of(tree)
    assert (hebrew["ascender"], hebrew["descender"]) == approx((0.7, -0.2))
    assert (hebrew["bidi"], latin["bidi"]) == (1, 0)
    for char in hebrew["chars"]:
        assert char["bbox"][1::2] == approx((92 - 10 * 0.7 / 0.9, 92 + 10 * 0.2 / 0.9))


# -- de-hyphenation and delimiters ----------------------------------------------------

def dehyphen_page():
    writer, p = one_page()
    for x, y, text in [(72, 700, "An exam-"), (72, 688, "ple and a test-"),      # block 0
                       (72, 600, "Results 2-"), (72, 588, "3 x\u2013"), (72, 576, "ab-"),
                       (72, 564, "cd-"), (72, 552, "ef"),                        # block 1
                       (72, 450, "sch\u00f6-"), (72, 438, "ne"),                 # block 2
                       (72, 350, "pre-"),                                        # block 3
                       (72, 300, "  "), (72, 288, "fix")]:  # block 4, its line 0 without words
        p.text(x, y, text, size=10)
    return writer


PLAIN = ["An exam-\nple and a test-\n", "Results 2-\n3 x\u2013\nab-\ncd-\nef\n",
         "sch\u00f6-\nne\n", "pre-\n", " \nfix\n"]
JOINED = ["An example and a test-\n",  # the block's last line keeps hyphen and line feed
          "Results 2-\n3 x\u2013\nabcdef\n", "sch\u00f6ne\n", "pre-\n", " \nfix\n"]


def test_dehyphenate_text_and_blocks(native, open_pdf):
    page = load(native, open_pdf, dehyphen_page())
    assert page.get_text() == "".join(PLAIN)
    assert page.get_text(dehyphenate=True) == "".join(JOINED)
    assert "exam-\nResults" not in page.get_text(dehyphenate=True)
    plain, joined = page.get_text("blocks"), page.get_text("blocks", dehyphenate=True)
    assert [b[4] for b in plain] == PLAIN and [b[4] for b in joined] == JOINED
    assert [b[:4] + b[5:] for b in plain] == [b[:4] + b[5:] for b in joined]
    for option in ("dict", "rawdict"):
        assert page.get_text(option, dehyphenate=True) == page.get_text(option)


def test_dehyphenate_words(native, open_pdf):
    page = load(native, open_pdf, dehyphen_page())
    plain = page.get_text("words")
    joined = page.get_text("words", dehyphenate=True)
    assert [w[4:] for w in joined] == [
        ("An", 0, 0, 0), ("example", 0, 0, 1), ("and", 0, 1, 1), ("a", 0, 1, 2),
        ("test-", 0, 1, 3), ("Results", 1, 0, 0), ("2-", 1, 0, 1), ("3", 1, 1, 0),
        ("x\u2013", 1, 1, 1), ("abcd-", 1, 2, 0), ("ef", 1, 4, 0), ("sch\u00f6ne", 2, 0, 0),
        ("pre-", 3, 0, 0), ("fix", 4, 1, 0)]  # line numbers fit, but the blocks differ
    by_text = {w[4]: w for w in plain}
    for word, first in (("example", "exam-"), ("abcd-", "ab-"), ("sch\u00f6ne", "sch\u00f6-")):
        assert next(w for w in joined if w[4] == word)[:4] == by_text[first][:4]
    # words_arrays never joins
    assert_arrays_equal_words(page.words_arrays(), plain)
    assert "exam-" in page.words_arrays()[2]


SEPARATORS = "\t\u00a0\u2000\u2005\u200a\u202f\u205f\u3000"
NOT_SEPARATORS = "\x0b\x0c\x85\u1680\u2028\u2029\u200b\u00ad"


def test_word_separators(native, open_pdf):
    writer, p = one_page()
    for k, c in enumerate(SEPARATORS + NOT_SEPARATORS):
        p.text(72, 700 - 30 * k, f"x{c}y", font="U", size=10)  # a block per character
    words = load(native, open_pdf, writer).get_text("words")
    assert [w[4] for w in words] == ["x", "y"] * len(SEPARATORS) + \
        [f"x{c}y" for c in NOT_SEPARATORS]
    assert [w[5] for w in words] == \
        [k // 2 for k in range(2 * len(SEPARATORS))] + \
        list(range(len(SEPARATORS), len(SEPARATORS) + len(NOT_SEPARATORS)))


def test_delimiters_split_words_only(native, open_pdf):
    writer, p = one_page()
    p.text(72, 700, "a,b c\u00b7d \u00e3b,", size=10)
    page = load(native, open_pdf, writer)
    cases = {None: ["a,b", "c\u00b7d", "\u00e3b,"], "": ["a,b", "c\u00b7d", "\u00e3b,"],
             ",": ["a", "b", "c\u00b7d", "\u00e3b"],
             # whole characters: U+00E9 shares its UTF-8 lead byte with U+00E3
             "\u00b7\u00e9": ["a,b", "c", "d", "\u00e3b,"],
             "\u00e3": ["a,b", "c\u00b7d", "b,"]}
    for delimiters, expected in cases.items():
        words = page.get_text("words", delimiters=delimiters)
        assert [w[4] for w in words] == expected, delimiters
        assert [w[7] for w in words] == list(range(len(expected)))
        for option in ("text", "blocks", "dict", "rawdict"):
            assert page.get_text(option, delimiters=delimiters) == page.get_text(option)
    a, b = page.get_text("words", delimiters=",")[:2]
    whole = page.get_text("words")[0]
    assert (a[0], b[2]) == (whole[0], whole[2]) and a[2] < b[0]  # the comma is in neither


# -- negative font size ---------------------------------------------------------------

def test_negative_size_measures_by_magnitude(native, open_pdf):
    writer, p = one_page()
    p.text(100, 692, "A", size=-10)
    p.text(109.67, 692, "B", size=-10)   # 0.3 em after A's advance: a word gap
    p.text(100, 600, "l", size=-10)
    p.text(140, 600, "l", size=-10)      # the same letter 4 em away: no duplicate
    page = load(native, open_pdf, writer)
    assert page.get_text() == "A B\nl\nl\n"
    tree = page.get_text("rawdict")
    assert {s["size"] for s in spans_of(tree)} == {-10.0}
    a = chars_of(tree)[0]
    ascent, descent = spans_of(tree)[0]["ascender"], spans_of(tree)[0]["descender"]
    assert a["bbox"] == approx((100.0, 100 - 10 * ascent, 106.67, 100 - 10 * descent))
    for box in [c["bbox"] for c in chars_of(tree)] + [w[:4] for w in page.get_text("words")]:
        assert box[3] - box[1] == approx(10 * (ascent - descent))


# -- empty pages and words_arrays ------------------------------------------------------

@pytest.mark.parametrize("rotate, clip", [(0, None), (90, None), (0, (0, 0, 10, 10))])
def test_page_without_glyphs(native, open_pdf, rotate, clip):
    writer, p = one_page(width=300, height=500, rotate=rotate)
    if clip:
        p.text(72, 100, "far away")  # every glyph clipped away
    page = load(native, open_pdf, writer)
    assert page.get_text(clip=clip) == ""
    assert page.get_text("blocks", clip=clip) == [] and page.get_text("words", clip=clip) == []
    for option in ("dict", "rawdict"):
        assert page.get_text(option, clip=clip) == {"width": 300.0, "height": 500.0, "blocks": []}
        swapped = {"width": 500.0, "height": 300.0} if rotate else {"width": 300.0, "height": 500.0}
        assert page.get_text(option, clip=clip, rotated=True) == dict(swapped, blocks=[])
    for rotated in (False, True):
        arrays = page.words_arrays(clip=clip, rotated=rotated)
        assert type(arrays) is tuple and arrays == (b"", b"", [])
        assert type(arrays[0]) is bytes and type(arrays[1]) is bytes


@pytest.mark.parametrize("make", [geometry_page, dehyphen_page, spaces_page, order_page])
def test_words_arrays_rows_match_words(native, open_pdf, make):
    page = load(native, open_pdf, make())
    for sort in SORTS:
        arrays = page.words_arrays(sort=sort)
        assert type(arrays) is tuple and len(arrays) == 3
        assert_arrays_equal_words(arrays, page.get_text("words", sort=sort))
    boxes, ids, _ = unpack_arrays(page.words_arrays())
    assert boxes.shape[1] == 4 and ids.shape[1] == 3


# -- allocations ----------------------------------------------------------------------

def test_allocations_stay_flat(native, open_pdf):
    page = load(native, open_pdf, dehyphen_page())
    turned = load(native, open_pdf, rotation_page(90))  # inserted spaces, rotated view
    reference = {option: page.get_text(option, extended=True) for option in SCHEMAS}
    failing = [
        lambda: page.get_text("xyz"), lambda: page.get_text(sort="Simple"),
        lambda: page.get_text(sort=Exploding()), lambda: page.get_text(clip=[0, 0, 1, 1]),
        lambda: page.get_text(clip=(0, 0, 1)), lambda: page.get_text(clip=(0, 0, "1", 1)),
        lambda: page.get_text(rotated=1), lambda: page.get_text(delimiters=b","),
        lambda: page.get_text(*(None,) * 8), lambda: page.get_text(unknown=1),
        lambda: page.get_text("text", option="text"), lambda: page.get_text("\u200bxyz"),
        lambda: page.words_arrays(sort="bad"), lambda: page.words_arrays(clip=(1,)),
        lambda: page.words_arrays(rotated=None), lambda: page.words_arrays(Exploding()),
    ]

    def step():
        for option in SCHEMAS:
            for sort in SORTS:
                page.get_text(option, sort=sort, extended=True, dehyphenate=True)
            page.get_text(option, clip=(0, 0, 300, 300), delimiters=",")
            turned.get_text(option, "xycut", rotated=True, extended=True)
        page.words_arrays()
        turned.words_arrays("xycut", (0, 0, 300, 300), True)
        for call in failing:
            try:
                call()
            except (TypeError, ValueError, Boom):
                pass
            else:
                raise AssertionError("the call did not fail")

    assert_no_growth(step)
    assert {option: page.get_text(option, extended=True) for option in SCHEMAS} == reference
