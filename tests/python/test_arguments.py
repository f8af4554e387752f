"""Arguments of every function and method: one row per binding error and per
converter, the rejected values and their quoted form, the sort values, the
order in which errors are found, and the forms that are accepted."""

from __future__ import annotations

import numpy as np
import pytest

import pdfgen
from conftest import assert_raises_text

OUT_OF_RANGE = "out of range integral type conversion attempted"
ERRORS = [
    # (function or method, args, kwargs, exception, message; a message ending in "..." is a prefix)
    # binding the arguments to the parameters
    ("load_page", (1, 2, False, 0, 5), {}, TypeError,
     "load_page() takes from 2 to 4 positional arguments but 5 were given"),
    ("init", ("a", "b"), {}, TypeError, "init() takes 1 positional arguments but 2 were given"),
    ("get_text", (), {"flags": 1}, TypeError,
     "RsPage.get_text() got an unexpected keyword argument 'flags'"),
    ("words_arrays", (None,), {"sort": "simple"}, TypeError,
     "RsPage.words_arrays() got multiple values for argument 'sort'"),
    ("load_page", (1,), {}, TypeError, "load_page() missing 1 required positional argument: 'index'"),
    ("load_page", (), {}, TypeError,
     "load_page() missing 2 required positional arguments: 'doc_addr' and 'index'"),
    # the converters
    ("get_text", (), {"rotated": 1}, TypeError,
     "argument 'rotated': 'int' object cannot be converted to 'PyBool'"),
    ("load_page", (1, "0"), {}, TypeError,
     "argument 'index': 'str' object cannot be interpreted as an integer"),
    ("load_page", (1, 2**31), {}, OverflowError, f"argument 'index': {OUT_OF_RANGE}"),
    ("load_page", (1, -2**31 - 1), {}, OverflowError, f"argument 'index': {OUT_OF_RANGE}"),
    ("load_page", ("1", 0), {}, TypeError,
     "argument 'doc_addr': 'str' object cannot be interpreted as an integer"),
    ("load_page", (-1, 0), {}, OverflowError,
     "argument 'doc_addr': can't convert negative int to unsigned"),
    ("load_page", (2**64, 0), {}, OverflowError, "argument 'doc_addr': int too big to convert"),
    ("init", (b"/lib.so",), {}, TypeError,
     "argument 'lib_path': 'bytes' object cannot be converted to 'PyString'"),
    ("get_text", (), {"delimiters": b","}, TypeError,
     "argument 'delimiters': 'bytes' object cannot be converted to 'PyString'"),
    ("words_arrays", (None, [0, 0, 1, 1]), {}, TypeError,
     "argument 'clip': 'list' object cannot be converted to 'PyTuple'"),
    ("get_text", (), {"clip": (0, 0, 1, 1, 1)}, ValueError,
     "expected tuple of length 4, but got tuple of length 5"),
    ("get_text", (), {"clip": (0, 0, "1", 1)}, TypeError, "argument 'clip': ..."),
    ("markdown_pages", ([1],), {}, TypeError, "argument 'pages': expected a list of RsPage"),
    ("markdown_pages", ("pages",), {}, TypeError, "argument 'pages': expected a list of RsPage"),
    ("markdown_pages", ([],), {"sort": "sideways"}, ValueError, 'unknown sort "sideways"'),
    # values: only ASCII letters of the option are lowered; the value is quoted
    ("get_text", ("XYZ",), {}, ValueError, 'unsupported option "xyz"'),
    ("get_text", ("T\u00c9XT\u200b",), {}, ValueError, 'unsupported option "t\u00c9xt\\u{200b}"'),
    ("words_arrays", ("none ",), {}, ValueError, 'unknown sort "none "'),
    ("get_text", (), {"sort": "Simple"}, ValueError, 'unknown sort "Simple"'),
    ("get_text", (), {"sort": 'a"b\\c\t\r\n\0'}, ValueError,
     'unknown sort "a\\"b\\\\c\\t\\r\\n\\0"'),
    ("get_text", (), {"sort": "\x7f\u00a0\u2028\ud800\U000e0001"}, ValueError,
     'unknown sort "\\u{7f}\\u{a0}\\u{2028}\\u{d800}\\u{e0001}"'),  # non-printables
    ("get_text", (), {"sort": " \u00e9\u65e5\U0001f600"}, ValueError,
     'unknown sort " \u00e9\u65e5\U0001f600"'),  # printable, left as it is
]


