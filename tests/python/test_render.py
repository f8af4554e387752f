"""render_page: pypdfium2's raw API drawing the same page into a buffer of our
pixel size gives the same bytes; sizes, clips, timeouts, failures, the new
argument conversions. (Pixel plans and durations are the C++ tests' business.)"""

from __future__ import annotations

import ctypes
import math

import numpy as np
import pytest
from pypdfium2 import raw

import pdfgen
from conftest import assert_raises_text, corpus_files, page_of

WHITE = 0xFFFFFFFF
NO_SMOOTHING = (raw.FPDF_RENDER_NO_SMOOTHTEXT | raw.FPDF_RENDER_NO_SMOOTHIMAGE
                | raw.FPDF_RENDER_NO_SMOOTHPATH)


def oracle(doc, width, height, rotated=True, alpha=False, grayscale=False, annots=True,
           antialias=True, background=WHITE):
    """Page 0 drawn whole into width x height pixels blue first, then put red
    first; the page as it lies is the page with its rotation set to 0."""
    page = raw.FPDF_LoadPage(doc.pdf.raw, 0)
    turns = raw.FPDFPage_GetRotation(page)
    channels, fmt = (1, raw.FPDFBitmap_Gray) if grayscale else (4, raw.FPDFBitmap_BGRA) if alpha \
        else (3, raw.FPDFBitmap_BGR)
    buffer = ctypes.create_string_buffer(width * height * channels)
    if not rotated:
        raw.FPDFPage_SetRotation(page, 0)
    bitmap = raw.FPDFBitmap_CreateEx(width, height, fmt, buffer, width * channels)
    raw.FPDFBitmap_FillRect(bitmap, 0, 0, width, height, background)
    raw.FPDF_RenderPageBitmap(bitmap, page, 0, 0, width, height, 0, (
        (raw.FPDF_GRAYSCALE if grayscale else 0) | (raw.FPDF_ANNOT if annots else 0)
        | (0 if antialias else NO_SMOOTHING)))
    raw.FPDFBitmap_Destroy(bitmap)
    if not rotated:
        raw.FPDFPage_SetRotation(page, turns)
    raw.FPDF_ClosePage(page)
    red_first = {1: [0], 3: [2, 1, 0], 4: [2, 1, 0, 3]}[channels]
    pixels = np.frombuffer(buffer.raw, np.uint8).reshape(height, width, channels)[..., red_first]
    return width, height, channels, pixels.tobytes()


def turned_page(rotate):
    """A 280 x 460 crop of colours and text, with enough objects that a
    progressive render stops between them."""
    writer = pdfgen.PdfWriter()
    p = writer.page(width=300, height=500, rotate=rotate, crop=(10, 20, 290, 480))
    p.text(40, 400, "Turned page", size=24, color=(1, 0, 0))
    p.raw.append(b"0 0 1 rg 50 60 100 40 re f")
    p.raw.extend(f"{i % 7 / 7:.2f} g {20 + i % 25 * 10} {100 + i // 25 * 10} 6 6 re f".encode()
                 for i in range(250))
    return writer


@pytest.mark.parametrize("source", corpus_files() + [90, 180, 270],
                         ids=lambda s: getattr(s, "name", f"turned-{s}"))
def test_same_bytes_as_pdfium(native, open_pdf, source):
    doc = open_pdf(turned_page(source) if isinstance(source, int) else source)
    for sx, sy in ((1, 1), (2, 2), (0.75, 2)):
        for options in ({}, {"rotated": False}, {"annots": False}, {"antialias": False},
                        {"alpha": True, "background": 0x80336699}, {"grayscale": True}):
            image = native.render_page(doc.addr, 0, sx, sy, **options)
            assert image == oracle(doc, *image[:2], **options), (sx, sy, options)


