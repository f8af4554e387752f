"""render_page against PDFium itself: the same calls made through pypdfium2's
raw bindings give the same bytes; image sizes, channels, clips, background,
timeouts, failures and argument errors; allocation stability, failing calls
included. (Pixel rounding, durations and release on every path are the C++
tests' business.)"""

from __future__ import annotations

import ctypes
import inspect
import math

import numpy as np
import pytest
from pypdfium2 import raw

import pdfgen
from conftest import assert_no_growth, assert_raises_text, corpus_files

WHITE = 0xFFFFFFFF


def page_box(page) -> tuple[float, float]:
    l, b, r, t = (ctypes.c_float() for _ in range(4))
    rect = raw.FS_RECTF()
    if raw.FPDFPage_GetCropBox(page, l, b, r, t) or raw.FPDFPage_GetMediaBox(page, l, b, r, t):
        box = (l.value, b.value, r.value, t.value)
    elif raw.FPDF_GetPageBoundingBox(page, rect):
        box = (rect.left, rect.bottom, rect.right, rect.top)
    else:
        box = (0.0, 0.0, 612.0, 792.0)
    return abs(box[2] - box[0]), abs(box[3] - box[1])


def px(v: float) -> int:
    return max(-2**31, min(2**31 - 1, math.floor((v + 0.5) + 1e-9))) if not math.isnan(v) else 0


def oracle(pdf, index, sx, sy, clip=None, rotated=True, alpha=False, grayscale=False,
           annots=True, antialias=True, background=WHITE):
    """The render made with pypdfium2's raw PDFium calls: (width, height,
    channels, pixels)."""
    page = raw.FPDF_LoadPage(pdf.raw, index)
    assert page
    try:
        w, h = page_box(page)
        q = raw.FPDFPage_GetRotation(page) & 3
        vw, vh = (h, w) if rotated and q in (1, 3) else (w, h)
        page_w, page_h = max(1, px(vw * sx)), max(1, px(vh * sy))
        left, top, width, height = 0, 0, page_w, page_h
        if clip is not None:
            ex, ey = page_w / vw, page_h / vh
            left, top = px(ex * min(clip[0], clip[2])), px(ey * min(clip[1], clip[3]))
            width = max(1, px(ex * max(clip[0], clip[2])) - left)
            height = max(1, px(ey * max(clip[1], clip[3])) - top)
        channels = 1 if grayscale else 4 if alpha else 3
        buffer = ctypes.create_string_buffer(width * height * channels)
        fmt = raw.FPDFBitmap_Gray if grayscale else raw.FPDFBitmap_BGRA if alpha else raw.FPDFBitmap_BGR
        bitmap = raw.FPDFBitmap_CreateEx(width, height, fmt, buffer, width * channels)
        fill = background if grayscale else ((background & 0xFF00FF00) | ((background & 0xFF) << 16)
                                             | ((background >> 16) & 0xFF))
        raw.FPDFBitmap_FillRect(bitmap, 0, 0, width, height, fill)
        flags = ((raw.FPDF_GRAYSCALE if grayscale else raw.FPDF_REVERSE_BYTE_ORDER)
                 | (0 if antialias else raw.FPDF_RENDER_NO_SMOOTHTEXT | raw.FPDF_RENDER_NO_SMOOTHIMAGE
                    | raw.FPDF_RENDER_NO_SMOOTHPATH) | (raw.FPDF_ANNOT if annots else 0))
        raw.FPDF_RenderPageBitmap(bitmap, page, -left, -top, page_w, page_h,
                                  0 if rotated or q == 0 else 4 - q, flags)
        raw.FPDFBitmap_Destroy(bitmap)
        return width, height, channels, buffer.raw
    finally:
        raw.FPDF_ClosePage(page)


