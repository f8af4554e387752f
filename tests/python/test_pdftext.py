"""RsPage.pdftext_blocks on generated pages of known geometry and on every
corpus page: keys and types, line-break spans and their indices, inserted
spaces as spans of their own, shared font dictionaries, the rotated view and
rotations in radians, keep_chars, the index range of right-to-left runs, the
argument errors, and allocation stability."""

from __future__ import annotations

import gc
import inspect
import math
import unicodedata

import pytest

import pdfgen
from conftest import assert_no_growth, corpus_files
from test_text import SORTS, Boom, Exploding, approx, chars_of, lines_of, load, page_of

SPAN_KEYS = ["bbox", "text", "font", "rotation", "char_start_idx", "char_end_idx", "url",
             "superscript", "subscript", "_base", "_sup", "_vertical"]
SPAN_TYPES = {"bbox": list, "text": str, "font": dict, "rotation": float, "char_start_idx": int,
              "char_end_idx": int, "url": str, "superscript": bool, "subscript": bool,
              "chars": list, "_base": float, "_sup": bool, "_vertical": bool}
CHAR_TYPES = {"bbox": list, "char": str, "rotation": float, "font": dict, "char_idx": int}
EMPTY_FONT = {"name": "", "flags": 0, "size": 1.0, "weight": -1}


def spans(blocks):
    return [s for b in blocks for line in b["lines"] for s in line["spans"]]


def check_structure(blocks, keep_chars):
    """Key order and types at every level; keys shared page-wide; every box a
    list of four floats; block and line boxes the unions of what they hold."""
    keys = {}
    span_keys = SPAN_KEYS[:9] + ["chars"] * keep_chars + SPAN_KEYS[9:]

    def check(d, expected, types):
        assert list(d) == expected
        for key, value in d.items():
            assert keys.setdefault(key, key) is key  # interned: one string per key
            assert type(value) is types[key], (key, value)
            if key == "bbox":
                assert len(value) == 4 and all(type(v) is float for v in value)

    def union(boxes):
        boxes = list(boxes)
        return [min(b[0] for b in boxes), min(b[1] for b in boxes),
                max(b[2] for b in boxes), max(b[3] for b in boxes)]

    for block in blocks:
        check(block, ["bbox", "lines"], {"bbox": list, "lines": list})
        assert block["bbox"] == union(line["bbox"] for line in block["lines"])
        for line in block["lines"]:
            check(line, ["bbox", "spans"], {"bbox": list, "spans": list})
            assert line["bbox"] == union(s["bbox"] for s in line["spans"])
            for span in line["spans"]:
                check(span, span_keys, SPAN_TYPES)
                assert list(span["font"]) == ["name", "flags", "size", "weight"]
                assert (span["url"], span["superscript"], span["subscript"]) == ("", False, False)
                assert 0 <= span["rotation"] < 2 * math.pi
                for char in span.get("chars", []):
                    check(char, ["bbox", "char", "rotation", "font", "char_idx"], CHAR_TYPES)
                    assert char["font"] is span["font"] and char["rotation"] == span["rotation"]


def test_empty_page(native, open_pdf):
    page = load(native, open_pdf, page_of())
    assert page.pdftext_blocks() == [] == page.pdftext_blocks(keep_chars=True)


def test_one_line_has_no_line_break(native, open_pdf):
    doc = open_pdf(page_of((72, 700, "Hello", {"size": 10})))
    page = native.load_page(doc.addr, 0)
    blocks = page.pdftext_blocks()
    check_structure(blocks, keep_chars=False)
    [span] = spans(blocks)
    tree = page.get_text("rawdict", extended=True)
    [dict_span] = [s for line in lines_of(tree) for s in line["spans"]]
    assert span["text"] == "Hello"
    assert (span["char_start_idx"], span["char_end_idx"]) == (0, 4)
    assert span["bbox"] == list(dict_span["bbox"])
    assert span["_base"] == dict_span["origin"][1] == 92.0
    assert span["font"] == {"name": "Helvetica", "flags": dict_span["pdf_flags"], "size": 10.0,
                            "weight": dict_span["weight"]}
    assert (span["rotation"], span["_sup"], span["_vertical"]) == (0.0, False, False)


