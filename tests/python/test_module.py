"""The module surface: contents, docstrings, init and its failures, load_page's
argument conversion and errors, and reference-count stability."""

from __future__ import annotations

import gc
import inspect
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import textloom
from textloom import _native

import pdfgen
from conftest import assert_no_growth


def run_fresh(code: str) -> subprocess.CompletedProcess:
    """Runs code in a fresh interpreter: one successful init fixes the table
    for the whole process, so init's failures need processes of their own."""
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)],
                          capture_output=True, text=True, timeout=120)


def test_module_contents_in_order():
    public = [name for name in vars(_native) if not name.startswith("__") or name == "__version__"]
    assert public == ["init", "load_page", "bench_page", "render_page", "markdown_pages", "RsPage",
                      "__version__"]
    assert _native.__version__ == "0.5.0"


def test_function_docstrings_and_signatures():
    assert _native.init.__doc__ == (
        "Load the PDFium shared library. Pass the path of the libpdfium that pypdfium2 already\n"
        "loaded, so both share one PDFium instance (same dlopen handle).")
    assert _native.load_page.__doc__ == (
        "Extract the glyphs of page `index` from a PDFium FPDF_DOCUMENT handle (address).\n"
        "The GIL is held for the whole call: PDFium is not thread-safe.")
    assert _native.bench_page.__doc__ == (
        "Benchmark helper: run extraction + layout + words for one page fully natively and "
        "return\ntimings in ns (no Python objects): load_page, load_text, chars, close, layout, "
        "words, n_words.")
    assert _native.render_page.__doc__.startswith("Render page `index`")
    assert str(inspect.signature(_native.init)) == "(lib_path)"
    assert str(inspect.signature(_native.bench_page)) == "(doc_addr, index)"
    assert str(inspect.signature(_native.load_page)) == "(doc_addr, index, ligatures=False)"
    assert str(inspect.signature(_native.markdown_pages)) == (
        "(pages, sort='reading', keep_headers=False, superscripts=True, subscripts=True, links=True)")


def test_rspage_class():
    assert _native.RsPage.__doc__ == ("Glyphs of one page (extracted natively). "
                                      "Layout/formatting happens per get_text call.")
    with pytest.raises(TypeError, match=r"^No constructor defined for RsPage$"):
        _native.RsPage()
    properties = [name for name, value in vars(_native.RsPage).items()
                  if type(value).__name__ == "getset_descriptor"]
    assert properties == ["width", "height", "rotation", "crop", "n_glyphs", "timings", "links"]
    assert _native.RsPage.crop.__doc__ == "CropBox in PDF user space (l, b, r, t)"
    assert _native.RsPage.timings.__doc__ == "PDFium timings of the extraction call, nanoseconds."


@pytest.mark.parametrize("path_expr, message", [
    ("'/nonexistent/libpdfium.so'",
     r"^cannot load /nonexistent/libpdfium\.so: .*No such file or directory"),
    ("'libm.so.6'", r"^missing symbol FPDF_InitLibrary: .*undefined symbol: FPDF_InitLibrary"),
    ("'lib\\x00pdfium.so'", r"^cannot load lib\x00pdfium\.so: could not create a C string from bytes$"),
])
def test_init_failures_leave_nothing_and_can_be_retried(path_expr, message):
    done = run_fresh(f"""
        import re, textloom._native as n, textloom
        try:
            n.init({path_expr})
        except RuntimeError as error:
            assert re.search({message!r}, str(error)), str(error)
        else:
            raise SystemExit("init did not fail")
        try:
            n.load_page(0, 0)
        except RuntimeError as error:
            assert str(error) == "textloom._native.init(libpdfium_path) not called", error
        assert n.init(textloom.pdfium_library_path()) is None
        try:
            n.load_page(0, 0)
        except RuntimeError as error:
            assert str(error) == "cannot load page 0", error
        print("ok")
    """)
    assert done.stdout.strip() == "ok", done.stderr


def test_concurrent_first_inits_share_one_table_and_a_second_init_is_ignored():
    done = run_fresh("""
        import threading, textloom, textloom._native as n
        try:
            n.load_page(1, 2, True)
        except RuntimeError as error:
            assert str(error) == "textloom._native.init(libpdfium_path) not called"
        path = textloom.pdfium_library_path()
        results = []
        threads = [threading.Thread(target=lambda: results.append(n.init(path))) for _ in range(8)]
        for t in threads: t.start()
        for t in threads: t.join()
        assert results == [None] * 8
        assert n.init("/nonexistent/elsewhere.so") is None
        print("ok")
    """)
    assert done.stdout.strip() == "ok", done.stderr


