"""Finding text on a page, with the boxes it is drawn in: ``Page.search`` and
``Page.text_map``.

Matching runs on the page's text in reading order (``get_text("text")``),
normalised on both sides the same way: NFKC (ligatures and full-width forms
as their letters), case folded unless ``case``, diacritics dropped when
``diacritics`` is false, every run of white space and line feeds one space,
and a hyphen that ends a line before a letter joined away ("exam-" + "ple" is
"example"). Each normalised character remembers the page character it came
from, so a match maps back to a range of the page text and to the boxes of
its characters, one box per line it touches.
"""

from __future__ import annotations

import array
import re
import sys
import unicodedata
from collections.abc import Iterator, Sequence
from typing import TYPE_CHECKING, Any, NamedTuple

from textloom._types import Rect

if TYPE_CHECKING:
    from textloom._tables import Table


class Fragment(NamedTuple):
    """The part of a match on one line: its box, block number and line index."""

    bbox: Rect
    block: int
    line: int


class Match(NamedTuple):
    """One match: the page text it covers (``start``, ``end``: a range of
    ``get_text("text", sort=...)``), and its fragments, one per line."""

    text: str
    start: int
    end: int
    fragments: list[Fragment]

    @property
    def boxes(self) -> list[Rect]:
        return [fragment.bbox for fragment in self.fragments]


_LITTLE_ENDIAN = sys.byteorder == "little"  # as the native module writes the boxes


def _swapped(kind: str, data: bytes) -> array.array[Any]:
    values = array.array(kind, data)
    values.byteswap()
    return values


class TextMap:
    """A page's text and, for any range of it, the boxes it covers."""

    __slots__ = ("text", "_boxes", "_ids", "_folds")

    def __init__(self, text: str, boxes: bytes, ids: bytes) -> None:
        self.text = text
        # Read in place, as the native module wrote them (the machine's own
        # doubles and ints): a search reads the few places its matches cover.
        self._boxes = memoryview(boxes).cast("d") if _LITTLE_ENDIAN else _swapped("d", boxes)
        self._ids = memoryview(ids).cast("i") if _LITTLE_ENDIAN else _swapped("i", ids)
        self._folds: dict[tuple[bool, bool], tuple[str, Sequence[int]]] = {}

    def normalised(self, case: bool, diacritics: bool) -> tuple[str, Sequence[int]]:
        """``normalised(text, case, diacritics)``, kept: every search of the
        page with these options reads it."""
        key = (case, diacritics)
        folded = self._folds.get(key)
        if folded is None:
            folded = self._folds[key] = normalised(self.text, case, diacritics)
        return folded

    def fragments(self, start: int, end: int) -> list[Fragment]:
        """The boxes of the text's characters from ``start`` to ``end``, one per
        line they stand on (line feeds have none)."""
        out: list[Fragment] = []
        boxes, ids = self._boxes, self._ids
        line: tuple[int, int] | None = None
        x0 = y0 = x1 = y1 = 0.0
        for index in range(max(start, 0), min(end, len(self.text))):
            at = 4 * index
            left = boxes[at]
            if left != left:  # NaN: a line feed
                continue
            here = (ids[2 * index], ids[2 * index + 1])
            if here == line:
                x0, y0 = min(x0, left), min(y0, boxes[at + 1])
                x1, y1 = max(x1, boxes[at + 2]), max(y1, boxes[at + 3])
                continue
            if line is not None:
                out.append(Fragment((x0, y0, x1, y1), *line))
            line, x0, y0, x1, y1 = here, left, boxes[at + 1], boxes[at + 2], boxes[at + 3]
        if line is not None:
            out.append(Fragment((x0, y0, x1, y1), *line))
        return out

    def boxes(self, start: int, end: int) -> list[Rect]:
        return [fragment.bbox for fragment in self.fragments(start, end)]


def _fold(text: str, case: bool, diacritics: bool) -> str:
    folded = unicodedata.normalize("NFKC", text)
    if not case:
        folded = folded.casefold()
    if not diacritics:
        folded = "".join(ch for ch in unicodedata.normalize("NFD", folded)
                         if not unicodedata.combining(ch))
    return folded


# The folds of the characters beyond ASCII met so far, by (case, diacritics):
# a page's text holds few distinct ones, and most of them every page of a
# document holds again. Bounded, as a long run meets every script there is.
_FOLDS: dict[tuple[bool, bool], dict[str, str]] = {}
_MAX_FOLDS = 1 << 16


def normalised(text: str, case: bool, diacritics: bool) -> tuple[str, Sequence[int]]:
    """``text`` normalised for matching, and for each of its characters the
    index of the character of ``text`` it came from."""
    from textloom import _native

    folds = _FOLDS.setdefault((case, diacritics), {})
    folded = _native.fold_text(text, case, folds)
    if isinstance(folded, list):  # characters not met before: folded here once
        if len(folds) + len(folded) > _MAX_FOLDS:
            folds.clear()
        folds.update((ch, _fold(ch, case, diacritics)) for ch in folded)
        folded = _native.fold_text(text, case, folds)
        assert not isinstance(folded, list)
    out, origin = folded
    return out, memoryview(origin).cast("i")


