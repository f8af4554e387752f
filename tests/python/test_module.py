"""The module surface: contents, docstrings, init and its failures, pages
that cannot load, properties, bench_page's counts, and allocations, reference
counts and the collector's state that stay as they were over every entry point.
(Argument errors are in test_arguments.py.)"""

from __future__ import annotations

import gc
import importlib.metadata
import inspect
import subprocess
import sys
import textwrap
from functools import partial

import pytest

from textloom import _native

import pdfgen
from conftest import SCHEMAS, SORTS, assert_no_growth, page_of
from test_arguments import ERRORS, Exploding, call


def test_module_contents_in_order():
    public = [name for name in vars(_native) if not name.startswith("__") or name == "__version__"]
    assert public == ["init", "load_page", "bench_page", "render_page", "markdown_pages",
                      "render_plan", "grey_pixels", "find_pattern", "fold_text", "RsPage", "TextMap",
                      "FoldTable", "RenderTimeout", "__version__"]
    assert issubclass(_native.RenderTimeout, RuntimeError)
    assert _native.__version__ == importlib.metadata.version("textloom")  # module.cpp keeps its own
    with pytest.raises(TypeError, match=r"^No constructor defined for RsPage$"):
        _native.RsPage()


SIGNATURES = [  # (attribute of the module, its text signature, byte for byte)
    ("init", "(lib_path)"),
    ("load_page", "(doc_addr, index, ligatures=False, form_addr=0)"),
    ("bench_page", "(doc_addr, index)"),
    ("render_page", "(doc_addr, index, scale_x, scale_y, clip=None, rotated=True, alpha=False, "
     "grayscale=False, annots=True, antialias=True, background=4294967295, timeout=None)"),
    ("render_plan", "(doc_addr, index, scale_x, scale_y, clip=None, rotated=True)"),
    ("markdown_pages", "(pages, sort=\"reading\", keep_headers=False, superscripts=True, "
     "subscripts=True, links=True)"),
    ("RsPage.with_shown_text", "($self)"),
    ("RsPage.get_text", "($self, option=\"text\", sort=None, clip=None, rotated=False, "
     "dehyphenate=False, delimiters=None, extended=False)"),
    ("RsPage.pdftext_blocks", "($self, sort=None, keep_chars=False)"),
    ("RsPage.words_arrays", "($self, sort=None, clip=None, rotated=False)"),
]


@pytest.mark.parametrize("path, signature", SIGNATURES)
def test_text_signatures(path, signature):
    target = _native
    for name in path.split("."):
        target = getattr(target, name)
    assert target.__text_signature__ == signature and inspect.signature(target)  # one inspect reads


def test_init_in_a_fresh_process():
    """Failed inits leave nothing behind and can be retried, concurrent first
    inits share one table, and a later init is ignored: in a process of its
    own, as one successful init fixes the table for the whole process."""
    done = subprocess.run([sys.executable, "-c", textwrap.dedent(r"""
        import re, threading, textloom, textloom._native as n

        def error(call, *args):
            try:
                call(*args)
            except RuntimeError as e:
                return str(e)
            raise SystemExit(f"{call.__name__}{args} did not fail")

        NOT_CALLED = "textloom._native.init(libpdfium_path) not called"
        assert error(n.load_page, 0, 0) == NOT_CALLED
        render = lambda: n.render_page(1, 0, 1, 1, timeout=-1)  # before the timeout is read
        assert error(n.bench_page, 1, 0) == error(render) == NOT_CALLED
        for path, message in [
            ("/nonexistent/libpdfium.so",
             r"^cannot load /nonexistent/libpdfium\.so: .*No such file or directory"),
            ("libm.so.6", r"^missing symbol FPDF_InitLibrary: .*undefined symbol: FPDF_InitLibrary"),
            ("lib\x00pdfium.so",
             r"^cannot load lib\x00pdfium\.so: could not create a C string from bytes$"),
        ]:
            assert re.search(message, error(n.init, path)), error(n.init, path)
            assert error(n.load_page, 0, 0) == NOT_CALLED
        path = textloom.pdfium_library_path()
        results = []
        threads = [threading.Thread(target=lambda: results.append(n.init(path))) for _ in range(8)]
        for t in threads: t.start()
        for t in threads: t.join()
        assert results == [None] * 8
        assert n.init("/nonexistent/elsewhere.so") is None
        assert error(n.load_page, 0, 0) == "cannot load page 0"
        print("ok")
    """)], capture_output=True, text=True, timeout=120)
    assert done.stdout.strip() == "ok", done.stderr


@pytest.fixture
def doc(open_pdf):
    writer = pdfgen.PdfWriter()
    writer.page().text(72, 700, "Hello")
    return open_pdf(writer)


@pytest.mark.parametrize("function", ["load_page", "bench_page"])
@pytest.mark.parametrize("index", [1, -1, 2**31 - 1, -2**31, "null document"])
def test_page_that_cannot_load(native, doc, function, index):
    addr, index = (0, 3) if index == "null document" else (doc.addr, index)
    with pytest.raises(RuntimeError) as info:
        getattr(native, function)(addr, index)
    assert str(info.value) == f"cannot load page {index}"


