"""get_text and words_arrays on every page of the real documents (the
117-page book included): rawdict's characters against PDFium's own (read
through pypdfium2's raw API), the schemas against each other, words_arrays
against "words", every schema under every sort mode twice. Random generated
pages add rotated pages, negative and zero font sizes and mirrored text."""

from __future__ import annotations

import math
import random
import unicodedata
from collections import Counter

import pytest

import pdfgen
from conftest import corpus_files, glyph_dump, oracle_glyphs
from test_text import (SCHEMAS, SORTS, assert_arrays_equal_words, check_tree, line_texts,
                       lines_of, map_result, without_extended)

CORPUS = pytest.mark.parametrize("path", corpus_files(), ids=lambda p: p.name)
SEPARATORS = set("\t\n\r \u00a0\u202f\u205f\u3000") | {chr(c) for c in range(0x2000, 0x200B)}
MIRRORED = {a: b for pair in ("()", "<>", "[]", "{}", "\u00ab\u00bb", "\u2039\u203a")
            for a, b in (pair, pair[::-1])}
GLYPH_SIZE = 8  # column of glyph_dump's glyph arrays


def pages(native, doc):
    for index in range(len(doc)):
        yield index, native.load_page(doc.addr, index)


def is_rtl(c):
    return ord(c) >= 0x590 and unicodedata.bidirectional(c) in ("R", "AL")


def check_chars_against_pdfium(page, doc, index):
    """rawdict's drawn characters are PDFium's: each names its own PDFium
    character ("idx") and carries that character's code, or in a right-to-left
    line the mirror image of a bracket. That maps them one to one into
    PDFium's characters, so they form a sub-multiset of them. A PDFium
    character missing from rawdict must be a duplicate dropped by layout: the
    same character as an earlier kept one, with its origin within 0.1 em (of
    its own size) of that one's origin. Returns the numbers of dropped and
    mirrored characters."""
    pdfium = {i: (chr(code), x, y) for i, code, x, y in oracle_glyphs(doc.pdf, index)["glyphs"]}
    kept = {}
    mirrored = 0
    for line in lines_of(page.get_text("rawdict", extended=True)):
        chars = [c for span in line["spans"] for c in span["chars"]]
        rtl = any(is_rtl(c["c"]) for c in chars)
        for c in chars:
            if c["synthetic"]:
                assert (c["c"], c["idx"]) == (" ", -1)
                continue
            assert c["idx"] in pdfium and c["idx"] not in kept, c
            code = pdfium[c["idx"]][0]
            if c["c"] != code:
                assert rtl and MIRRORED.get(code) == c["c"], (c, code)
                mirrored += 1
            kept[c["idx"]] = code
    dropped = [i for i in pdfium if i not in kept]
    if dropped:
        sizes = {g[0]: g[GLYPH_SIZE] for g in glyph_dump(doc.path)[index]["glyphs"]}
        for i in dropped:
            code, x, y = pdfium[i]
            em = abs(sizes[i]) or 1.0
            assert any(j < i and kept[j] == code and
                       math.hypot(x - pdfium[j][1], y - pdfium[j][2]) / em < 0.1
                       for j in kept), (index, i, code)
    return len(dropped), mirrored


def test_char_check_sees_dropped_duplicates(native, open_pdf):
    writer = pdfgen.PdfWriter()
    p = writer.page()
    p.text(72, 700, "ab", size=10)
    p.text(72 + 5.56 + 0.8, 700, "b", size=10)  # b again, 0.08 em along: a duplicate
    p.text(72, 600, "b", size=10)
    p.text(72.5, 600, "a", size=10)             # close, but another letter: kept
    p.text(72, 500, "\u05e9\u05dc (\u05d5\u05dd) x", font="U", size=10)
    doc = open_pdf(writer)
    page = native.load_page(doc.addr, 0)
    assert check_chars_against_pdfium(page, doc, 0) == (1, 0)
    assert page.get_text().startswith("ab\nb")


def check_schemas_agree(page, sort):
    """"text" is the block texts joined; "blocks", "dict" and "rawdict" have the
    same blocks and boxes; a block's text is its lines' characters, each line
    ended by a line feed; the words of a line are its characters without the
    separators, numbered from 0."""
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
    for number, block in enumerate(tree["blocks"]):
        for line_no, line in enumerate(block["lines"]):
            words = lines.pop((number, line_no), [])
            chars = "".join(c["c"] for s in line["spans"] for c in s["chars"])
            assert "".join(w[4] for w in words) == "".join(c for c in chars if c not in SEPARATORS)
            assert [w[7] for w in words] == list(range(len(words)))
    assert not lines


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


@CORPUS
def test_corpus_pages(native, open_pdf, path):
    doc = open_pdf(path)
    for index, page in pages(native, doc):
        check_chars_against_pdfium(page, doc, index)
        check_page(page)
        check_reading_keeps_blocks(page)


def check_reading_keeps_blocks(page):
    """The "reading" order holds every block of layout exactly once, numbered in order."""
    def blocks(sort):
        return page.get_text("blocks", sort=sort)

    reading = blocks("reading")
    assert [b[5] for b in reading] == list(range(len(reading)))
    assert Counter(repr(b[:5]) for b in reading) == Counter(repr(b[:5]) for b in blocks(None))


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
    doc = open_pdf(writer)
    page = native.load_page(doc.addr, 0)
    check_chars_against_pdfium(page, doc, 0)
    check_page(page, rotation)
    check_reading_keeps_blocks(page)
