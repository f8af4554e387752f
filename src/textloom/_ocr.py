"""Reading scanned pages: Tesseract 5 through its C API, on pixels in memory.

The engine is the system's libtesseract (Debian: ``tesseract-ocr`` with
``tesseract-ocr-eng`` and ``tesseract-ocr-osd``), loaded with ctypes when a
page first needs it and kept, one per process and language: the command
line's workers each make their own. Its models are on disk; nothing is
fetched, ever. It runs one thread (OMP_THREAD_LIMIT=1 unless set): workers
are processes, and ``--jobs`` is the only knob.

Words come back with their boxes in page space (the page rendered unturned at
``dpi``, so a pixel maps to the page by one scale) and Tesseract's confidence
(0 to 100). Tesseract segments the page itself (its automatic page
segmentation: columns and table cells apart). A page is read once as it
stands; only a reading that is unsure, or whose words stand on end, makes
Tesseract's orientation detection look, and a page it finds turned is read
again with Tesseract's own turning of each block (the boxes stay in the
rendering's frame), the more confident reading kept. Where an upright page
keeps much ink outside the words read, a second, sparse reading of that ink
alone finds the words the layout analysis dropped as noise.
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

_BLOCK, _LINE, _WORD = 0, 2, 3  # RIL_BLOCK, RIL_TEXTLINE, RIL_WORD
_DRAWN = frozenset((9, 10, 11, 12, 13))  # PT_FLOWING_IMAGE, _HEADING_IMAGE, _PULLOUT_IMAGE,
# PT_HORZ_LINE, PT_VERT_LINE: blocks of pictures and rules, which hold no text
MIN_ORIENTATION = 2.0
"""Confidence below which Tesseract's orientation detection is a guess (its own
rule of thumb), and the page is taken as upright."""
_AUTO, _AUTO_OSD = 3, 1  # PSM_AUTO, PSM_AUTO_OSD: Tesseract's own layout analysis, without or with
# its orientation data (the API's default, one uniform block, runs columns and table cells together)
_SPARSE = 11  # PSM_SPARSE_TEXT: as much text as can be found, in no particular order


Box = tuple[int, int, int, int]
"""A box in pixels: left, top, right, bottom."""
Read = tuple[int, int, int, int, str, float, int, int, int, int]
"""A word as Engine.words gives it (its docstring says what each item is)."""


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
        "TessBaseAPISetRectangle": (None, [handle] + [ctypes.c_int] * 4),
        "TessBaseAPIRecognize": (ctypes.c_int, [handle, ctypes.c_void_p]),
        "TessBaseAPIGetIterator": (iterator, [handle]),
        "TessBaseAPIClear": (None, [handle]),
        "TessBaseAPISetPageSegMode": (None, [handle, ctypes.c_int]),
        "TessBaseAPIDetectOrientationScript": (ctypes.c_int, [
            handle, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_float),
            ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_float)]),
        "TessBaseAPIGetDatapath": (text, [handle]),
        "TessPageIteratorOrientation": (None, [iterator] + [ctypes.POINTER(ctypes.c_int)] * 3 + [
            ctypes.POINTER(ctypes.c_float)]),
        "TessResultIteratorGetPageIterator": (iterator, [iterator]),
        "TessPageIteratorBoundingBox": (ctypes.c_int, [iterator, ctypes.c_int] + [
            ctypes.POINTER(ctypes.c_int)] * 4),
        "TessResultIteratorGetUTF8Text": (ctypes.c_void_p, [iterator, ctypes.c_int]),
        "TessResultIteratorConfidence": (ctypes.c_float, [iterator, ctypes.c_int]),
        "TessResultIteratorNext": (ctypes.c_int, [iterator, ctypes.c_int]),
        "TessResultIteratorDelete": (None, [iterator]),
        "TessPageIteratorNext": (ctypes.c_int, [iterator, ctypes.c_int]),
        "TessPageIteratorBlockType": (ctypes.c_int, [iterator]),
        "TessDeleteText": (None, [ctypes.c_void_p]),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(lib, name)
        function.restype, function.argtypes = result, arguments
    _quiet_leptonica()
    return lib


def _quiet_leptonica() -> None:
    """Silence Leptonica, Tesseract's image library, which writes its complaints
    (a box clipped to a reading's rectangle) to the process's stderr, where
    they would mix with the command line's own lines."""
    try:
        leptonica = ctypes.CDLL(ctypes.util.find_library("lept") or "liblept.so.5")
    except OSError:
        return  # a Tesseract built without a separate Leptonica: nothing to silence
    leptonica.setMsgSeverity.argtypes, leptonica.setMsgSeverity.restype = [ctypes.c_int], ctypes.c_int
    leptonica.setMsgSeverity(6)  # L_SEVERITY_NONE


class Engine:
    """One Tesseract instance for one language."""

    def __init__(self, language: str) -> None:
        os.environ.setdefault("OMP_THREAD_LIMIT", "1")
        self.lib = _library()
        self.handle = self.lib.TessBaseAPICreate()
        if self.lib.TessBaseAPIInit3(self.handle, None, language.encode()) != 0:
            raise OcrUnavailable(f'Tesseract has no data for language "{language}": {_HINT}')
        self.lib.TessBaseAPISetVariable(self.handle, b"debug_file", os.devnull.encode())
        data = (self.lib.TessBaseAPIGetDatapath(self.handle) or b"").decode(errors="replace")
        self.turns = os.path.exists(os.path.join(data, "osd.traineddata"))

    def _set(self, image: Image, dpi: float) -> None:
        self.lib.TessBaseAPISetImage(self.handle, image.data, image.width, image.height,
                                     image.channels, image.stride)
        self.lib.TessBaseAPISetSourceResolution(self.handle, max(1, round(dpi)))

    def words(self, image: Image, dpi: float, turned: bool = False, sparse: bool = False,
              within: Box | None = None, drawn: list[Box] | None = None) -> list[Read]:
        """Words of ``image`` in pixels: (left, top, right, bottom, text, confidence,
        then the text line's extent across the word's reading direction (from, to),
        the turn of the word's block: the page rotation under which it reads
        upright, 0, 90, 180 or 270; and the number of its text line). With
        ``turned``, Tesseract first finds how the page is turned (where it has
        its orientation data); with ``sparse``, it looks for text without its layout
        analysis; ``within``: only the pixels of that box (left, top, right, bottom);
        ``drawn``, a list to which the boxes of the blocks its layout analysis
        found to be pictures or rules are added."""
        lib = self.lib
        lib.TessBaseAPISetPageSegMode(self.handle, _SPARSE if sparse else (
            _AUTO_OSD if turned and self.turns else _AUTO))
        self._set(image, dpi)
        if within is not None:
            left, top, right, bottom = within
            lib.TessBaseAPISetRectangle(self.handle, left, top, right - left, bottom - top)
        try:
            if lib.TessBaseAPIRecognize(self.handle, None) != 0:
                raise RuntimeError("Tesseract could not read the page")
            iterator = lib.TessBaseAPIGetIterator(self.handle)
            if not iterator:
                return []
            out: list[Read] = []
            try:
                page = lib.TessResultIteratorGetPageIterator(iterator)
                box = [ctypes.c_int() for _ in range(4)]
                turn = [ctypes.c_int() for _ in range(3)]
                deskew = ctypes.c_float()
                line: tuple[int, int, int, int] = (0, 0, 0, 0)
                number = 0
                while True:
                    # A new text line shows as a new line box: cheaper than asking
                    # the iterator, which works out the line's word order to answer.
                    if lib.TessPageIteratorBoundingBox(page, _LINE, *map(ctypes.byref, box)):
                        boxed_line = (box[0].value, box[1].value, box[2].value, box[3].value)
                        number += boxed_line != line
                        line = boxed_line
                    pointer = lib.TessResultIteratorGetUTF8Text(iterator, _WORD)
                    if pointer:
                        text = ctypes.string_at(pointer).decode("utf-8", "replace").strip()
                        lib.TessDeleteText(pointer)
                        boxed = lib.TessPageIteratorBoundingBox(page, _WORD, *map(ctypes.byref, box))
                        if text and boxed:
                            left, top, right, bottom = (b.value for b in box)
                            confidence = float(lib.TessResultIteratorConfidence(iterator, _WORD))
                            lib.TessPageIteratorOrientation(page, *map(ctypes.byref, turn),
                                                            ctypes.byref(deskew))
                            # ORIENTATION_PAGE_UP, _RIGHT, _DOWN, _LEFT: the text's top
                            # points up, right, down or left in the image.
                            upright = (360 - 90 * turn[0].value) % 360
                            across = (top, bottom, line[1], line[3]) if upright in (0, 180) else (
                                left, right, line[0], line[2])
                            out.append((left, top, right, bottom, text, confidence,
                                        min(across[0], across[2]), max(across[1], across[3]),
                                        upright, number))
                    if not lib.TessResultIteratorNext(iterator, _WORD):
                        break
            finally:
                lib.TessResultIteratorDelete(iterator)
            if drawn is not None:
                self._drawn_blocks(drawn)
            return out
        finally:
            lib.TessBaseAPIClear(self.handle)

    def _drawn_blocks(self, drawn: list[Box]) -> None:
        """Adds to ``drawn`` the boxes of the last reading's blocks of pictures and rules."""
        lib = self.lib
        iterator = lib.TessBaseAPIGetIterator(self.handle)
        if not iterator:
            return
        try:
            page = lib.TessResultIteratorGetPageIterator(iterator)
            box = [ctypes.c_int() for _ in range(4)]
            while True:
                if (lib.TessPageIteratorBlockType(page) in _DRAWN
                        and lib.TessPageIteratorBoundingBox(page, _BLOCK, *map(ctypes.byref, box))):
                    drawn.append((box[0].value, box[1].value, box[2].value, box[3].value))
                if not lib.TessPageIteratorNext(page, _BLOCK):
                    break
        finally:
            lib.TessResultIteratorDelete(iterator)


    def turned(self, image: Image, dpi: float) -> bool:
        """Whether ``image``'s text stands turned (90, 180 or 270 degrees) by Tesseract's
        orientation detection, which needs the "osd" engine; False where it is unsure."""
        self._set(image, dpi)
        degrees, confidence = ctypes.c_int(0), ctypes.c_float(0)
        script, script_confidence = ctypes.c_char_p(), ctypes.c_float(0)
        try:
            found = self.lib.TessBaseAPIDetectOrientationScript(
                self.handle, ctypes.byref(degrees), ctypes.byref(confidence), ctypes.byref(script),
                ctypes.byref(script_confidence))
        finally:
            self.lib.TessBaseAPIClear(self.handle)
        return bool(found) and degrees.value % 360 != 0 and confidence.value >= MIN_ORIENTATION


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


OSD_DPI = 150.0
"""Orientation detection reads the page at about this resolution: the shape of
lines tells their turn before letters are all legible, and the detection's
cost grows with the pixels."""


def _for_osd(image: Image, dpi: float) -> tuple[Image, float]:
    """``image`` shrunk by a whole factor to about ``OSD_DPI`` (Pillow's box
    reduction, a few milliseconds), and its resolution."""
    factor = int(dpi // OSD_DPI)
    if factor < 2:
        return image, dpi
    from textloom._image import Image as Pixels

    small = image.to_pil().reduce(factor)
    return Pixels(small.size[0], small.size[1], image.channels, small.tobytes()), dpi / factor


UPRIGHT_CONFIDENCE = 60.0
"""Mean confidence (by characters) above which a reading without orientation
detection stands: Tesseract's LSTM gives text it reads upright 85 to 95 (the
corpus pages at 300 dpi, 87.7 to 95.3), and text turned 90 or 180 degrees
under 35 (the sample so turned: 29.1); 60 lies between with room both ways.
Below it Tesseract's orientation detection looks at the page, and where it
finds the text turned, the page is read again with Tesseract's turning (a
quarter to a half of a reading dearer than a plain one) and the more
confident reading is kept: an unsure upright page pays the detection alone."""


def _mean_confidence(read: list[Read]) -> float:
    chars = sum(len(word[4]) for word in read)
    return sum(word[5] * len(word[4]) for word in read) / chars if chars else 0.0


def _plainly_upright(read: list[Read]) -> bool:
    """Whether a reading without orientation detection holds: confident, and most
    of its characters in words that run across the image, as upright text does
    (Tesseract reads some text turned a quarter without turning its boxes)."""
    across = sum(len(word[4]) for word in read if word[2] - word[0] >= word[3] - word[1])
    chars = sum(len(word[4]) for word in read)
    return not chars or (_mean_confidence(read) >= UPRIGHT_CONFIDENCE and 2 * across > chars)


Run = tuple[str, float, float, float, float]
"""A word as the layout takes it (RsPage.with_text): text and box in page space."""


def page_words(image: Image, language: str, dpi: float, width: float,
               height: float) -> tuple[list[OcrWord], list[Run], int]:
    """The words of a page's unturned rendering ``image``, boxes in page space;
    the same words as runs for the layout, each as tall as its text line (the
    engine boxes ink, so "was" would stand smaller and lower than "High" on the
    same line); and how the text stands: the page rotation (0, 90, 180, 270)
    under which most of its characters read upright."""
    reader = engine(language)
    drawn: list[Box] = []
    read = reader.words(image, dpi, drawn=drawn)
    if reader.turns and not _plainly_upright(read) and engine("osd").turned(*_for_osd(image, dpi)):
        again = reader.words(image, dpi, turned=True)
        read = again if _mean_confidence(again) >= _mean_confidence(read) else read
    if all(word[8] == 0 for word in read):
        read += _missed_words(reader, image, dpi, read, drawn)
    sx, sy = width / image.width, height / image.height
    words, runs = [], []
    turns = dict.fromkeys((0, 90, 180, 270), 0)
    last: Read | None = None
    for word in read:
        left, top, right, bottom, text, confidence, low, high, upright, line = word
        words.append(OcrWord(left * sx, top * sy, right * sx, bottom * sy, text, confidence))
        if last is not None and last[9] == line and last[8] == upright:
            runs.extend(_space(last, word, sx, sy))
        last = word
        if upright in (0, 180):
            top, bottom = low, high
        else:
            left, right = low, high
        runs.append((text, left * sx, top * sy, right * sx, bottom * sy))
        turns[upright] += len(text)
    return words, runs, max(turns, key=lambda turn: turns[turn])


def _space(before: Read, after: Read, sx: float, sy: float) -> list[Run]:
    """A space between two words of one text line, over the gap between their boxes
    and as tall as the line: the engine saw them on one line, so the layout
    keeps them on one however wide the gap (justified lines, wide type), as it
    keeps a PDF's words around its spaces."""
    if after[8] in (0, 180):
        start, end = min(before[2], after[2]), max(before[0], after[0])
        box = (start, after[6], end, after[7])
    else:
        start, end = min(before[3], after[3]), max(before[1], after[1])
        box = (after[6], start, after[7], end)
    if end <= start:
        return []
    return [(" ", box[0] * sx, box[1] * sy, box[2] * sx, box[3] * sy)]


MISSED_INK = 2500
"""Dark pixels at 300 dpi (scaled by the square of the resolution) left on an
upright page once the words read and the engine's pictures and rules are
whited out, from which on a second,
sparse reading looks there for words Tesseract's layout analysis dropped as
noise (a margin's line numbers, numbers alone on their lines, a dense
table's last rows). A page read whole leaves 100 to 1,300 (specks, the ends
of rules; corpus pages), a character of 10 pt type about 275."""
MISSED_CONFIDENCE = 80.0
"""Confidence from which on a word of the sparse reading is kept: words read
right score 85 to 97 (the corpus scans), the letters it makes of what is
left of rules and drawings 0 to 50."""
INK = 128
"""Grey levels below this are ink (the middle of the scale)."""


def _missed_words(reader: Engine, image: Image, dpi: float, read: list[Read],
                  drawn: list[Box]) -> list[Read]:
    """Words of ``image`` that ``read`` lacks: the page with its words whited out
    (each box grown by a quarter of its height, so no word is read twice in
    part) and the pictures and rules the engine found (``drawn``), read again
    sparsely where enough ink is left, within that ink's box."""
    if image.channels != 1:
        return []
    from PIL import ImageDraw

    page = image.to_pil().copy()
    draw = ImageDraw.Draw(page)
    for left, top, right, bottom, *_ in read:
        pad = (bottom - top) // 4
        draw.rectangle((left - pad, top - pad, right + pad, bottom + pad), fill=255)
    edge = max(1, round(dpi / 100))  # a rule's soft edge, about a quarter point
    for left, top, right, bottom in drawn:
        draw.rectangle((left - edge, top - edge, right + edge, bottom + edge), fill=255)
    if sum(page.histogram()[:INK]) < MISSED_INK * (dpi / 300.0) ** 2:
        return []
    within = page.point([255 if level < INK else 0 for level in range(256)]).getbbox()
    if within is None:
        return []
    from textloom._image import Image as Pixels

    lines = max((word[9] for word in read), default=0)
    return [(*word[:9], word[9] + lines) for word in reader.words(
        Pixels(image.width, image.height, 1, page.tobytes()), dpi, sparse=True, within=within)
        if word[5] >= MISSED_CONFIDENCE and any(char.isalnum() for char in word[4])]
