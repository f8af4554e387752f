"""Reading scanned pages: Tesseract 5 through its C API, on pixels in memory.

The engine is the system's libtesseract (Debian: ``tesseract-ocr`` with
``tesseract-ocr-eng`` and ``tesseract-ocr-osd``), loaded with ctypes when a
page first needs it and kept, one per process and language: the command
line's workers each make their own. Its models are on disk; nothing is
fetched, ever. It runs one thread (OMP_THREAD_LIMIT=1 unless set): workers
are processes, and ``--jobs`` is the only knob.

Words come back with their boxes in page space (the page rendered unturned at
``dpi``, so a pixel maps to the page by one scale) and Tesseract's confidence
(0 to 100).
"""

from __future__ import annotations

import ctypes
import ctypes.util
import os
from typing import TYPE_CHECKING, Any, NamedTuple

if TYPE_CHECKING:
    from textloom._image import Image

MAX_PIXELS = 1 << 26
"""Pixels of the largest image handed to the engine (8192 x 8192): a page past
it at the asked dpi is rendered at a lower one. Tesseract's memory grows with
the image, and text past this is read as well at the lower resolution."""

_WORD = 3  # RIL_WORD
MIN_ORIENTATION = 2.0
"""Confidence below which Tesseract's orientation detection is a guess, and the
page is read as rendered."""


class OcrWord(NamedTuple):
    """One word the engine read: its box in page space, text and confidence (0 to 100)."""

    x0: float
    y0: float
    x1: float
    y1: float
    text: str
    confidence: float


class OcrUnavailable(ImportError):
    """No OCR engine: the message says what to install."""


_HINT = ("OCR needs Tesseract 5 and its English and orientation data (Debian: apt-get install "
         "tesseract-ocr tesseract-ocr-eng tesseract-ocr-osd), then textloom[ocr]")


def _library() -> Any:
    path = ctypes.util.find_library("tesseract") or "libtesseract.so.5"
    try:
        lib = ctypes.CDLL(path)
    except OSError:
        raise OcrUnavailable(_HINT) from None
    handle, text, iterator = ctypes.c_void_p, ctypes.c_char_p, ctypes.c_void_p
    signatures: dict[str, tuple[Any, list[Any]]] = {
        "TessBaseAPICreate": (handle, []),
        "TessBaseAPIInit3": (ctypes.c_int, [handle, text, text]),
        "TessBaseAPISetVariable": (ctypes.c_int, [handle, text, text]),
        "TessBaseAPISetImage": (None, [handle, ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                       ctypes.c_int, ctypes.c_int]),
        "TessBaseAPISetSourceResolution": (None, [handle, ctypes.c_int]),
        "TessBaseAPIRecognize": (ctypes.c_int, [handle, ctypes.c_void_p]),
        "TessBaseAPIGetIterator": (iterator, [handle]),
        "TessBaseAPIClear": (None, [handle]),
        "TessBaseAPIDetectOrientationScript": (ctypes.c_int, [
            handle, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_float),
            ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_float)]),
        "TessResultIteratorGetPageIterator": (iterator, [iterator]),
        "TessPageIteratorBoundingBox": (ctypes.c_int, [iterator, ctypes.c_int] + [
            ctypes.POINTER(ctypes.c_int)] * 4),
        "TessResultIteratorGetUTF8Text": (ctypes.c_void_p, [iterator, ctypes.c_int]),
        "TessResultIteratorConfidence": (ctypes.c_float, [iterator, ctypes.c_int]),
        "TessResultIteratorNext": (ctypes.c_int, [iterator, ctypes.c_int]),
        "TessResultIteratorDelete": (None, [iterator]),
        "TessDeleteText": (None, [ctypes.c_void_p]),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(lib, name)
        function.restype, function.argtypes = result, arguments
    return lib