def _word_char(ch: str) -> bool:
    return ch.isalnum() or ch == "_"


def find(page_map: TextMap, query: str, *, regex: bool, case: bool, words: bool,
         diacritics: bool) -> Iterator[Match]:
    """The matches of ``query`` in ``page_map``'s text, in reading order, apart."""
    text = page_map.text
    haystack, origin = page_map.normalised(case, diacritics)
    spans: Iterator[tuple[int, int]]
    if regex:
        from textloom import _native

        spans = iter(_native.find_pattern(query, haystack, not case))
    else:
        needle = " ".join(_fold(query, case, diacritics).split())
        if not needle:
            return
        spans = _plain(haystack, needle)
    for start, end in spans:
        if words and ((start > 0 and _word_char(haystack[start - 1]) and _word_char(haystack[start]))
                      or (end < len(haystack) and _word_char(haystack[end])
                          and _word_char(haystack[end - 1]))):
            continue
        first, last = origin[start], origin[end - 1] + 1
        yield Match(text[first:last], first, last, page_map.fragments(first, last))


def _plain(haystack: str, needle: str) -> Iterator[tuple[int, int]]:
    at = haystack.find(needle)
    while at >= 0:
        yield at, at + len(needle)
        at = haystack.find(needle, at + len(needle))


_MARKUP = (("**", ""), ("__", ""), ("<sup>", ""), ("</sup>", ""), ("<sub>", ""), ("</sub>", ""))


def _plain_markdown(unit: str) -> tuple[str, list[int]]:
    """A Markdown unit's text without its markup (heading and list markers,
    emphasis, code ticks, link targets, escapes), and for each character kept
    its offset in ``unit``."""
    keep = [True] * len(unit)
    lead = re.match(r"\s*(?:#{1,6} |[-*+] |\d{1,3}[.)] |> )?", unit)
    for k in range(lead.end() if lead else 0):
        keep[k] = False
    for link in re.finditer(r"\[([^\]]*)\]\([^)]*\)", unit):
        keep[link.start()] = False
        for k in range(link.end(1), link.end()):
            keep[k] = False
    for marker, _ in _MARKUP:
        for found in re.finditer(re.escape(marker), unit):
            for k in range(found.start(), found.end()):
                keep[k] = False
    for k, ch in enumerate(unit):
        if ch == "\\" and k + 1 < len(unit):
            keep[k] = False
        elif ch in "`_" and (k == 0 or unit[k - 1] != "\\"):
            keep[k] = False
    offsets = [k for k in range(len(unit)) if keep[k]]
    return "".join(unit[k] for k in offsets), offsets


def chunk_spans(markdown: str, page_map: TextMap,
                tables: Sequence[Table] = ()) -> list[dict[str, Any]]:
    """For each unit of a page's Markdown (a paragraph, heading or list item:
    text between blank lines, an item per line), its offsets in ``markdown``
    and the boxes of the page text it stands for, found in order in the page
    text as search finds text (case, accents and line breaks as written); and
    for each cell with text of the ``tables`` written in it, the offsets of
    its text and the cell's box. In the order of their starts."""
    haystack, origin = page_map.normalised(True, True)
    spans: list[dict[str, Any]] = []
    at = 0  # where the next unit is looked for in the page text
    position = 0
    for block in markdown.split("\n\n"):
        lines = block.split("\n")
        items = lines if lines and all(line.lstrip()[:2] in ("- ", "* ", "+ ") or line[:1].isdigit()
                                      for line in lines if line.strip()) else [block]
        offset = position
        for unit in items:
            if unit.strip() and not unit.startswith(("```", "|")):
                text, offsets = _plain_markdown(unit)
                needle, needle_origin = normalised(text, True, True)
                needle = needle.strip()
                found = haystack.find(needle, at) if needle else -1
                if found >= 0:
                    first, last = origin[found], origin[found + len(needle) - 1] + 1
                    start = offset + offsets[needle_origin[0]] if needle_origin else offset
                    spans.append({"start": start, "end": offset + len(unit),
                                  "boxes": page_map.boxes(first, last)})
                    at = found + len(needle)
            offset += len(unit) + 1
        position += len(block) + 2
    taken: set[int] = set()
    for table in tables:
        written, cells = table.markdown_cells()
        written = written.rstrip("\n")
        at = markdown.find(written)
        while at in taken:  # the same table twice on a page: each is its own place
            at = markdown.find(written, at + 1)
        if at < 0:
            continue
        taken.add(at)
        spans += [{"start": at + start, "end": at + end, "boxes": [cell.bbox]}
                  for cell, start, end in cells]
    return sorted(spans, key=lambda span: span["start"])
