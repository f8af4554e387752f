"""Link annotations on pdftext's page dictionaries: span URLs and reference targets.

A character belongs to the link whose box it overlaps most (a positive
area; touching is not overlapping), with link boxes rounded to whole units
in pdftext's frame of the page, as pdftext rounds them. A span whose
characters belong to different links, or to a link and none, is cut where
the link changes. A URI link gives its spans the URI; a link to a page gives
its spans an internal URL that the caller numbers across the document
(``Target``), because reference numbers depend on every page before.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from typing import Any, NamedTuple

from textloom._links import dest_point
from textloom._types import Link, Rect

Box = list[float]
Span = dict[str, Any]


class Target(NamedTuple):
    """Where a link to a page leads: the page index and pdftext's coordinates of the
    position it shows (whole units, in the linking page's view)."""

    page: int
    coord: tuple[float, float]


class PageLink(NamedTuple):
    box: Box  # in the page's view, rounded as pdftext rounds it
    uri: str | None
    target: Target | None


def whole(size: float) -> int:
    """A page size rounded up, as pdftext reports it; 0 for a size that is no number."""
    return math.ceil(size) if math.isfinite(size) else 0


def _growth(size: float) -> float:
    return whole(size) - size if math.isfinite(size) else 0.0


class Geometry(NamedTuple):
    """What the view transform needs of a page."""

    crop: Rect  # left, bottom, right, top in PDF user space
    rotation: int  # degrees, clockwise
    width: float  # of the crop box, unrotated
    height: float

    def view(self, x: float, y: float, width: float, height: float) -> tuple[float, float]:
        """A point of page space (y down) in the view the page's rotation gives, on a
        page of ``width`` by ``height``."""
        if self.rotation == 90:
            return height - y, x
        if self.rotation == 180:
            return width - x, height - y
        if self.rotation == 270:
            return y, width - x
        return x, y

    def frame_offset(self) -> tuple[float, float]:
        """pdftext's view less ours: pdftext turns y upside down with the page height
        rounded up, we with the height itself."""
        grow_x, grow_y = _growth(self.width), _growth(self.height)
        if self.rotation == 90:
            return 0.0, 0.0
        if self.rotation == 180:
            return grow_x, 0.0
        if self.rotation == 270:
            return grow_y, grow_x
        return 0.0, grow_y


def _ref_coord(point: tuple[float, float] | None, geometry: Geometry) -> tuple[float, float]:
    """pdftext's coordinates of a destination's position: whole units, one less than
    the point in its view of the linking page; (0, 0) when the destination gives none."""
    if point is None:
        return 0.0, 0.0
    left, bottom = geometry.crop[0], geometry.crop[1]
    width, height = float(whole(geometry.width)), float(whole(geometry.height))
    x, y = geometry.view(point[0] - left, height - (point[1] - bottom), width, height)
    if not (math.isfinite(x) and math.isfinite(y)):
        return 0.0, 0.0
    return float(round(x - 1)), float(round(y - 1))


def page_links(links: Sequence[tuple[Link, Any]], geometry: Geometry) -> list[PageLink]:
    """The page's links (with their PDFium destinations, read while the page is
    open) as boxes in the page's view; links whose rounded box is empty are dropped."""
    width, height = geometry.width, geometry.height
    dx, dy = geometry.frame_offset()
    found: list[PageLink] = []
    for link, dest in links:
        x0, y0, x1, y1 = link.bbox
        corners = (geometry.view(x0, y0, width, height), geometry.view(x1, y1, width, height))
        if not all(math.isfinite(value) for corner in corners for value in corner):
            continue
        xs = sorted(round(x + dx) - dx for x, _ in corners)
        ys = sorted(round(y + dy) - dy for _, y in corners)
        if xs[0] == xs[1] or ys[0] == ys[1]:
            continue
        target = None
        if link.uri is None and link.page is not None:
            target = Target(link.page, _ref_coord(dest_point(dest), geometry))
        found.append(PageLink([xs[0], ys[0], xs[1], ys[1]], link.uri, target))
    return found


def _overlaps(a: Box, b: Box) -> bool:
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def _best_link(box: Box, links: Sequence[PageLink], near: list[int]) -> int:
    """Index of the link of ``near`` that ``box`` overlaps most, the first of
    equals; -1 for none."""
    best, best_area = -1, 0.0
    for number in near:
        other = links[number].box
        width = min(box[2], other[2]) - max(box[0], other[0])
        height = min(box[3], other[3]) - max(box[1], other[1])
        if width > 0 and height > 0 and width * height > best_area:
            best, best_area = number, width * height
    return best


def _cut(span: Span, chars: list[dict[str, Any]], url: str, keep_chars: bool) -> Span:
    boxes = [char["bbox"] for char in chars]
    piece = {
        "bbox": [min(b[0] for b in boxes), min(b[1] for b in boxes),
                 max(b[2] for b in boxes), max(b[3] for b in boxes)],
        "text": "".join(char["char"] for char in chars),
        "font": span["font"],
        "rotation": span["rotation"],
        "char_start_idx": chars[0]["char_idx"],
        "char_end_idx": chars[-1]["char_idx"],
        "url": url,
        "superscript": span["superscript"],
        "subscript": span["subscript"],
    }
    if keep_chars:
        piece["chars"] = chars
    return piece


def _split(span: Span, links: Sequence[PageLink], near: list[int], keep_chars: bool,
           hits: list[list[Span]]) -> list[Span]:
    """``span`` cut where its characters' link changes (links to the same place
    count as one); each piece on a link to a page is added to that link's hits.
    The span itself when no character is on a link."""
    chars = span["chars"]
    owners: list[int] = []
    for char in chars:
        box = char["bbox"]
        # A zero-width box (the second half of a ligature, a glyph painted again)
        # goes with the character before it.
        if owners and not (box[2] > box[0] and box[3] > box[1]):
            owners.append(owners[-1])
        else:
            owners.append(_best_link(box, links, near))
    if all(owner < 0 for owner in owners):
        return [span]
    places = [(links[owner].uri, links[owner].target) if owner >= 0 else None for owner in owners]
    pieces: list[Span] = []
    start = 0
    for end in range(1, len(chars) + 1):
        if end < len(chars) and places[end] == places[start]:
            continue
        owner = owners[start]
        link = links[owner] if owner >= 0 else None
        url = (link.uri or "") if link is not None else ""
        piece = _cut(span, chars[start:end], url, keep_chars)
        if link is not None and link.target is not None:
            hits[owner].append(piece)
        pieces.append(piece)
        start = end
    return pieces


def apply_links(blocks: list[dict[str, Any]], links: Sequence[PageLink],
                keep_chars: bool) -> list[tuple[Target, list[Span]]]:
    """Sets the URLs of URI links on the spans of ``blocks`` (made with characters),
    cutting spans where needed, and drops the characters unless ``keep_chars``.
    Returns the links to pages that cover text, in annotation order, with their
    spans, whose "url" the caller sets once it numbers the references."""
    boxes = [link.box for link in links]
    hits: list[list[Span]] = [[] for _ in links]
    for block in blocks:
        linked = any(_overlaps(block["bbox"], box) for box in boxes)
        for line in block["lines"]:
            near = [n for n, box in enumerate(boxes) if _overlaps(line["bbox"], box)] if linked else []
            if near:
                spans: list[Span] = []
                for span in line["spans"]:
                    # Spaces that layout inserted hold no character of the page: never linked.
                    on = [n for n in near if _overlaps(span["bbox"], boxes[n])]
                    if on and span["font"]["name"]:
                        spans.extend(_split(span, links, on, keep_chars, hits))
                    else:
                        spans.append(span)
                line["spans"] = spans
            if not keep_chars:
                for span in line["spans"]:
                    span.pop("chars", None)
    return [(link.target, spans) for link, spans in zip(links, hits)
            if link.target is not None and spans]
