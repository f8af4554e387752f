"""Type names of the text results, shared by the public API and the native stubs."""

from __future__ import annotations

from typing import Any, NamedTuple

Rect = tuple[float, float, float, float]
"""x0, y0, x1, y1 in page space: origin at the crop box's top-left corner, y down, PDF units."""

BlockRow = tuple[float, float, float, float, str, int, int]
"""x0, y0, x1, y1, text, block number, block type (always 0: text)."""

WordRow = tuple[float, float, float, float, str, int, int, int]
"""x0, y0, x1, y1, text, block number, line number, word number."""

Sort = str | bool | None
"""Reading order: None or "none", "simple" (True), "xycut" or "reading"."""

TextDict = dict[str, Any]
"""The "dict" and "rawdict" schemas: width, height and nested blocks, lines, spans (, chars)."""

PdftextBlock = dict[str, Any]
"""One block of the pdftext schema."""


class Link(NamedTuple):
    """A link annotation: ``bbox`` in page space, and a ``uri`` or a target ``page`` index."""

    bbox: Rect
    uri: str | None
    page: int | None