def rotated_doc(open_pdf, rotate=90):
    writer = pdfgen.PdfWriter()
    p = writer.page(width=300, height=500, rotate=rotate, crop=(10, 20, 290, 480))
    p.text(40, 400, "Turned page", size=24, color=(1, 0, 0))
    p.raw.append(b"0 0 1 rg 50 60 100 40 re f")
    # enough objects that a progressive render stops between them
    p.raw.extend(f"{i % 7 / 7:.2f} g {20 + i % 25 * 10} {100 + i // 25 * 10} 6 6 re f".encode()
                 for i in range(250))
    return open_pdf(writer)


VARIANTS = [
    {},
    {"rotated": False},
    {"annots": False},
    {"antialias": False},
    {"alpha": True, "background": 0x80336699},
    {"grayscale": True, "clip": (30.5, 40, 300, 200.25)},
]


@pytest.mark.parametrize("path", corpus_files(), ids=lambda p: p.name)
def test_same_bytes_as_pdfium_on_corpus_pages(native, open_pdf, path):
    doc = open_pdf(path)
    for scale in (1, 2):
        for options in VARIANTS:
            assert native.render_page(doc.addr, 0, scale, scale, **options) == \
                oracle(doc.pdf, 0, scale, scale, **options), (scale, options)


@pytest.mark.parametrize("rotate", [90, 180, 270])
def test_same_bytes_as_pdfium_on_a_rotated_page(native, open_pdf, rotate):
    doc = rotated_doc(open_pdf, rotate)
    for options in VARIANTS + [{"rotated": False, "clip": (0, 0, 100, 100)}]:
        for sx, sy in ((1, 1), (0.75, 2)):
            image = native.render_page(doc.addr, 0, sx, sy, **options)
            assert image == oracle(doc.pdf, 0, sx, sy, **options), options
    width, height = native.render_page(doc.addr, 0, 1, 1)[:2]
    assert (width, height) == ((460, 280) if rotate != 180 else (280, 460))
    assert native.render_page(doc.addr, 0, 1, 1, rotated=False)[:2] == (280, 460)


def blank(open_pdf, width=612, height=792):
    writer = pdfgen.PdfWriter()
    writer.page(width=width, height=height)
    return open_pdf(writer)


def test_sizes_and_channels(native, open_pdf):
    doc = blank(open_pdf)
    w, h, c, pixels = native.render_page(doc.addr, 0, 1, 1)
    assert (w, h, c, len(pixels), type(pixels)) == (612, 792, 3, 1_454_112, bytes)
    assert pixels == b"\xff" * 1_454_112  # opaque white background
    assert native.render_page(doc.addr, 0, 1, 1, alpha=True)[2:] == (4, b"\xff" * 612 * 792 * 4)
    assert native.render_page(doc.addr, 0, 1, 1, grayscale=True)[2] == 1
    assert native.render_page(doc.addr, 0, 1, 1, grayscale=True, alpha=True)[2] == 1
    assert native.render_page(doc.addr, 0, 0.5, 2)[:2] == (306, 1584)
    for scale in (0, -1, math.nan, -math.inf):
        assert native.render_page(doc.addr, 0, scale, scale)[:3] == (1, 1, 3)
    narrow = blank(open_pdf, width=201)
    assert native.render_page(narrow.addr, 0, 100.49999 / 201, 1)[0] == 100
    assert native.render_page(narrow.addr, 0, 100.4999999995 / 201, 1)[0] == 101  # the nudge