class Engine:
    """One Tesseract instance for one language."""

    def __init__(self, language: str) -> None:
        os.environ.setdefault("OMP_THREAD_LIMIT", "1")
        self.lib = _library()
        self.handle = self.lib.TessBaseAPICreate()
        if self.lib.TessBaseAPIInit3(self.handle, None, language.encode()) != 0:
            raise OcrUnavailable(f'Tesseract has no data for language "{language}": {_HINT}')
        self.lib.TessBaseAPISetVariable(self.handle, b"debug_file", os.devnull.encode())

    def _set(self, image: Image, dpi: float) -> None:
        self.lib.TessBaseAPISetImage(self.handle, image.data, image.width, image.height,
                                     image.channels, image.stride)
        self.lib.TessBaseAPISetSourceResolution(self.handle, max(1, round(dpi)))

    def words(self, image: Image, dpi: float) -> list[tuple[int, int, int, int, str, float]]:
        """Words of ``image`` in pixels: (left, top, right, bottom, text, confidence)."""
        lib = self.lib
        self._set(image, dpi)
        try:
            if lib.TessBaseAPIRecognize(self.handle, None) != 0:
                raise RuntimeError("Tesseract could not read the page")
            iterator = lib.TessBaseAPIGetIterator(self.handle)
            if not iterator:
                return []
            out: list[tuple[int, int, int, int, str, float]] = []
            try:
                page = lib.TessResultIteratorGetPageIterator(iterator)
                box = [ctypes.c_int() for _ in range(4)]
                while True:
                    pointer = lib.TessResultIteratorGetUTF8Text(iterator, _WORD)
                    if pointer:
                        text = ctypes.string_at(pointer).decode("utf-8", "replace").strip()
                        lib.TessDeleteText(pointer)
                        boxed = lib.TessPageIteratorBoundingBox(page, _WORD, *map(ctypes.byref, box))
                        if text and boxed:
                            left, top, right, bottom = (b.value for b in box)
                            confidence = float(lib.TessResultIteratorConfidence(iterator, _WORD))
                            out.append((left, top, right, bottom, text, confidence))
                    if not lib.TessResultIteratorNext(iterator, _WORD):
                        break
            finally:
                lib.TessResultIteratorDelete(iterator)
            return out
        finally:
            lib.TessBaseAPIClear(self.handle)


    def orientation(self, image: Image, dpi: float) -> int:
        """Degrees (0, 90, 180, 270) to turn ``image`` counter-clockwise for its
        text to stand upright; 0 when the detection is unsure. Needs the "osd" engine."""
        self._set(image, dpi)
        degrees, confidence = ctypes.c_int(0), ctypes.c_float(0)
        script, script_confidence = ctypes.c_char_p(), ctypes.c_float(0)
        try:
            found = self.lib.TessBaseAPIDetectOrientationScript(
                self.handle, ctypes.byref(degrees), ctypes.byref(confidence), ctypes.byref(script),
                ctypes.byref(script_confidence))
        finally:
            self.lib.TessBaseAPIClear(self.handle)
        # Tesseract's rule of thumb: an orientation of confidence below 2 is a guess.
        return degrees.value % 360 if found and confidence.value >= MIN_ORIENTATION else 0


_engines: dict[str, Engine] = {}


def engine(language: str) -> Engine:
    """This process's engine for ``language``, made on first use."""
    found = _engines.get(language)
    if found is None:
        found = _engines[language] = Engine(language)
    return found


def available() -> bool:
    """Whether OCR can run here (the engine loads and has English)."""
    try:
        engine("eng")
    except OcrUnavailable:
        return False
    return True


def ocr_dpi(width: float, height: float, dpi: float) -> float:
    """``dpi``, or less where a page of ``width`` x ``height`` points would pass ``MAX_PIXELS``."""
    area = max(width * height, 1e-9) / (72.0 * 72.0)
    return min(dpi, float((MAX_PIXELS / area) ** 0.5))


def _turned(image: Image, degrees: int) -> Image:
    """``image`` turned ``degrees`` counter-clockwise (Pillow, of the ocr extra)."""
    from textloom._image import Image as Pixels

    turned = image.to_pil().rotate(degrees, expand=True)
    return Pixels(turned.size[0], turned.size[1], image.channels, turned.tobytes())


def _unturned(box: tuple[int, int, int, int], degrees: int, width: int,
              height: int) -> tuple[int, int, int, int]:
    """A box of the image turned ``degrees`` counter-clockwise, in the image as it was
    (``width`` x ``height``)."""
    left, top, right, bottom = box
    if degrees == 90:
        return width - bottom, left, width - top, right
    if degrees == 180:
        return width - right, height - bottom, width - left, height - top
    if degrees == 270:
        return top, height - right, bottom, height - left
    return box


OSD_DPI = 150.0
"""Orientation detection reads a rendering at this resolution: the shape of
lines tells their turn before letters are all legible, at a quarter of the
pixels of 300 dpi."""


def page_words(image: Image, language: str, dpi: float, width: float, height: float,
               small: Image | None = None) -> tuple[list[OcrWord], int]:
    """The words of a page's unturned rendering ``image``, boxes in page space, and
    how the text stands: 0, or the page rotation (90, 180, 270) under which it
    reads upright, as Tesseract's orientation detection finds it on ``small``
    (the page at ``OSD_DPI``; ``image`` itself when None)."""
    sample, sample_dpi = (image, dpi) if small is None else (small, min(dpi, OSD_DPI))
    degrees = engine("osd").orientation(sample, sample_dpi) if _has_osd() else 0
    read = _turned(image, degrees) if degrees else image
    sx, sy = width / image.width, height / image.height
    words = []
    for *box, text, confidence in engine(language).words(read, dpi):
        left, top, right, bottom = _unturned((box[0], box[1], box[2], box[3]), degrees,
                                             image.width, image.height)
        words.append(OcrWord(left * sx, top * sy, right * sx, bottom * sy, text, confidence))
    return words, (360 - degrees) % 360


def _has_osd() -> bool:
    try:
        engine("osd")
    except OcrUnavailable:
        return False
    return True

