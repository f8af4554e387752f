"""The engine's confidence on the text results of an OCR'd page: each "dict"
span and each extended word gets the mean confidence of the OCR words it
holds, found by their boxes (the layout keeps no per-glyph origin)."""

from __future__ import annotations

import math
from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    from collections.abc import Iterable, Sequence

    from textloom._ocr import OcrWord

BAND = 12.0
"""Height in points of the bands OCR words are filed in by their centre: about
a line of body type, so a box looks at its own band and its neighbours'."""


class _Index:
    """OCR words filed by the band of their centre, for lookups by box."""

    def __init__(self, words: Sequence[OcrWord]) -> None:
        self.bands: dict[int, list[OcrWord]] = {}
        for word in words:
            middle = (word.y0 + word.y1) / 2
            if math.isfinite(middle):
                self.bands.setdefault(math.floor(middle / BAND), []).append(word)

    def near(self, y0: float, y1: float) -> Iterable[OcrWord]:
        if not (math.isfinite(y0) and math.isfinite(y1)):
            return
        for band in range(math.floor(y0 / BAND) - 1, math.floor(y1 / BAND) + 2):
            yield from self.bands.get(band, ())

    def confidence(self, x0: float, y0: float, x1: float, y1: float) -> float | None:
        """Mean confidence of the OCR words centred in the box, or else of those
        whose box holds the box's centre (a word cut by ``delimiters``)."""
        cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
        inside, around = [], []
        for word in self.near(y0, y1):
            wx, wy = (word.x0 + word.x1) / 2, (word.y0 + word.y1) / 2
            if x0 <= wx <= x1 and y0 <= wy <= y1:
                inside.append(word.confidence)
            elif word.x0 <= cx <= word.x1 and word.y0 <= cy <= word.y1:
                around.append(word.confidence)
        found = inside or around
        return sum(found) / len(found) if found else None


def add_confidence(result: dict[str, Any], words: Sequence[OcrWord]) -> None:
    """Gives each span of a "dict" result (in page space) its "confidence"."""
    index = _Index(words)
    for block in result.get("blocks", []):
        for line in block.get("lines", []):
            for span in line.get("spans", []):
                span["confidence"] = index.confidence(*span["bbox"])


def with_confidence(rows: Sequence[tuple[Any, ...]], unturned: Sequence[tuple[Any, ...]],
                    words: Sequence[OcrWord]) -> list[tuple[Any, ...]]:
    """``rows`` of the "words" schema, each with its confidence as a ninth item,
    found by the boxes of ``unturned``: the same words in page space (``rows``
    may be in the rotated view)."""
    index = _Index(words)
    return [(*row, index.confidence(*box[:4])) for row, box in zip(rows, unturned, strict=True)]
