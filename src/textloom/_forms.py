"""Interactive form fields drawn onto a native rendering.

The native renderer draws page content and annotations but leaves form
fields to the host: they need PDFium's form-fill environment, which
pypdfium2 owns. This draws them with ``FPDF_FFLDraw`` onto a copy of the
native pixels, on the grid the native renderer planned. Callers hold the
PDFium lock.
"""

from __future__ import annotations

import ctypes
from typing import Any

import pypdfium2.raw as raw

from textloom._handle import RenderPlan

_GRAY, _REVERSE_BYTE_ORDER, _ANNOT, _NO_SMOOTHING = 0x08, 0x10, 0x01, 0x7000
_FORMATS = {1: raw.FPDFBitmap_Gray, 3: raw.FPDFBitmap_BGR, 4: raw.FPDFBitmap_BGRA}


def draw_forms(formenv: Any, page: Any, pixels: bytes, channels: int, plan: RenderPlan, *,
               annots: bool, antialias: bool) -> bytes:
    """``pixels`` with the page's form fields drawn on top (a new bytes object)."""
    flags = (_GRAY if channels == 1 else _REVERSE_BYTE_ORDER) | (0 if antialias else _NO_SMOOTHING)
    if annots:
        flags |= _ANNOT
    width, height = plan.width, plan.height
    buffer = bytearray(pixels)
    memory = (ctypes.c_ubyte * len(buffer)).from_buffer(buffer)
    bitmap = raw.FPDFBitmap_CreateEx(width, height, _FORMATS[channels], memory, width * channels)
    if not bitmap:
        raise MemoryError(f"cannot create a {width}x{height} bitmap for form fields")
    try:
        raw.FPDF_FFLDraw(formenv, bitmap, page, plan.start_x, plan.start_y, plan.page_width,
                         plan.page_height, plan.rotate, flags)
    finally:
        raw.FPDFBitmap_Destroy(bitmap)
    del memory  # release the export before bytearray is copied out
    return bytes(buffer)