def order_page():
    """Three blocks drawn in an order that none of the sort modes keeps."""
    writer = pdfgen.PdfWriter()
    p = writer.page()
    for x, y, text in ((300, 650, "Right"), (72, 400, "LeftBottom"), (72, 700, "LeftTop")):
        p.text(x, y, text)
    return writer


@pytest.fixture
def page(native, open_pdf):
    return native.load_page(open_pdf(order_page()).addr, 0)


def call(native, page, name):
    return getattr(page if hasattr(page, name) else native, name)


@pytest.mark.parametrize("name, args, kwargs, exception, message", ERRORS)
def test_errors(native, page, name, args, kwargs, exception, message):
    assert_raises_text(lambda: call(native, page, name)(*args, **kwargs), exception, message)


ORDERS = {"none": ["Right", "LeftBottom", "LeftTop"],
          "simple": ["LeftTop", "Right", "LeftBottom"],
          "xycut": ["LeftTop", "LeftBottom", "Right"],
          "reading": ["LeftTop", "LeftBottom", "Right"]}


@pytest.mark.parametrize("sort, mode", [
    (None, "none"), ("", "none"), ("none", "none"), ("simple", "simple"), ("xycut", "xycut"),
    ("reading", "reading"),
    (type("StrSub", (str,), {})("xycut"), "xycut"),  # a str subclass is read as a str
    (2, "simple"), ([], "none"), (b"xycut", "simple"),  # others by truth, not as an index
])
def test_sort_values(page, sort, mode):
    assert [b[4:6] for b in page.get_text("blocks", sort=sort)] == \
        [(t + "\n", n) for n, t in enumerate(ORDERS[mode])]
    assert page.words_arrays(sort)[2] == ORDERS[mode]


class Boom(Exception):
    pass


class Exploding:
    calls = 0

    def __bool__(self):
        Exploding.calls += 1
        raise Boom("no truth")


@pytest.mark.parametrize("call, exception, message", [
    (lambda p: p.get_text(sort=Exploding()), Boom, "no truth"),  # passed on unchanged
    (lambda p: p.get_text("xyz", sort="bad"), ValueError, 'unknown sort "bad"'),
    # conversion errors come before the sort is parsed
    (lambda p: p.get_text(sort=Exploding(), rotated=1), TypeError,
     "argument 'rotated': 'int' object cannot be converted to 'PyBool'"),
    (lambda p: p.words_arrays(Exploding(), (1, 2, 3)), ValueError,
     "expected tuple of length 4, but got tuple of length 3"),
])
def test_error_order(page, call, exception, message):
    before = Exploding.calls
    with pytest.raises(exception) as info:
        call(page)
    assert type(info.value) is exception and str(info.value) == message
    assert Exploding.calls == before + (exception is Boom)


def test_accepted_forms(native, open_pdf):
    """Keywords or positions, and NumPy bools as flags (on a page where both
    flags change the result)."""
    writer = pdfgen.PdfWriter()
    p = writer.page(rotate=90)
    p.text(72, 700, "exam-")
    p.text(72, 688, "ple")
    doc = open_pdf(writer)
    page = native.load_page(index=0, doc_addr=doc.addr, ligatures=np.bool_(False))
    words = page.get_text("words", None, None, True, True, ",", False)
    assert words != page.get_text("words")
    assert words == page.get_text(option="words", rotated=np.bool_(True),
                                  dehyphenate=np.bool_(True), delimiters=",")
    assert page.words_arrays(None, None, np.bool_(True)) == page.words_arrays(rotated=True) != \
        page.words_arrays(rotated=np.bool_(False))
