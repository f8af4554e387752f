"""bench_page: its eight keys, counts that match load_page and the "words"
schema clipped to the page, its errors, and allocation stability."""

from __future__ import annotations

import pytest

import pdfgen
from conftest import assert_no_growth, corpus_files
from test_module import run_fresh

KEYS = ["load_page_ns", "load_text_ns", "chars_ns", "close_ns", "layout_ns", "words_ns",
        "n_words", "n_glyphs"]


def check_counts(native, addr, index):
    result = native.bench_page(addr, index)
    assert list(result) == KEYS and all(type(v) is int and v >= 0 for v in result.values())
    page = native.load_page(addr, index)
    words = page.get_text("words", clip=(0, 0, page.width, page.height))
    assert (result["n_glyphs"], result["n_words"]) == (page.n_glyphs, len(words))
    return result


def test_empty_and_text_pages(native, open_pdf):
    writer = pdfgen.PdfWriter()
    writer.page()
    p = writer.page(width=300, height=200, crop=(0, 0, 300, 200))
    p.text(20, 150, "Two words", size=10)
    p.text(250, 150, "beyond the crop box", size=10)  # glyphs past the page: clipped away
    doc = open_pdf(writer)
    empty = check_counts(native, doc.addr, 0)
    assert (empty["n_glyphs"], empty["n_words"]) == (0, 0)
    text = check_counts(native, doc.addr, 1)
    page = native.load_page(doc.addr, 1)
    assert text["n_words"] < len(page.get_text("words"))
    assert text["layout_ns"] > 0 and text["chars_ns"] > 0


@pytest.mark.parametrize("path", [p for p in corpus_files()
                                  if p.name in ("latex-two-column.pdf", "table-nics.pdf")],
                         ids=lambda p: p.name)
def test_corpus_counts(native, open_pdf, path):
    doc = open_pdf(path)
    for index in range(len(doc)):
        assert check_counts(native, doc.addr, index)["n_words"] > 0


def test_errors(native, open_pdf):
    writer = pdfgen.PdfWriter()
    writer.page().text(72, 700, "x")
    doc = open_pdf(writer)
    for index in (1, -1):
        with pytest.raises(RuntimeError) as info:
            native.bench_page(doc.addr, index)
        assert str(info.value) == f"cannot load page {index}"
    with pytest.raises(TypeError) as info:
        native.bench_page(doc.addr)
    assert str(info.value) == "bench_page() missing 1 required positional argument: 'index'"
    with pytest.raises(OverflowError) as info:
        native.bench_page(doc.addr, 2**31)
    assert str(info.value) == "argument 'index': out of range integral type conversion attempted"

    def step():
        native.bench_page(doc.addr, 0)
        for bad in ((doc.addr, 3), (doc.addr, "0"), (-1, 0)):
            with pytest.raises((RuntimeError, TypeError, OverflowError)):
                native.bench_page(*bad)

    assert_no_growth(step)


def test_before_init():
    done = run_fresh("""
        import textloom._native as n
        for call in (lambda: n.bench_page(1, 0), lambda: n.render_page(1, 0, 1, 1)):
            try:
                call()
            except RuntimeError as error:
                assert str(error) == "textloom._native.init(libpdfium_path) not called", error
            else:
                raise SystemExit("no error")
        try:
            n.render_page(1, 0, 1, 1, timeout=-1)  # conversion first, then the init check
        except RuntimeError as error:
            assert "not called" in str(error), error
        try:
            n.render_page(1, 0, 1, 1, rotated=1)
        except TypeError as error:
            assert str(error).startswith("argument 'rotated'"), error
        print("ok")
    """)
    assert done.stdout.strip() == "ok", done.stderr
