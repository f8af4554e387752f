"""Type names of the text results, shared by the public API and the native stubs."""

from __future__ import annotations

from typing import Any, NamedTuple

Rect = tuple[float, float, float, float]
"""x0, y0, x1, y1 in page space: origin at the crop box's top-left corner, y down, PDF units."""

BlockRow = tuple[float, float, float, float, str, int, int]
"""x0, y0, x1, y1, text, block number, block type (always 0: text)."""

WordRow = tuple[float, float, float, float, str, int, int, int]
"""x0, y0, x1, y1, text, block number, line number, word number."""

OcrWordRow = tuple[float, float, float, float, str, int, int, int, float | None]
"""A word of an OCR'd page with ``extended``: a WordRow and the engine's
confidence (0 to 100; None where no OCR word lies in its box)."""

Sort = str | bool | None
"""Reading order: None or "none", "simple" (True), "xycut" or "reading"."""

TextDict = dict[str, Any]
"""The "dict" and "rawdict" schemas: width, height and nested blocks, lines, spans (, chars)."""

PdftextBlock = dict[str, Any]
"""One block of the pdftext schema."""

NativeTable = tuple[Rect, int, int, int, list[tuple[int, int, int, int, Rect, str]], tuple[int, ...],
                    bool]
"""One table as the native finder gives it: bbox, rows, cols, header, cells
(row, col, row_span, col_span, bbox, text), chars, ruled."""


class Link(NamedTuple):
    """A link annotation: ``bbox`` in page space, and a ``uri`` or a target ``page`` index."""

    bbox: Rect
    uri: str | None
    page: int | None


class FormField(NamedTuple):
    """One widget of a form field. ``value``: the text of a text field (None when
    empty), whether a checkbox or radio button is on, the chosen option texts of
    a combo or list box, None for buttons and signatures."""

    name: str
    type: str  # text, checkbox, radio, combo, list, button, signature or unknown
    value: str | bool | list[str] | None
    bbox: Rect
    read_only: bool


class Annotation(NamedTuple):
    """One annotation: its subtype ("Text", "Link", "FreeText", "Highlight",
    "Widget", ...), box, contents, author and modification date (ISO 8601 when it
    parses), and a link's target: a URI or a page index (from 0)."""

    subtype: str
    bbox: Rect
    contents: str | None
    author: str | None
    modified: str | None
    uri: str | None = None
    page: int | None = None


class TextSignals(NamedTuple):
    """What a page's glyphs and objects say about its text, before anyone reads
    it. Shares are from 0 to 1. ``needs_ocr`` with its ``reason``: "no text"
    (no chars, and images cover at least half the page: a scan), "garbled"
    (most chars have no Unicode, or only a private-use one, or 200 Latin
    letters or more hold fewer than 15% or more than 70% vowels, as no
    language's do); None when the
    page reads as it is (invisible text over an image is an OCR layer already)."""

    chars: int  # chars that are not white space
    words: int
    unmapped_share: float  # chars without Unicode (U+FFFD) or in a private-use area
    invisible_share: float  # chars drawn invisible (text render mode 3)
    offpage_share: float  # words wholly outside the crop box
    image_share: float  # of the page's area, under image objects
    needs_ocr: bool
    reason: str | None
