"""A page's images: ``Page.images()``, read through PDFium's page-object API
(pypdfium2's raw binding). Callers hold the PDFium lock.

Image objects inside form XObjects are found in place, their matrices
composed with the forms', to the depth extraction walks; boxes are in page
space. Damaged objects (failing calls, NaN, absurd or empty matrices) are
skipped.
"""

from __future__ import annotations

import ctypes
import math
from typing import TYPE_CHECKING, Any, NamedTuple

import pypdfium2.raw as raw

from textloom._types import Rect

if TYPE_CHECKING:
    from textloom._image import Image

MAX_DEPTH = 8
"""Forms nested deeper than this are not walked: real files nest two or three."""
MAX_OBJECTS = 100_000
"""Objects read at most per page: past it a page is damage or a vector drawing."""
MAX_COORDINATE = 1e6
"""Page coordinates past a million points (350 metres) are damage: such an
image is skipped, as extraction skips it."""

COLOR_SPACES = {raw.FPDF_COLORSPACE_DEVICEGRAY: "DeviceGray", raw.FPDF_COLORSPACE_DEVICERGB: "DeviceRGB",
                raw.FPDF_COLORSPACE_DEVICECMYK: "DeviceCMYK", raw.FPDF_COLORSPACE_CALGRAY: "CalGray",
                raw.FPDF_COLORSPACE_CALRGB: "CalRGB", raw.FPDF_COLORSPACE_LAB: "Lab",
                raw.FPDF_COLORSPACE_ICCBASED: "ICCBased", raw.FPDF_COLORSPACE_SEPARATION: "Separation",
                raw.FPDF_COLORSPACE_DEVICEN: "DeviceN", raw.FPDF_COLORSPACE_INDEXED: "Indexed",
                raw.FPDF_COLORSPACE_PATTERN: "Pattern"}
_COMPONENTS = {"DeviceGray": 1, "CalGray": 1, "DeviceRGB": 3, "CalRGB": 3, "Lab": 3,
               "DeviceCMYK": 4, "Separation": 1, "Indexed": 1}

Matrix = tuple[float, float, float, float, float, float]


class PageImage(NamedTuple):
    """One image drawn on a page: its box in page space, its pixel size, bits per
    component and colour space name (None where PDFium gives none), and the page."""

    bbox: Rect
    width: int
    height: int
    bits_per_component: int | None
    colorspace: str | None
    page: Any  # the Page it stands on (not imported: Page imports this module)

    def render(self, scale: float | None = None, *, dpi: float | None = None) -> Image:
        """The page rendered in this image's box (unturned page space)."""
        image: Image = self.page.render(scale, dpi=dpi, clip=self.bbox, rotated=False)
        return image


def _compose(inner: Matrix, outer: Matrix) -> Matrix:
    a, b, c, d, e, f = inner
    A, B, C, D, E, F = outer
    return (a * A + b * C, a * B + b * D, c * A + d * C, c * B + d * D,
            e * A + f * C + E, e * B + f * D + F)


def _details(image: Any, page: Any) -> tuple[int, int, int | None, str | None]:
    width, height = ctypes.c_uint(0), ctypes.c_uint(0)
    if not raw.FPDFImageObj_GetImagePixelSize(image, ctypes.byref(width), ctypes.byref(height)):
        width.value = height.value = 0
    metadata = raw.FPDF_IMAGEOBJ_METADATA()
    if not raw.FPDFImageObj_GetImageMetadata(image, page, ctypes.byref(metadata)):
        return width.value, height.value, None, None
    space = COLOR_SPACES.get(metadata.colorspace)
    components = _COMPONENTS.get(space or "")
    bits = metadata.bits_per_pixel // components if components and metadata.bits_per_pixel else None
    return width.value, height.value, bits, space