def test_line_break_span(native, open_pdf):
    page = load(native, open_pdf, page_of((72, 700, "ab"), (72, 688, "cd")))
    blocks = page.pdftext_blocks(keep_chars=True)
    check_structure(blocks, keep_chars=True)
    [block] = blocks
    first, second = block["lines"]
    word, brk = first["spans"]
    # PDFium counts a CR and LF between the lines: c is character 4.
    assert [c["char_idx"] for c in chars_of({"blocks": [{"lines": [second]}]})] == [4, 5]
    assert (brk["text"], brk["char_start_idx"], brk["char_end_idx"]) == ("\n", 2, 3)
    end = word["chars"][-1]["bbox"][2]
    assert brk["bbox"] == [end, 92.0, end, 92.0] and brk["_base"] == 92.0
    assert brk["font"] == EMPTY_FONT and brk["font"] is not word["font"]
    assert [(c["char"], c["char_idx"], c["bbox"], c["font"] is brk["font"]) for c in brk["chars"]] \
        == [("\r", 2, brk["bbox"], True), ("\n", 3, brk["bbox"], True)]
    assert first["bbox"] == [72.0, word["bbox"][1], end, word["bbox"][3]]
    assert [s["text"] for s in second["spans"]] == ["cd"]  # the page's last line


@pytest.mark.parametrize("gap, generated", [(2, False), (3, True)])
def test_inserted_space_is_a_span_with_its_own_index(native, open_pdf, gap, generated):
    """A gap of 0.2 em: layout inserts a space PDFium did not count, so it
    shares the index of the last char before it; at 0.3 em PDFium counts one
    (character 2) and the inserted space takes that index."""
    page = load(native, open_pdf, page_of((72, 700, "ab"), (72 + 11.12 + gap, 700, "cd")))
    blocks = page.pdftext_blocks(keep_chars=True)
    check_structure(blocks, keep_chars=True)
    first, space, second = spans(blocks)
    c = 3 if generated else 2
    assert [(s["text"], s["char_start_idx"], s["char_end_idx"]) for s in (first, space, second)] \
        == [("ab", 0, 1), (" ", c - 1, c - 1), ("cd", c, c + 1)]
    assert space["font"] == EMPTY_FONT and first["font"] is second["font"]
    assert space["chars"][0]["font"] is space["font"]
    assert space["bbox"] == [first["bbox"][2], first["bbox"][1], second["bbox"][0], first["bbox"][3]]
    assert space["_base"] == first["_base"] == second["_base"]


def test_font_dicts_shared_per_font_and_size(native, open_pdf):
    page = load(native, open_pdf, page_of(
        (72, 700, "one", {"size": 10}), (300, 400, "two", {"size": 10}),
        (72, 500, "big", {"size": 12}), (72, 300, "uni", {"size": 10, "font": "U"}),
        (72, 200, "a", {"size": 10}), (72 + 5.56 + 2, 200, "b", {"size": 10}),
        (72, 188, "c", {"size": 10})))
    blocks = page.pdftext_blocks(keep_chars=True)
    by_text = {s["text"]: s for s in spans(blocks)}
    assert by_text["one"]["font"] is by_text["two"]["font"] is by_text["a"]["font"]
    assert by_text["big"]["font"] is not by_text["one"]["font"]
    assert by_text["big"]["font"]["size"] == 12.0
    assert by_text["uni"]["font"] is not by_text["one"]["font"]
    empties = [s["font"] for s in spans(blocks) if s["text"] in (" ", "\n")]
    assert len(empties) > 2 and all(f is empties[0] for f in empties)
    assert page.pdftext_blocks()[0]["lines"][0]["spans"][0]["font"] is not by_text["one"]["font"]


def rotated_page(rotate):
    """Horizontal text, upward text and upside-down text on a 400 x 300 page."""
    return page_of((70, 250, "Ab cd"), (200, 100, "up", {"size": 10, "matrix": (0, 1, -1, 0)}),
                   (350, 50, "down", {"size": 10, "matrix": (-1, 0, 0, -1)}),
                   width=400, height=300, rotate=rotate)


