"""RsPage.pdftext_blocks: the schema, page-text indices (inserted spaces, line
breaks, right-to-left runs), shared font dicts, the rotated view, keep_chars,
and the collector's state; check_pdftext_page runs on every page of
test_text_corpus.py."""

from __future__ import annotations

import gc
import math
import unicodedata

import pytest

from conftest import SORTS, chars_of, lines_of, load, page_of, spans_of
from test_text import approx

SPAN_TYPES = {"bbox": list, "text": str, "font": dict, "rotation": float, "char_start_idx": int,
              "char_end_idx": int, "url": str, "superscript": bool, "subscript": bool,
              "chars": list, "_base": float, "_sup": bool, "_vertical": bool}
CHAR_TYPES = {"bbox": list, "char": str, "rotation": float, "font": dict, "char_idx": int}
EMPTY_FONT = {"name": "", "flags": 0, "size": 1.0, "weight": -1}


def check(blocks):
    """Keys in order, interned, with their types; boxes of four floats, the
    unions of theirs; chars spelling their span (CR LF for a break), whose
    lowest and highest index are its range."""
    keys = {}

    def check_dict(d, types, inner=None):
        assert [(k, type(v)) for k, v in d.items()] == list(types.items())
        assert all(keys.setdefault(k, k) is k for k in d)
        assert [type(v) for v in d["bbox"]] == [float] * 4
        if inner is not None:
            x0, y0, x1, y1 = zip(*(x["bbox"] for x in d[inner]))
            assert d["bbox"] == [min(x0), min(y0), max(x1), max(y1)]

    for block in blocks:
        check_dict(block, {"bbox": list, "lines": list}, "lines")
        for line in block["lines"]:
            check_dict(line, {"bbox": list, "spans": list}, "spans")
            for s in line["spans"]:
                check_dict(s, SPAN_TYPES)
                assert (list(s["font"]), s["url"], s["superscript"], s["subscript"]) == \
                    (list(EMPTY_FONT), "", False, False) and 0 <= s["rotation"] < 2 * math.pi
                assert "".join(c["char"] for c in s["chars"]) == s["text"].replace("\n", "\r\n")
                indices = [c["char_idx"] for c in s["chars"]]
                assert s["char_start_idx"] == min(indices) <= max(indices) == s["char_end_idx"]
                for c in s["chars"]:
                    check_dict(c, CHAR_TYPES)
                    assert c["font"] is s["font"] and c["rotation"] == s["rotation"]


HEBREW = {"font": "U", "size": 10, "kerning": ["\u05e9", 1200, "\u05dc", 1200, "\u05d5", 1200,
                                                "\u05dd"]}  # drawn in visual order, right to left


@pytest.mark.parametrize("runs, expected", [
    ([(72, 700, "ab"), (72, 688, "cd")],  # a break ends every line but the page's last
     [("ab", 0, 1), ("\n", 2, 3), ("cd", 4, 5)]),
    ([(72, 700, "ab"), (85.12, 700, "cd")],  # 0.2 em: a space PDFium did not count
     [("ab", 0, 1), (" ", 1, 1), ("cd", 2, 3)]),
    ([(72, 700, "ab"), (86.12, 700, "cd")],  # 0.3 em: PDFium counts one, the space takes it
     [("ab", 0, 1), (" ", 2, 2), ("cd", 3, 4)]),
    ([(72, 660, "", HEBREW), (72, 648, "ab")],  # counted left to right, read right to left
     [("\u05e9\u05dc\u05d5\u05dd", 0, 3), ("\n", 4, 5), ("ab", 6, 7)]),
])
def test_span_texts_and_index_ranges(native, open_pdf, runs, expected):
    blocks = load(native, open_pdf, page_of(*runs)).pdftext_blocks(keep_chars=True)
    check(blocks)
    assert [(s["text"], s["char_start_idx"], s["char_end_idx"]) for s in spans_of(blocks)] == expected