def test_clip_is_the_crop_of_the_full_render(native, open_pdf):
    doc = rotated_doc(open_pdf)
    w, h, c, pixels = native.render_page(doc.addr, 0, 2, 2)
    full = np.frombuffer(pixels, np.uint8).reshape(h, w, c)

    def clipped(clip):
        cw, ch, cc, data = native.render_page(doc.addr, 0, 2, 2, clip=clip)
        return np.frombuffer(data, np.uint8).reshape(ch, cw, cc)

    crop = clipped((100, 100, 200, 150))
    assert crop.shape == (100, 200, 3)
    assert np.array_equal(crop, full[200:300, 200:400])
    assert np.array_equal(clipped((200, 150, 100, 100)), crop)  # reversed corners
    assert np.array_equal(clipped((100, 100, 100, 150)), full[200:300, 200:201])  # zero width
    assert clipped((math.nan,) * 4).shape == (1, 1, 3)
    beyond = clipped((w / 2 - 10, 0, w / 2 + 10, 10))  # half off the page: background
    assert beyond.shape == (20, 40, 3) and (beyond[:, 20:] == 255).all()
    assert np.array_equal(beyond[:, :20], full[:20, w - 20:])


def test_background(native, open_pdf):
    doc = blank(open_pdf, 20, 10)
    blue = native.render_page(doc.addr, 0, 1, 1, background=0xFF0000FF)
    assert blue[:3] == (20, 10, 3) and blue[3] == bytes([0, 0, 255]) * 200
    rgba = native.render_page(doc.addr, 0, 1, 1, alpha=True, background=0x80112233)[3]
    assert rgba == bytes([0x11, 0x22, 0x33, 0x80]) * 200
    assert native.render_page(doc.addr, 0, 1, 1, background=0)[3] == bytes(600)


@pytest.mark.parametrize("timeout, exception, message", [
    (-1, ValueError, "cannot convert float seconds to Duration: value is negative"),
    (-math.inf, ValueError, "cannot convert float seconds to Duration: value is negative"),
    (math.nan, ValueError, "cannot convert float seconds to Duration: value is either too big or NaN"),
    (math.inf, ValueError, "cannot convert float seconds to Duration: value is either too big or NaN"),
    (2.0**64, ValueError, "cannot convert float seconds to Duration: value is either too big or NaN"),
    (2.0**63 + 2.0**11, OverflowError, "overflow when adding duration to instant"),
    (1e19, OverflowError, "overflow when adding duration to instant"),
])
def test_unusable_timeouts(native, open_pdf, timeout, exception, message):
    doc = blank(open_pdf)
    with pytest.raises(exception) as info:
        native.render_page(doc.addr, 0, 1, 1, timeout=timeout)
    assert type(info.value) is exception and str(info.value) == message


def test_timeouts(native, open_pdf):
    doc = rotated_doc(open_pdf)
    plain = native.render_page(doc.addr, 0, 1, 1)
    for timeout in (3600, 2.0**62, 0.5):
        assert native.render_page(doc.addr, 0, 1, 1, timeout=timeout) == plain
    try:
        assert native.render_page(doc.addr, 0, 1, 1, timeout=0) == plain
    except RuntimeError as error:
        assert str(error) == "rendering took longer than 0ns"
    # A page that takes far longer than 1.5 µs: the duration in its largest unit.
    with pytest.raises(RuntimeError) as info:
        native.render_page(doc.addr, 0, 8, 8, timeout=1.5e-6)
    assert str(info.value) == "rendering took longer than 1.5\u00b5s"


def test_page_that_cannot_load(native, open_pdf):
    doc = blank(open_pdf)
    for index in (1, 7, -1):
        with pytest.raises(RuntimeError) as info:
            native.render_page(doc.addr, index, 1, 1)
        assert str(info.value) == f"cannot load page {index}"


def test_buffer_that_cannot_be_allocated(native, open_pdf):
    doc = blank(open_pdf)
    for clip in ((0, 0, 1e7, 1e7), (0, 0, 1e12, 1e12)):
        with pytest.raises(MemoryError):
            native.render_page(doc.addr, 0, 1, 1, clip=clip)
    assert native.render_page(doc.addr, 0, 0.1, 0.1)[:3] == (61, 79, 3)  # still alive


NOT_BOOL, NOT_TUPLE = ("object cannot be converted to 'PyBool'",
                       "object cannot be converted to 'PyTuple'")