def test_clip_is_the_crop_of_the_full_render(native, open_pdf):
    doc = open_pdf(turned_page(90))
    w, h, c, pixels = native.render_page(doc.addr, 0, 2, 2)
    full = np.frombuffer(pixels, np.uint8).reshape(h, w, c)

    def clipped(clip):
        cw, ch, cc, data = native.render_page(doc.addr, 0, 2, 2, clip=clip)
        return np.frombuffer(data, np.uint8).reshape(ch, cw, cc)

    crop = clipped((100, 100, 200, 150))
    assert crop.shape == (100, 200, 3) and np.array_equal(crop, full[200:300, 200:400])
    assert clipped((math.nan,) * 4).shape == (1, 1, 3)
    beyond = clipped((w / 2 - 10, 0, w / 2 + 10, 10))  # half off the page: background
    assert beyond.shape == (20, 40, 3) and (beyond[:, 20:] == 255).all()
    assert np.array_equal(beyond[:, :20], full[:20, w - 20:])


def test_timeouts(native, open_pdf):
    doc = open_pdf(turned_page(90))
    plain = native.render_page(doc.addr, 0, 1, 1)
    for timeout in (3600, 2.0**62, 0.5):
        assert native.render_page(doc.addr, 0, 1, 1, timeout=timeout) == plain
    assert_raises_text(lambda: native.render_page(doc.addr, 0, 8, 8, timeout=1.5e-6),
                       native.RenderTimeout, "rendering took longer than 1.5\u00b5s")


NEGATIVE = "cannot convert float seconds to Duration: value is negative"
TOO_BIG = "cannot convert float seconds to Duration: value is either too big or NaN"
DEADLINE = "overflow when adding duration to instant"
BACKGROUND = "out of range integral type conversion attempted"  # no argument prefix: only TypeErrors carry it


@pytest.mark.parametrize("arguments, exception, message", [
    ({"timeout": -1}, ValueError, NEGATIVE), ({"timeout": math.nan}, ValueError, TOO_BIG),
    ({"timeout": 2.0**64}, ValueError, TOO_BIG),
    ({"timeout": 2.0**63}, OverflowError, DEADLINE),  # past any instant, whatever the clock reads
    ({"index": 1}, RuntimeError, "cannot load page 1"),
    ({"clip": (0, 0, 1e7, 1e7)}, MemoryError,  # refused by the allocator
     "cannot allocate 300000000000000 bytes for a 10000000x10000000 image"),
    ({"clip": (0, 0, 1e12, 1e12)}, MemoryError,  # too big to ask for
     "cannot allocate 13835058042397261827 bytes for a 2147483647x2147483647 image"),
    ({"background": -1}, OverflowError, BACKGROUND),
    ({"background": 2**32}, OverflowError, BACKGROUND),
    ({"background": 1.0}, TypeError,
     "argument 'background': 'float' object cannot be interpreted as an integer"),
    ({"timeout": "1"}, TypeError, "argument 'timeout': ..."),
])
def test_errors(native, open_pdf, arguments, exception, message):
    doc = open_pdf(page_of())
    call = {"doc_addr": doc.addr, "index": 0, "scale_x": 1, "scale_y": 1} | arguments
    assert_raises_text(lambda: native.render_page(**call), exception, message)
    assert native.render_page(doc.addr, 0, 0.1, 0.1)[:3] == (61, 79, 3)  # the process lives on


def test_sizes_background_and_argument_forms(native, open_pdf):
    letter, small = open_pdf(page_of()), open_pdf(page_of(width=20, height=10))
    w, h, c, pixels = native.render_page(letter.addr, 0, 1, 1)
    assert (w, h, c, len(pixels), type(pixels)) == (612, 792, 3, 1_454_112, bytes)
    assert native.render_page(letter.addr, 0, 0.5, 2)[:2] == (306, 1584)
    blue = native.render_page(small.addr, 0, 1, 1, background=0xFF0000FF)
    assert blue == (20, 10, 3, bytes([0, 0, 255]) * 200)
    assert native.render_page(small.addr, 0, 1, 1, None, True, False, False, True, True,
                              np.uint32(WHITE), np.float64(60)) == blue[:3] + (b"\xff" * 600,)
