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


def single_page_glyphs(open_pdf, writer, ligatures=False):
    doc = open_pdf(writer)
    return glyph_dump(doc.path, ligatures)[0]


def test_crop_origin_generated_space_and_hyphen_marker(open_pdf):
    w = pdfgen.PdfWriter()
    p = w.page(crop=(10, 0, 600, 800))
    p.text(10, 800, "A")
    for x, y, text in ((100, 300, "one"), (160, 300, "two"), (100, 250, "a b"), (100, 400, "exam-"),
                       (100, 386, "ple")):
        p.text(x, y, text)
    page = single_page_glyphs(open_pdf, w)
    glyphs = page["glyphs"]
    assert (glyphs[0][OX:OY + 1], page["width"]) == ([0.0, 0.0], 590.0)
    assert "".join(chr(g[CH]) for g in glyphs) == "Aonetwoa bexam-ple"
    # PDFium's generated space before "two" becomes a flag; the content-stream
    # space of "a b" stays a glyph; one line-end hyphen carries the marker.
    assert [chr(g[CH]) for g in glyphs if g[SPACE_BEFORE]] == ["t"]
    assert [chr(g[CH]) for g in glyphs if g[HYPHEN]] == ["-"]


def test_ligatures(native, open_pdf):
    w = pdfgen.PdfWriter(expand={0xFB01: "fi", 0xFB00: "ff"})
    w.page().text(72, 700, "\ufb01ne \ufb00", font="U")
    plain = single_page_glyphs(open_pdf, w)["glyphs"]
    assert "".join(chr(g[CH]) for g in plain) == "fine ff"
    assert [g[REPEAT] for g in plain] == [0, 1, 0, 0, 0, 0, 1]
    assert plain[0][OX:EY + 1] == plain[1][OX:EY + 1]  # one shared box
    joined = single_page_glyphs(open_pdf, w, ligatures=True)["glyphs"]
    assert "".join(chr(g[CH]) for g in joined) == "\ufb01ne \ufb00"
    doc = open_pdf(w)
    assert native.load_page(doc.addr, 0, True).n_glyphs == native.load_page(doc.addr, 0).n_glyphs - 2


def test_kerning_direction_size_and_colour(open_pdf):
    w = pdfgen.PdfWriter()
    p = w.page()
    p.text(100, 300, "AV", size=20, kerning=["A", 120, "V"])
    p.text(300, 400, "u", size=10, matrix=(0, 1, -1, 0))
    p.text(100, 200, "s", size=10, matrix=(2, 0, 0, 2), color=(1, 0.5, 0))
    a, v, up, scaled = single_page_glyphs(open_pdf, w)["glyphs"]
    assert v[OX] < 100 + 0.667 * 20  # V starts inside A's advance box: A is cut back
    assert a[EX] == v[OX] < v[EX]
    assert (up[DX], up[DY]) == pytest.approx((0, -1))
    assert up[EY] < up[OY] and up[EX] == pytest.approx(up[OX])
    assert scaled[SIZE] == pytest.approx(20)
    assert scaled[COLOR] == 0xFF8000


def test_font_classification_on_real_fonts():
    names = {p.name: p for p in corpus_files()}
    if "latex-two-column.pdf" not in names or "font-sizes.pdf" not in names:
        pytest.skip("corpus not present")
    styles = {f["name"]: f["style"] for f in glyph_dump(names["latex-two-column.pdf"])[0]["fonts"]}
    assert styles["CMBX12"] == 4 | 16  # embedded (serif) and bold by its anchored name
    assert styles["CMR10"] == 4
    styles = {f["name"]: f["style"] for f in glyph_dump(names["font-sizes.pdf"])[0]["fonts"]}
    assert styles["Calibri-BoldItalic"] == 2 | 4 | 16
    assert styles["Calibri-Light"] == 4