@pytest.mark.parametrize("rotation, expected", [
    (0, {"Ab": 0.0, "up": math.pi / 2, "down": math.pi}),
    (90, {"Ab": 3 * math.pi / 2, "up": 0.0, "down": math.pi / 2}),
    (180, {"Ab": math.pi, "up": 3 * math.pi / 2, "down": 0.0}),
    (270, {"Ab": math.pi / 2, "up": math.pi, "down": 3 * math.pi / 2}),
])
def test_rotated_view_and_rotation_in_radians(native, open_pdf, rotation, expected):
    page = load(native, open_pdf, rotated_page(rotation))
    blocks = page.pdftext_blocks(keep_chars=True)
    check_structure(blocks, keep_chars=True)
    rotations = {s["text"].split(" ")[0]: s["rotation"] for s in spans(blocks)}
    assert {t: rotations[t] for t in expected} == approx(expected)
    if rotation in (0, 90, 180):  # the line whose view direction is exactly (1, 0)
        flat = {0: "Ab", 90: "up", 180: "down"}[rotation]
        assert rotations[flat] == 0.0
    # boxes and bases as the rotated rawdict has them, char for char
    tree = page.get_text("rawdict", rotated=True)
    raw_chars = {(c["c"], c["bbox"]) for c in chars_of(tree)}
    ours = [c for s in spans(blocks) for c in s["chars"] if c["char"] not in "\r\n "]
    assert {(c["char"], tuple(c["bbox"])) for c in ours} == \
        {c for c in raw_chars if c[0] != " "}
    for line in lines_of(tree):
        first = line["spans"][0]
        ours = next(s for s in spans(blocks) if s["text"].startswith(first["chars"][0]["c"]))
        vertical = abs(line["dir"][1]) > abs(line["dir"][0])
        assert ours["_vertical"] is vertical
        assert ours["_base"] == first["origin"][0 if vertical else 1]


def test_keep_chars(native, open_pdf):
    page = load(native, open_pdf, page_of((72, 700, "ab"), (72, 688, "cd")))
    without, with_chars = page.pdftext_blocks(), page.pdftext_blocks(keep_chars=True)
    assert all("chars" not in s for s in spans(without))
    for s in spans(with_chars):
        assert "".join(c["char"] for c in s["chars"]) == ("\r\n" if s["text"] == "\n" else s["text"])
        s.pop("chars")
    assert with_chars == without


def rtl_page():
    """A Hebrew word drawn in visual order (each glyph moved left of the one
    before by the TJ kerning), then a Latin line: PDFium reports the Hebrew
    letters left to right, and layout puts them into reading order."""
    writer = pdfgen.PdfWriter()
    p = writer.page()
    p.text(72, 660, "", font="U", size=10,
           kerning=["\u05e9", 1200, "\u05dc", 1200, "\u05d5", 1200, "\u05dd"])
    p.text(72, 648, "ab", size=10)
    return writer


def test_right_to_left_run_reports_its_lowest_and_highest_index(native, open_pdf):
    page = load(native, open_pdf, rtl_page())
    blocks = page.pdftext_blocks(keep_chars=True)
    check_structure(blocks, keep_chars=True)
    hebrew, brk, latin = spans(blocks)
    assert hebrew["text"] == "\u05e9\u05dc\u05d5\u05dd"  # reading order
    assert [c["char_idx"] for c in hebrew["chars"]] == [3, 2, 1, 0]  # drawn left to right
    assert (hebrew["char_start_idx"], hebrew["char_end_idx"]) == (0, 3)
    assert (brk["char_start_idx"], brk["char_end_idx"]) == (4, 5)
    assert latin["text"] == "ab" and latin["char_start_idx"] >= 4


G_ERRORS = [
    # (args, kwargs, exception, message)
    ((None, False, 1), {}, TypeError,
     "RsPage.pdftext_blocks() takes from 0 to 2 positional arguments but 3 were given"),
    ((), {"clip": None}, TypeError,
     "RsPage.pdftext_blocks() got an unexpected keyword argument 'clip'"),
    ((None,), {"sort": None}, TypeError,
     "RsPage.pdftext_blocks() got multiple values for argument 'sort'"),
    ((), {"keep_chars": 1}, TypeError,
     "argument 'keep_chars': 'int' object cannot be converted to 'PyBool'"),
    (("bad", None), {}, TypeError,
     "argument 'keep_chars': 'NoneType' object cannot be converted to 'PyBool'"),
    (("Simple",), {}, ValueError, 'unknown sort "Simple"'),
    ((Exploding(),), {}, Exception, "no truth"),
]