@pytest.fixture
def doc(open_pdf):
    writer = pdfgen.PdfWriter()
    writer.page().text(72, 700, "Hello")
    return open_pdf(writer)


ARGUMENT_ERRORS = [
    # (args, kwargs, exception, message)
    ((1, 2, False, 4), {}, TypeError,
     "load_page() takes from 2 to 3 positional arguments but 4 were given"),
    ((1, 2), {"x": 1}, TypeError, "load_page() got an unexpected keyword argument 'x'"),
    ((1, 2), {"index": 3}, TypeError, "load_page() got multiple values for argument 'index'"),
    ((1,), {}, TypeError, "load_page() missing 1 required positional argument: 'index'"),
    ((), {}, TypeError,
     "load_page() missing 2 required positional arguments: 'doc_addr' and 'index'"),
    ((1, "0"), {}, TypeError, "argument 'index': 'str' object cannot be interpreted as an integer"),
    ((1, 1.0), {}, TypeError,
     "argument 'index': 'float' object cannot be interpreted as an integer"),
    ((1, 2**31), {}, OverflowError,
     "argument 'index': out of range integral type conversion attempted"),
    ((1, -2**31 - 1), {}, OverflowError,
     "argument 'index': out of range integral type conversion attempted"),
    ((-1, 0), {}, OverflowError, "argument 'doc_addr': can't convert negative int to unsigned"),
    ((2**64, 0), {}, OverflowError, "argument 'doc_addr': int too big to convert"),
    (("1", 0), {}, TypeError, "argument 'doc_addr': 'str' object cannot be interpreted as an integer"),
    ((1, 0, 1), {}, TypeError, "argument 'ligatures': 'int' object cannot be converted to 'PyBool'"),
    ((1, 0), {"ligatures": None}, TypeError,
     "argument 'ligatures': 'NoneType' object cannot be converted to 'PyBool'"),
    ((1, 0, np.int64(1)), {}, TypeError,
     "argument 'ligatures': 'int64' object cannot be converted to 'PyBool'"),
]


@pytest.mark.parametrize("args, kwargs, exception, message", ARGUMENT_ERRORS)
def test_load_page_argument_errors(native, args, kwargs, exception, message):
    with pytest.raises(exception) as info:
        native.load_page(*args, **kwargs)
    assert str(info.value) == message
    assert type(info.value) is exception


@pytest.mark.parametrize("args, message", [
    ((), "init() missing 1 required positional argument: 'lib_path'"),
    ((b"/lib.so",), "argument 'lib_path': 'bytes' object cannot be converted to 'PyString'"),
    (("a", "b"), "init() takes 1 positional arguments but 2 were given"),
])
def test_init_argument_errors(native, args, message):
    with pytest.raises(TypeError) as info:
        native.init(*args)
    assert str(info.value) == message


def test_accepted_argument_forms(native, doc):
    for flag in (True, False, np.bool_(True), np.bool_(False)):
        assert native.load_page(doc.addr, 0, ligatures=flag).n_glyphs == 5
    assert native.load_page(index=0, doc_addr=doc.addr).n_glyphs == 5


@pytest.mark.parametrize("index", [1, 7, -1, 2**31 - 1, -2**31, "null document"])
def test_page_that_cannot_load(native, doc, index):
    addr, index = (0, 3) if index == "null document" else (doc.addr, index)
    with pytest.raises(RuntimeError) as info:
        native.load_page(addr, index)
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


def test_page_outlives_its_document(native, open_pdf):
    writer = pdfgen.PdfWriter()
    writer.page().text(72, 700, "kept")
    d = open_pdf(writer)
    page = native.load_page(d.addr, 0)
    d.pdf.close()
    assert (page.n_glyphs, page.width, page.get_text()) == (4, 612.0, "kept\n")


def test_allocations_and_references_stay_flat(native, doc):
    def step():
        page = native.load_page(doc.addr, 0)
        page.timings, page.crop, page.width  # noqa: B018
        for bad in ((doc.addr, 9), (doc.addr, "x"), (doc.addr, 0, 1), (-1, 0)):
            try:
                native.load_page(*bad)
            except (RuntimeError, TypeError, OverflowError):
                pass

    assert_no_growth(step)
    gc.collect()
    references = sys.getrefcount(native.RsPage)
    for _ in range(100):
        step()
    gc.collect()
    after = sys.getrefcount(native.RsPage)
    assert after == references  # each page gives its type back


def test_host_helpers(doc):
    assert textloom.pdfium_library_path().endswith(("libpdfium.so", "libpdfium.dylib"))
    assert doc.addr == textloom.document_address(doc.pdf) != 0
