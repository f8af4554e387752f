"""get_text, words_arrays and pdftext_blocks on every page of the real
documents (the 117-page book included): the schemas against each other with
their keys and types, words_arrays against "words", every schema under every
sort mode twice. Random generated pages add rotated pages, negative and zero
font sizes and mirrored text. (Glyphs against PDFium's own characters are
test_extract.py's; every glyph laid out once, layout_test.cpp's.)"""

from __future__ import annotations

import random

import pytest

import pdfgen
from conftest import SCHEMAS, SORTS, corpus_files, load
from test_pdftext import check_pdftext_page
from test_text import assert_arrays_equal_words, line_texts, map_result

TYPES = {"width": float, "height": float, "blocks": list, "type": int, "number": int,
         "flags": int, "lines": list, "spans": list, "wmode": int, "size": float, "bidi": int,
         "char_flags": int, "font": str, "color": int, "alpha": int, "ascender": float,
         "descender": float, "weight": int, "pdf_flags": int, "text": str, "chars": list,
         "c": str, "synthetic": bool, "idx": int}


def check_tree(tree, raw_chars, extended):
    """Key order and value types at every level; the keys below the page level
    are shared string objects, not made per dictionary."""
    seen_keys = {}
    span_keys = (["size", "flags", "bidi", "char_flags", "font", "color", "alpha", "ascender",
                  "descender"] + (["weight", "pdf_flags"] if extended else [])
                 + ["chars" if raw_chars else "text", "origin", "bbox"])
    char_keys = ["origin", "bbox", "c", "synthetic"] + (["idx"] if extended else [])

    def check(d, keys):
        assert list(d) == keys
        for key, value in d.items():
            assert seen_keys.setdefault(key, key) is key
            if key in ("bbox", "origin", "dir"):
                assert type(value) is tuple and len(value) == (4 if key == "bbox" else 2)
                assert all(type(v) is float for v in value), value
            else:
                assert type(value) is TYPES[key], (key, value)

    assert [(k, type(v)) for k, v in tree.items()] == [("width", float), ("height", float), ("blocks", list)]
    for number, block in enumerate(tree["blocks"]):
        check(block, ["type", "number", "flags", "bbox", "lines"])
        assert (block["type"], block["number"], block["flags"]) == (0, number, 0)
        for line in block["lines"]:
            check(line, ["spans", "wmode", "dir", "bbox"])
            for span in line["spans"]:
                check(span, span_keys)
                assert span["alpha"] == 255 and span["char_flags"] in (0, 16) and span["bidi"] in (0, 1)
                for char in span.get("chars", []):
                    check(char, char_keys)
                    assert len(char["c"]) == 1


def without_extended(tree):
    if isinstance(tree, list):
        return [without_extended(item) for item in tree]
    if isinstance(tree, dict):
        return {k: without_extended(v) for k, v in tree.items()
                if k not in ("weight", "pdf_flags", "idx")}
    return tree


def check_schemas_agree(page, sort):
    """"text" is the block texts joined; "blocks", "dict" and "rawdict" have the
    same blocks and boxes; a block's text is its lines' characters, each line
    ended by a line feed; the words of a line, numbered from 0, are the runs of
    its characters between separators: whatever lies between two words, or
    before the first or after the last, is dropped, and no dropped character
    appears in any word."""
    for dehyphenate in (False, True):
        blocks = page.get_text("blocks", sort=sort, dehyphenate=dehyphenate)
        assert page.get_text(sort=sort, dehyphenate=dehyphenate) == "".join(b[4] for b in blocks)
        assert [b[5:] for b in blocks] == [(n, 0) for n in range(len(blocks))]
    tree = page.get_text("rawdict", sort=sort)
    assert [b["bbox"] for b in tree["blocks"]] == [b[:4] for b in blocks]
    assert [b["bbox"] for b in page.get_text("dict", sort=sort)["blocks"]] == \
        [b[:4] for b in blocks]
    texts = iter(line_texts(tree))
    for block, row in zip(tree["blocks"], page.get_text("blocks", sort=sort)):
        assert "".join(next(texts) + "\n" for _ in block["lines"]) == row[4]
    lines = {}
    for word in page.get_text("words", sort=sort):
        lines.setdefault(word[5:7], []).append(word)
    dropped, kept = set(), set()
    for number, block in enumerate(tree["blocks"]):
        for line_no, line in enumerate(block["lines"]):
            rest = "".join(c["c"] for s in line["spans"] for c in s["chars"])
            for n, word in enumerate(lines.pop((number, line_no), [])):
                gap, found, rest = rest.partition(word[4])
                assert word[7] == n and found and (gap or n == 0), (word, gap)
                dropped.update(gap)
                kept.update(word[4])
            dropped.update(rest)
    assert not lines and not dropped & kept, (lines, dropped & kept)