ARGUMENT_ERRORS = [
    # (args, kwargs, exception, message; a message ending in "..." is a prefix)
    ((1, 0, 1), {}, TypeError, "render_page() missing 1 required positional argument: 'scale_y'"),
    ((1, 0, 1, 1) + (None,) * 9, {}, TypeError,
     "render_page() takes from 4 to 12 positional arguments but 13 were given"),
    ((1, 0, 1, 1), {"dpi": 72}, TypeError, "render_page() got an unexpected keyword argument 'dpi'"),
    ((1, 0, 1, 1), {"scale_x": 2}, TypeError,
     "render_page() got multiple values for argument 'scale_x'"),
    ((1, 0, 1, None), {}, TypeError, "argument 'scale_y': ..."),
    ((1, 0, 1, 1), {"clip": [0, 0, 1, 1]}, TypeError, f"argument 'clip': 'list' {NOT_TUPLE}"),
    ((1, 0, 1, 1), {"background": -1}, OverflowError,
     "argument 'background': out of range integral type conversion attempted"),
    ((1, 0, 1, 1), {"background": 2**32}, OverflowError,
     "argument 'background': out of range integral type conversion attempted"),
    ((1, 0, 1, 1), {"background": 2**100}, OverflowError,
     "argument 'background': out of range integral type conversion attempted"),
    ((1, 0, 1, 1), {"background": 1.0}, TypeError,
     "argument 'background': 'float' object cannot be interpreted as an integer"),
    ((1, 0, 1, 1), {"timeout": "1"}, TypeError, "argument 'timeout': ..."),
    ((1, 0, 1, 1), {"antialias": 1}, TypeError, f"argument 'antialias': 'int' {NOT_BOOL}"),
]


@pytest.mark.parametrize("args, kwargs, exception, message", ARGUMENT_ERRORS)
def test_argument_errors(native, args, kwargs, exception, message):
    assert_raises_text(lambda: native.render_page(*args, **kwargs), exception, message)


def test_accepted_argument_forms(native, open_pdf):
    doc = blank(open_pdf, 20, 10)
    expected = native.render_page(doc.addr, 0, 1, 1, None, True, False, False, True, True,
                                  WHITE, None)
    assert native.render_page(doc_addr=doc.addr, index=0, scale_x=1.0, scale_y=True) == expected
    assert native.render_page(doc.addr, 0, np.float32(1), 1, rotated=np.bool_(True),
                              background=np.uint32(WHITE), clip=(0, 0, np.int64(20), 10)) == expected
    assert str(inspect.signature(native.render_page)) == (
        "(doc_addr, index, scale_x, scale_y, clip=None, rotated=True, alpha=False, "
        "grayscale=False, annots=True, antialias=True, background=4294967295, timeout=None)")


def test_allocations_stay_flat(native, open_pdf):
    doc = rotated_doc(open_pdf)
    failing = [
        lambda: native.render_page(doc.addr, 5, 1, 1),
        lambda: native.render_page(doc.addr, 0, 1, 1, timeout=-1),
        lambda: native.render_page(doc.addr, 0, 1, 1, timeout=1e19),
        lambda: native.render_page(doc.addr, 0, 1, 1, clip=(0, 0, 1e7, 1e7)),
        lambda: native.render_page(doc.addr, 0, 1, 1, clip=[0, 0, 1, 1]),
        lambda: native.render_page(doc.addr, 0, 1, 1, background=-1),
        lambda: native.render_page(doc.addr, 0, "1", 1),
    ]

    def step():
        native.render_page(doc.addr, 0, 0.1, 0.1)
        native.render_page(doc.addr, 0, 0.1, 0.2, clip=(1, 2, 30, 40), alpha=True, timeout=60)
        for call in failing:
            with pytest.raises((RuntimeError, ValueError, OverflowError, MemoryError, TypeError)):
                call()

    assert_no_growth(step)