def test_properties(native, open_pdf):
    writer = pdfgen.PdfWriter()
    writer.page(width=300, height=400, rotate=270, crop=(10, 20, 210, 320),
                media_origin=(0, 0)).text(50, 100, "abc")
    page = native.load_page(open_pdf(writer).addr, 0)
    assert (page.width, page.height, page.rotation, page.crop, page.n_glyphs) == \
        (200.0, 300.0, 270, (10.0, 20.0, 210.0, 320.0), 3)
    timings = page.timings
    assert list(timings) == ["load_page_ns", "load_text_ns", "chars_ns", "close_ns"]
    assert all(type(v) is int and v >= 0 for v in timings.values())
    assert page.timings == timings  # stored, not measured again
    assert page.timings is not timings
    with pytest.raises(AttributeError):
        page.width = 1


def test_bench_page_counts_on_an_empty_and_a_text_page(native, open_pdf):
    """load_page's glyphs, and the words clipped to the page."""
    writer = pdfgen.PdfWriter()
    writer.page()
    p = writer.page(width=300, height=200, crop=(0, 0, 300, 200))
    p.text(20, 150, "Two words", size=10)
    p.text(250, 150, "beyond the crop box", size=10)  # its last two words past the edge
    doc = open_pdf(writer)
    for index, words in ((0, 0), (1, 4)):
        result = native.bench_page(doc.addr, index)
        assert list(result) == ["load_page_ns", "load_text_ns", "chars_ns", "close_ns", "layout_ns",
                                "words_ns", "n_words", "n_glyphs"]
        assert all(type(v) is int and v >= 0 for v in result.values())
        page = native.load_page(doc.addr, index)
        assert (result["n_glyphs"], result["n_words"]) == (page.n_glyphs, words)
    assert result["layout_ns"] > 0 and result["chars_ns"] > 0


def test_allocations_and_references_stay_flat(native, open_pdf):
    """Every entry point, succeeding and failing, leaves nothing behind, and
    each page gives its type back."""
    doc = open_pdf(page_of((72, 700, "An exam-"), (72, 688, "ple test-"), (72, 350, "pre-")))
    turned = open_pdf(page_of((70, 250, "Ab cd"), (70, 230, "x"), (78, 230, "y"),
                              (200, 100, "up", {"size": 10, "matrix": (0, 1, -1, 0)}),
                              width=400, height=300, rotate=90))  # inserted spaces, rotated view
    page, rotated = native.load_page(doc.addr, 0), native.load_page(turned.addr, 0)
    render = native.render_page
    failing = [partial(call(native, page, name), *args, **kwargs)
               for name, args, kwargs, _, _ in ERRORS] + [
        lambda: page.get_text(sort=Exploding()), lambda: page.pdftext_blocks("bad"),
        lambda: render(doc.addr, 5, 1, 1), lambda: render(doc.addr, 0, 1, 1, timeout=-1),
        lambda: render(doc.addr, 0, 1, 1, timeout=2.0**63),
        lambda: render(doc.addr, 0, 1, 1, clip=(0, 0, 1e7, 1e7)),
        lambda: render(doc.addr, 0, 1, 1, background=-1), lambda: native.bench_page(doc.addr, 3),
        lambda: native.load_page(doc.addr, 9), lambda: native.load_page(-1, 0)]

    def results():
        return [page.get_text(option, extended=True) for option in SCHEMAS] + [
            rotated.pdftext_blocks(keep_chars=True)]

    reference = results()

    def step():
        fresh = native.load_page(doc.addr, 0)
        fresh.timings, fresh.crop, fresh.width  # noqa: B018
        for option in SCHEMAS:
            for sort in SORTS:
                page.get_text(option, sort=sort, extended=True, dehyphenate=True)
            page.get_text(option, clip=(0, 0, 300, 300), delimiters=",")
            rotated.get_text(option, "xycut", rotated=True, extended=True)
        page.words_arrays()
        rotated.words_arrays("xycut", (0, 0, 300, 300), True)
        for sort in SORTS:
            rotated.pdftext_blocks(sort, sort is None)
        render(turned.addr, 0, 0.1, 0.2, clip=(1, 2, 30, 40), alpha=True, timeout=60)
        native.markdown_pages([page, rotated])
        native.bench_page(doc.addr, 0)
        for failure in failing:  # each error's text is checked elsewhere
            try:
                failure()
            except Exception:
                continue
            pytest.fail("no error")

    assert_no_growth(step)
    assert results() == reference
    try:  # the collector, paused while large results are built, comes back as it was
        for enabled in (False, True):
            gc.enable() if enabled else gc.disable()
            step()
            assert gc.isenabled() is enabled
    finally:
        gc.enable()
    gc.collect()
    references = sys.getrefcount(native.RsPage)
    for _ in range(100):
        step()
    gc.collect()
    after = sys.getrefcount(native.RsPage)  # outside the assert, whose rewriting holds a reference
    assert after == references