def check_page(page, rotation=None):
    """Every schema and sort: the schemas agree, words_arrays is "words", a
    second call gives the same, the extended keys are only added, and (given
    the page's rotation) the rotated view is the mapped plain one."""
    for sort in SORTS:
        check_schemas_agree(page, sort)
        for rotated in (False, True):
            assert_arrays_equal_words(page.words_arrays(sort, None, rotated),
                                      page.get_text("words", sort=sort, rotated=rotated))
        for option in SCHEMAS:
            first = page.get_text(option, sort=sort, extended=True)
            assert page.get_text(option, sort=sort, extended=True) == first
            plain = page.get_text(option, sort=sort)
            assert without_extended(first) == plain
            if rotation is not None:
                assert page.get_text(option, sort=sort, rotated=True) == \
                    map_result(option, plain, rotation, page.width, page.height), option
        check_tree(page.get_text("rawdict", sort=sort, extended=True), True, extended=True)
        check_tree(page.get_text("dict", sort=sort, extended=True), False, extended=True)


@pytest.mark.parametrize("path", corpus_files(), ids=lambda p: p.name)
def test_corpus_pages(native, open_pdf, path):
    doc = open_pdf(path)
    for index in range(len(doc)):
        page = native.load_page(doc.addr, index)
        check_page(page)
        check_pdftext_page(page)


def random_page(rng):
    """A page of random runs: both fonts, sizes negative and zero among them,
    turned, mirrored and scaled text matrices, runs close enough to join."""
    writer = pdfgen.PdfWriter(unicode_metrics=rng.choice([(800, -200), (700, -200), (0, 0)]))
    rotation = rng.choice([0, 90, 180, 270])
    p = writer.page(width=400, height=300, rotate=rotation,
                    crop=rng.choice([None, (10, 20, 390, 280)]))
    for _ in range(rng.randint(0, 12)):
        font = rng.choice(["F1", "U"])
        letters = ("abcdefghij -,()\u00e9" if font == "F1"
                   else "ab \u05d0\u05d1\u4e00\u4e8c()\u0301-")
        p.text(rng.choice([rng.uniform(0, 400), 50 + rng.choice([0, 3, 6, 6.5, 8])]),
               rng.choice([rng.uniform(0, 300), 200 - rng.choice([0, 12, 13, 20])]),
               "".join(rng.choice(letters) for _ in range(rng.randint(1, 6))), font=font,
               size=rng.choice([10, 12, -10, 0, 5]),
               matrix=rng.choice([(1, 0, 0, 1), (0, 1, -1, 0), (-1, 0, 0, -1), (2, 0, 0, 2),
                                  (0.8, 0.6, -0.6, 0.8), (1, 0, 0, -1)]))
    return writer, rotation


@pytest.mark.parametrize("seed", range(40))
def test_random_pages(native, open_pdf, seed):
    """The corpus has no rotated page; random ones cover the rotated view too."""
    writer, rotation = random_page(random.Random(seed))
    check_page(load(native, open_pdf, writer), rotation)