def read_images(page: Any, crop: Rect, owner: Any) -> list[PageImage]:
    """The page's image objects, in content order (forms walked in place)."""
    found: list[PageImage] = []
    seen = 0

    def walk(count: int, get: Any, outer: Matrix, depth: int) -> None:
        nonlocal seen
        for index in range(count):
            seen += 1
            if seen > MAX_OBJECTS:
                return
            obj = get(index)
            if not obj:
                continue
            kind = raw.FPDFPageObj_GetType(obj)
            if kind not in (raw.FPDF_PAGEOBJ_IMAGE, raw.FPDF_PAGEOBJ_FORM):
                continue
            m = raw.FS_MATRIX()
            own: Matrix = ((m.a, m.b, m.c, m.d, m.e, m.f) if raw.FPDFPageObj_GetMatrix(obj, m)
                           else (1.0, 0.0, 0.0, 1.0, 0.0, 0.0))
            matrix = _compose(own, outer)
            if kind == raw.FPDF_PAGEOBJ_FORM:
                if depth < MAX_DEPTH:
                    walk(max(0, int(raw.FPDFFormObj_CountObjects(obj))),
                         lambda i, form=obj: raw.FPDFFormObj_GetObject(form, i), matrix, depth + 1)
                continue
            a, b, c, d, e, f = matrix
            xs = [e, a + e, c + e, a + c + e]
            ys = [f, b + f, d + f, b + d + f]
            if not all(math.isfinite(v) and abs(v) <= MAX_COORDINATE for v in xs + ys):
                continue
            box = (min(xs) - crop[0], crop[3] - max(ys), max(xs) - crop[0], crop[3] - min(ys))
            if not (box[2] > box[0] and box[3] > box[1]):
                continue  # a matrix that draws it nowhere
            found.append(PageImage(box, *_details(obj, page), owner))

    walk(max(0, int(raw.FPDFPage_CountObjects(page))), lambda i: raw.FPDFPage_GetObject(page, i),
         (1.0, 0.0, 0.0, 1.0, 0.0, 0.0), 0)
    return found


SCAN_RESOLUTION_TOLERANCE = 0.1
"""How far a scan's own resolution may stand from the one OCR asks for and its
own pixels still be read instead of a rendering: Tesseract reads type alike
at 270 and 330 dpi, and a rendering would only resample the same pixels."""
_CHANNELS = {raw.FPDFBitmap_Gray: 1, raw.FPDFBitmap_BGR: 3, raw.FPDFBitmap_BGRx: 4}


def scan_pixels(page: Any, crop: Rect, dpi: float, max_pixels: int) -> tuple[Image, float] | None:
    """A scanned page's own pixels in grey and their resolution, where the page is
    one opaque image drawn upright over all of it (nothing else drawn, no
    annotation) at about ``dpi``, with at most ``max_pixels``: what a rendering
    at ``dpi`` shows, without PDFium scaling a copy of the scan (most of a
    rendering's cost). None otherwise: the page is rendered."""
    if raw.FPDFPage_CountObjects(page) != 1 or raw.FPDFPage_GetAnnotCount(page) != 0:
        return None
    obj = raw.FPDFPage_GetObject(page, 0)
    if (not obj or raw.FPDFPageObj_GetType(obj) != raw.FPDF_PAGEOBJ_IMAGE
            or raw.FPDFPageObj_HasTransparency(obj)):
        return None
    m = raw.FS_MATRIX()
    width, height, _, space = _details(obj, page)
    if (not raw.FPDFPageObj_GetMatrix(obj, m) or m.b != 0 or m.c != 0 or space is None
            or not (m.a > 0 and m.d > 0) or not 0 < width * height <= max_pixels):
        return None  # turned, mirrored, a stencil mask (no colour space) or too big
    resolution = width * 72.0 / m.a
    pixel = 72.0 / resolution
    edges = (m.e - crop[0], m.f - crop[1], m.e + m.a - crop[2], m.f + m.d - crop[3])
    if not (abs(resolution / dpi - 1) <= SCAN_RESOLUTION_TOLERANCE
            and abs(height * 72.0 / m.d / resolution - 1) <= SCAN_RESOLUTION_TOLERANCE
            and all(abs(edge) <= pixel for edge in edges)):
        return None  # another resolution, not the whole crop box, or NaN
    from textloom import _native
    from textloom._image import Image as Pixels

    bitmap = raw.FPDFImageObj_GetBitmap(obj)
    if not bitmap:
        return None
    try:
        channels = _CHANNELS.get(raw.FPDFBitmap_GetFormat(bitmap))
        size = (raw.FPDFBitmap_GetWidth(bitmap), raw.FPDFBitmap_GetHeight(bitmap))
        stride = raw.FPDFBitmap_GetStride(bitmap)
        if channels is None or size != (width, height):
            return None
        pixels = ctypes.string_at(raw.FPDFBitmap_GetBuffer(bitmap), stride * height)
    finally:
        raw.FPDFBitmap_Destroy(bitmap)
    grey = _native.grey_pixels(pixels, width, height, stride, channels)
    return Pixels(width, height, 1, grey), resolution