def test_values_fonts_and_keep_chars(native, open_pdf):
    """Span values next to rawdict's; the break at the end of the line on its
    base; one font dict per font and size and call; keep_chars off drops
    "chars" and nothing else."""
    assert load(native, open_pdf, page_of()).pdftext_blocks() == []
    page = load(native, open_pdf, page_of(
        (72, 700, "one"), (300, 400, "two"), (72, 500, "big", {"size": 12}),
        (72, 300, "uni", {"size": 10, "font": "U"}), (72, 200, "a"), (79.56, 200, "b"),
        (72, 188, "c")))
    blocks = page.pdftext_blocks(keep_chars=True)
    one, brk, *_ = spans_of(blocks)
    raw = page.get_text("rawdict", extended=True)["blocks"][0]["lines"][0]["spans"][0]
    assert (one["text"], one["bbox"], one["_base"], one["rotation"], one["_sup"],
            one["_vertical"]) == ("one", list(raw["bbox"]), raw["origin"][1], 0.0, False, False)
    assert one["font"] == {"name": "Helvetica", "flags": raw["pdf_flags"], "size": 10.0,
                           "weight": raw["weight"]}
    end = [one["bbox"][2], 92.0] * 2
    assert (brk["bbox"], brk["_base"], brk["font"], [c["bbox"] for c in brk["chars"]]) == \
        (end, 92.0, EMPTY_FONT, [end, end])
    fonts = {s["text"]: s["font"] for s in spans_of(blocks)}
    assert fonts["one"] is fonts["two"] is fonts["a"]
    assert fonts["big"] is not fonts["one"] is not fonts["uni"] and fonts["big"]["size"] == 12.0
    empties = [s["font"] for s in spans_of(blocks) if s["text"] in (" ", "\n")]
    assert len(empties) > 2 and all(f is empties[0] for f in empties)
    without = page.pdftext_blocks()
    assert spans_of(without)[0]["font"] is not one["font"]  # per call
    assert all(list(s) == [k for k in SPAN_TYPES if k != "chars"] for s in spans_of(without))
    for s in spans_of(blocks):
        del s["chars"]
    assert without == blocks


@pytest.mark.parametrize("rotation, expected", [
    (0, {"Ab": 0.0, "up": math.pi / 2, "down": math.pi}),
    (90, {"Ab": 3 * math.pi / 2, "up": 0.0, "down": math.pi / 2}),
    (270, {"Ab": math.pi / 2, "up": math.pi, "down": 3 * math.pi / 2}),
])
def test_rotated_view_and_rotation_in_radians(native, open_pdf, rotation, expected):
    """Lines running right, up and right to left: rotations in radians, boxes
    and bases as the rotated rawdict has them."""
    page = load(native, open_pdf, page_of(
        (70, 250, "Ab cd"), (200, 100, "up", {"size": 10, "matrix": (0, 1, -1, 0)}),
        (350, 50, "down", {"size": 10, "matrix": (-1, 0, 0, -1)}),
        width=400, height=300, rotate=rotation))
    blocks = page.pdftext_blocks(keep_chars=True)
    check(blocks)
    rotations = {s["text"].split(" ")[0]: s["rotation"] for s in spans_of(blocks)}
    assert {t: rotations[t] for t in expected} == approx(expected)
    assert all(rotations[t] == 0.0 for t in expected if expected[t] == 0.0)  # exactly
    tree = page.get_text("rawdict", rotated=True)
    assert {(c["c"], c["bbox"]) for c in chars_of(tree) if c["c"] != " "} <= \
        {(c["char"], tuple(c["bbox"])) for s in spans_of(blocks) for c in s["chars"]}
    for line in lines_of(tree):
        first = line["spans"][0]
        span = next(s for s in spans_of(blocks) if s["text"].startswith(first["chars"][0]["c"]))
        vertical = abs(line["dir"][1]) > abs(line["dir"][0])
        assert (span["_vertical"], span["_base"]) == (vertical, first["origin"][1 - vertical])


def check_pdftext_page(page):
    """Span texts are the "text" schema's once line breaks are counted, and
    lines without right-to-left text never step back in index."""
    for sort in SORTS:
        blocks = page.pdftext_blocks(sort, keep_chars=True)
        assert "".join(s["text"] for s in spans_of(blocks)) + "\n" * bool(blocks) == \
            page.get_text(sort=sort)
        if sort is None:
            check(blocks)
        for line in (line for b in blocks for line in b["lines"]):
            if not any(unicodedata.bidirectional(c) in ("R", "AL")
                       for s in line["spans"] for c in s["text"]):
                starts = [s["char_start_idx"] for s in line["spans"]]
                assert starts == sorted(starts), starts


def test_collector_state_is_restored(native, open_pdf):
    page = load(native, open_pdf, page_of((72, 700, "ab"), (72, 688, "cd")))
    try:
        for enabled in (True, False):
            gc.enable() if enabled else gc.disable()
            for option in ("dict", "rawdict", "words"):
                page.get_text(option)
            page.pdftext_blocks(keep_chars=True)
            with pytest.raises(ValueError):
                page.pdftext_blocks("bad")
            assert gc.isenabled() is enabled
    finally:
        gc.enable()
