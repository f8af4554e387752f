"""bench_page's keys and counts (load_page's glyphs, the words clipped to the
page), then what the three newest entry points share: calls before init, and
allocations that stay flat over many calls, failing ones included."""

from __future__ import annotations

import pytest

import pdfgen
from conftest import assert_no_growth, assert_raises_text
from test_module import run_fresh
from test_text import page_of

KEYS = ["load_page_ns", "load_text_ns", "chars_ns", "close_ns", "layout_ns", "words_ns",
        "n_words", "n_glyphs"]


def test_counts_on_an_empty_and_a_text_page(native, open_pdf):
    writer = pdfgen.PdfWriter()
    writer.page()
    p = writer.page(width=300, height=200, crop=(0, 0, 300, 200))
    p.text(20, 150, "Two words", size=10)
    p.text(250, 150, "beyond the crop box", size=10)  # its last two words past the edge
    doc = open_pdf(writer)
    for index, words in ((0, 0), (1, 4)):
        result = native.bench_page(doc.addr, index)
        assert list(result) == KEYS and all(type(v) is int and v >= 0 for v in result.values())
        page = native.load_page(doc.addr, index)
        clipped = page.get_text("words", clip=(0, 0, page.width, page.height))
        assert (result["n_glyphs"], result["n_words"]) == (page.n_glyphs, len(clipped))
        assert len(clipped) == words < len(page.get_text("words")) + (index == 0)
    assert result["layout_ns"] > 0 and result["chars_ns"] > 0
    assert_raises_text(lambda: native.bench_page(doc.addr, 2), RuntimeError, "cannot load page 2")
    assert_raises_text(lambda: native.bench_page(doc.addr), TypeError,
                       "bench_page() missing 1 required positional argument: 'index'")


def test_before_init():
    done = run_fresh("""
        import textloom._native as n
        for call in (lambda: n.bench_page(1, 0), lambda: n.render_page(1, 0, 1, 1, timeout=-1)):
            try:
                call()
            except RuntimeError as error:
                print(error)
    """)
    assert done.stdout == "textloom._native.init(libpdfium_path) not called\n" * 2, done.stderr


def test_allocations_stay_flat(native, open_pdf):
    doc = open_pdf(page_of(
        (70, 250, "Ab cd"), (200, 100, "up", {"size": 10, "matrix": (0, 1, -1, 0)}),
                           width=400, height=300, rotate=90))
    page = native.load_page(doc.addr, 0)
    reference = page.pdftext_blocks(keep_chars=True)
    render = native.render_page
    failing = [lambda: page.pdftext_blocks("bad"), lambda: page.pdftext_blocks(None, 1),
               lambda: render(doc.addr, 5, 1, 1), lambda: render(doc.addr, 0, 1, 1, timeout=-1),
               lambda: render(doc.addr, 0, 1, 1, timeout=2.0**63),
               lambda: render(doc.addr, 0, 1, 1, clip=(0, 0, 1e7, 1e7)),
               lambda: render(doc.addr, 0, 1, 1, background=-1),
               lambda: native.bench_page(doc.addr, 3), lambda: native.bench_page(doc.addr, "0")]

    def step():
        for sort in (None, "simple", "xycut"):
            page.pdftext_blocks(sort, sort is None)
        render(doc.addr, 0, 0.1, 0.2, clip=(1, 2, 30, 40), alpha=True, timeout=60)
        native.bench_page(doc.addr, 0)
        for call in failing:
            with pytest.raises((RuntimeError, ValueError, OverflowError, MemoryError, TypeError)):
                call()

    assert_no_growth(step)
    assert page.pdftext_blocks(keep_chars=True) == reference
