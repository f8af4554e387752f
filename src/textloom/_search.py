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

import re
import unicodedata
from collections.abc import Callable, Sequence
from typing import TYPE_CHECKING, Any, NamedTuple, cast

from textloom import _native
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


class TextMap:
    """A page's text and, for any range of it, the boxes it covers."""

    __slots__ = ("_map",)

    def __init__(self, laid_out: _native.TextMap) -> None:
        self._map = laid_out  # the page laid out once: every range and query reads it

    @property
    def text(self) -> str:
        return self._map.text

    def normalised(self, case: bool, diacritics: bool) -> tuple[str, Sequence[int]]:
        """The text as ``normalised(text, case, diacritics)`` gives it, kept:
        every search of the page with these options reads it."""
        out, origin = cast("tuple[str, bytes]", _with_folds(
            lambda folds: self._map.fold(case, folds), case, diacritics))
        return out, memoryview(origin).cast("i")

    def fragments(self, start: int, end: int) -> list[Fragment]:
        """The boxes of the text's characters from ``start`` to ``end``, one per
        line they stand on (line feeds have none)."""
        return [_new(Fragment, fragment)
                for fragment in self._map.fragments(max(start, 0), max(end, 0))]

    def boxes(self, start: int, end: int) -> list[Rect]:
        return [bbox for bbox, _, _ in self._map.fragments(max(start, 0), max(end, 0))]

    def find(self, query: str, *, regex: bool, case: bool, words: bool,
             diacritics: bool) -> list[Match]:
        """The matches of ``query`` (folded here unless ``regex``) in the text, in
        reading order, apart."""
        return self._find(query, regex, case, words, diacritics)

    def _find(self, query: str, regex: bool, case: bool, words: bool,
              diacritics: bool) -> list[Match]:
        """``find`` with its options in order, for ``Page.search``: a page's first
        search costs little beyond its layout."""
        needle = query if regex else _NEEDLES.get((query, case, diacritics)) or _needle(
            query, case, diacritics)
        if not needle:
            return []
        # Made as Match and Fragment by the native call: a page can hold
        # thousands of matches.
        found = self._map.find(needle, _FOLDS[case, diacritics], regex, case, words, Match,
                               Fragment)
        if found.__class__ is str:  # characters never folded before: folded, then again
            found = _with_folds(lambda folds: self._map.find(
                needle, folds, regex, case, words, Match, Fragment), case, diacritics, found)
        return cast("list[Match]", found)


# Fragments made straight from the native module's tuples, without their
# __new__'s argument binding.
_new: Any = tuple.__new__


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
_FOLDS: dict[tuple[bool, bool], _native.FoldTable] = {
    (case, diacritics): _native.FoldTable() for case in (False, True)
    for diacritics in (False, True)}
_MAX_FOLDS = 1 << 16


def _with_folds(call: Callable[[_native.FoldTable], Any], case: bool, diacritics: bool,
                result: Any = None) -> Any:
    """``call(folds)`` with the table of ``case`` and ``diacritics``: where it
    answers with the characters the table lacks (a str), they are folded here
    once and it is called again. ``result``: what a first call answered, if
    the caller made one."""
    folds = _FOLDS[case, diacritics]
    if result is None:
        result = call(folds)
    if type(result) is str and len(folds) + len(result) > _MAX_FOLDS:
        folds.clear()  # once a call: then the table only grows, so this ends
    while type(result) is str:
        folds.add({ch: _fold(ch, case, diacritics) for ch in result})
        result = call(folds)
    return result


# Queries folded, by (query, case, diacritics): a search tool asks the same
# few of page after page. Bounded as the folds are.
_NEEDLES: dict[tuple[str, bool, bool], str] = {}


def _needle(query: str, case: bool, diacritics: bool) -> str:
    """``query`` folded as the page text is, its white space runs one space."""
    if len(_NEEDLES) >= _MAX_FOLDS:
        _NEEDLES.clear()
    needle = _NEEDLES[query, case, diacritics] = " ".join(_fold(query, case, diacritics).split())
    return needle


def normalised(text: str, case: bool, diacritics: bool) -> tuple[str, Sequence[int]]:
    """``text`` normalised for matching, and for each of its characters the
    index of the character of ``text`` it came from."""
    out, origin = cast("tuple[str, bytes]", _with_folds(
        lambda folds: _native.fold_text(text, case, folds), case, diacritics))
    return out, memoryview(origin).cast("i")


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
