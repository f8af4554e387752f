"""Page boxes and the pixel grid of a rendered page, as the native module computes them.

The host needs both where it adds to native results: interactive form
fields are drawn onto a native rendering at the very offsets the native
renderer used.
"""

from __future__ import annotations

import ctypes
import math
from typing import Any, NamedTuple

import pypdfium2.raw as raw

_INT_MIN, _INT_MAX = -(2**31), 2**31 - 1


def read_crop_box(page: Any) -> tuple[float, float, float, float]:
    """Crop box (left, bottom, right, top) in PDF user space, falling back to the
    media box, the bounding box and US Letter. Callers hold the PDFium lock."""
    left, bottom, right, top = (ctypes.c_float() for _ in range(4))
    if raw.FPDFPage_GetCropBox(page, left, bottom, right, top) or raw.FPDFPage_GetMediaBox(
            page, left, bottom, right, top):
        return (left.value, bottom.value, right.value, top.value)
    rect = raw.FS_RECTF()
    if raw.FPDF_GetPageBoundingBox(page, rect):
        return (rect.left, rect.bottom, rect.right, rect.top)
    return (0.0, 0.0, 612.0, 792.0)


def _pixel(value: float) -> int:
    """floor(value + 0.5 + 1e-9) saturated to a signed 32-bit integer; NaN gives 0."""
    nudged = (value + 0.5) + 1e-9
    if math.isnan(nudged):
        return 0
    if nudged >= _INT_MAX:
        return _INT_MAX
    return max(_INT_MIN, math.floor(nudged))


def _min_num(a: float, b: float) -> float:
    return b if math.isnan(a) else a if math.isnan(b) else min(a, b)


class RenderGrid(NamedTuple):
    """Where the whole page lies relative to the rendered bitmap."""

    start_x: int  # the page's left edge, in bitmap pixels
    start_y: int
    page_width: int  # the whole page, in pixels
    page_height: int
    rotate: int  # PDFium's rotate argument, quarter turns clockwise


def render_grid(crop: tuple[float, float, float, float], rotation: int, scale: float,
                rotated: bool, clip: tuple[float, float, float, float] | None) -> RenderGrid:
    """The grid ``render_page`` draws on: ``rotation`` is PDFium's 0 to 3."""
    width, height = abs(crop[2] - crop[0]), abs(crop[3] - crop[1])
    quarter = rotation & 3
    if rotated and quarter in (1, 3):
        width, height = height, width
    page_width = max(1, _pixel(width * scale))
    page_height = max(1, _pixel(height * scale))
    # A zero-sized box divides to infinity in the native module's doubles.
    sx = page_width / width if width else math.inf
    sy = page_height / height if height else math.inf
    left = top = 0
    if clip is not None:
        left = _pixel(sx * _min_num(clip[0], clip[2]))
        top = _pixel(sy * _min_num(clip[1], clip[3]))
    rotate = 0 if rotated or quarter == 0 else 4 - quarter
    return RenderGrid(-left, -top, page_width, page_height, rotate)