@pytest.mark.parametrize("args, kwargs, exception, message", G_ERRORS)
def test_argument_errors(native, open_pdf, args, kwargs, exception, message):
    page = load(native, open_pdf, page_of((72, 700, "ab")))
    with pytest.raises(exception) as info:
        page.pdftext_blocks(*args, **kwargs)
    assert str(info.value) == message


def test_signature_and_accepted_forms(native, open_pdf):
    import numpy as np

    page = load(native, open_pdf, page_of((300, 650, "Right", {}), (72, 700, "Left", {})))
    assert str(inspect.signature(page.pdftext_blocks)) == "(sort=None, keep_chars=False)"
    assert native.RsPage.pdftext_blocks.__doc__.startswith("Blocks in pdftext's schema")
    first = [b["lines"][0]["spans"][0]["text"] for b in page.pdftext_blocks()]
    assert first == ["Right", "Left"]
    assert [b["lines"][0]["spans"][0]["text"] for b in page.pdftext_blocks("simple")] == \
        ["Left", "Right"] == [b["lines"][0]["spans"][0]["text"] for b in page.pdftext_blocks(True)]
    assert page.pdftext_blocks(None, np.bool_(True)) == page.pdftext_blocks(keep_chars=True)


def is_rtl(c):
    return ord(c) >= 0x590 and unicodedata.bidirectional(c) in ("R", "AL")


@pytest.mark.parametrize("path", corpus_files(), ids=lambda p: p.name)
def test_corpus_pages(native, open_pdf, path):
    """Span texts are the "text" schema once line breaks are counted; every
    run's range is ordered; lines without right-to-left text never step back."""
    doc = open_pdf(path)
    for index in range(len(doc)):
        page = native.load_page(doc.addr, index)
        for sort in SORTS:
            blocks = page.pdftext_blocks(sort, keep_chars=True)
            text = page.get_text(sort=sort)
            assert "".join(s["text"] for s in spans(blocks)) + ("\n" if blocks else "") == text
            if sort is None:
                check_structure(blocks, keep_chars=True)
            for line in (line for b in blocks for line in b["lines"]):
                for s in line["spans"]:
                    indices = [c["char_idx"] for c in s["chars"]]
                    assert s["char_start_idx"] == min(indices) <= max(indices) == s["char_end_idx"]
                if not any(is_rtl(c) for s in line["spans"] for c in s["text"]):
                    starts = [s["char_start_idx"] for s in line["spans"]]
                    assert starts == sorted(starts), (index, starts)


def test_collector_state_is_restored(native, open_pdf):
    page = load(native, open_pdf, rtl_page())
    calls = [lambda: page.pdftext_blocks(keep_chars=True), lambda: page.get_text("dict"),
             lambda: page.get_text("rawdict"), lambda: page.get_text("words")]
    try:
        for enabled in (True, False):
            gc.enable() if enabled else gc.disable()
            for call in calls:
                call()
                assert gc.isenabled() is enabled
            with pytest.raises(ValueError):
                page.pdftext_blocks("bad")
            assert gc.isenabled() is enabled
    finally:
        gc.enable()


def test_allocations_stay_flat(native, open_pdf):
    page = load(native, open_pdf, rotated_page(90))
    other = load(native, open_pdf, rtl_page())
    reference = page.pdftext_blocks(keep_chars=True)

    def step():
        for sort in SORTS:
            page.pdftext_blocks(sort, True)
            other.pdftext_blocks(sort)
        for bad in (("bad",), (None, 1), (Exploding(),), (None, None, None)):
            with pytest.raises((ValueError, TypeError, Boom)):
                page.pdftext_blocks(*bad)

    assert_no_growth(step)
    assert page.pdftext_blocks(keep_chars=True) == reference
