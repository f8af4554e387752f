"""Extracted glyphs against pypdfium2's raw API (the same PDFium read
independently), on generated pages with known geometry and on the corpus."""

from __future__ import annotations

import re

import pytest

import pdfgen
from conftest import corpus_files, glyph_dump, oracle_glyphs

# Glyph array columns of glyph_dump.
INDEX, CH, OX, OY, EX, EY, DX, DY, SIZE, FONT, COLOR, HYPHEN, REPEAT, SPACE_BEFORE = range(14)


def compare_with_oracle(doc, dumped_pages):
    assert len(dumped_pages) == len(doc.pdf)
    for number, dumped in enumerate(dumped_pages):
        expected = oracle_glyphs(doc.pdf, number)
        assert tuple(dumped["crop"]) == pytest.approx(expected["crop"], abs=0)
        assert dumped["n_chars"] == expected["n_chars"]
        got = [(g[INDEX], g[CH], g[OX], g[OY]) for g in dumped["glyphs"]]
        assert got == expected["glyphs"], f"page {number}"
        for glyph in dumped["glyphs"]:
            assert 0 <= glyph[FONT] < len(dumped["fonts"])


def generated_pages() -> dict[str, pdfgen.PdfWriter]:
    pages = {}
    w = pdfgen.PdfWriter()
    p = w.page()
    p.text(72, 700, "Hello world", size=12)
    p.text(72, 680, "second line", size=9, color=(1, 0, 0))
    p.text(300, 400, "turned", size=10, matrix=(0, 1, -1, 0))
    p.text(300, 300, "scaled", size=10, matrix=(2, 0, 0, 2))
    p.text(100, 200, "slant", size=10, matrix=(0.8, 0.6, -0.6, 0.8))
    pages["shapes"] = w
    w = pdfgen.PdfWriter()
    w.page(crop=(10, 20, 500, 800), rotate=90).text(10, 800, "corner")
    w.page(width=400, height=300, rotate=180, media_origin=(-50, -50)).text(0, 0, "offset")
    pages["boxes"] = w
    w = pdfgen.PdfWriter(expand={0xFB01: "fi"})
    p = w.page()
    p.text(72, 700, "\u05e9\u05dc\u05d5\u05dd abc \u4e00\u4e8c\u4e09 \ufb01ne", font="U")
    p.text(72, 650, "x\u0301y", font="U")
    pages["unicode"] = w
    return pages


@pytest.mark.parametrize("name", sorted(generated_pages()))
def test_glyphs_match_raw_api_on_generated_pages(open_pdf, tmp_path, name):
    writer = generated_pages()[name]
    doc = open_pdf(writer)
    compare_with_oracle(doc, glyph_dump(doc.path))


@pytest.mark.parametrize("path", corpus_files(), ids=lambda p: p.name)
def test_glyphs_match_raw_api_on_corpus(open_pdf, path):
    dumped = glyph_dump(path)
    compare_with_oracle(open_pdf(path), dumped)
    for page in dumped:
        assert not [f["name"] for f in page["fonts"] if re.match(r"^[A-Z]{6}\+", f["name"])]


def test_ligatures(native, open_pdf):
    w = pdfgen.PdfWriter(expand={0xFB01: "fi", 0xFB00: "ff"})
    w.page().text(72, 700, "\ufb01ne \ufb00", font="U")
    doc = open_pdf(w)
    plain = glyph_dump(doc.path)[0]["glyphs"]
    assert "".join(chr(g[CH]) for g in plain) == "fine ff"
    assert [g[REPEAT] for g in plain] == [0, 1, 0, 0, 0, 0, 1]
    assert plain[0][OX:EY + 1] == plain[1][OX:EY + 1]  # one shared box
    joined = glyph_dump(doc.path, ligatures=True)[0]["glyphs"]
    assert "".join(chr(g[CH]) for g in joined) == "\ufb01ne \ufb00"
    assert native.load_page(doc.addr, 0, True).n_glyphs == native.load_page(doc.addr, 0).n_glyphs - 2
