"""One page in pdftext's shapes: its dictionary, from ``Page.pdftext_blocks``, and its plain text.

The native blocks carry three private span keys that this post-pass reads
and removes: "_base" (the span's baseline across the line), "_sup" (raised
above the line's first character) and "_vertical". It also turns the view's
rotation into pdftext's (the angle PDFium gives a character: clockwise, in
the unrotated page) and puts "lines" before "bbox" as pdftext does.
"""

from __future__ import annotations

import math
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any

from textloom.compat._pdftext_links import Geometry, Target, apply_links, page_links, whole

if TYPE_CHECKING:
    from textloom._document import Document
    from textloom._page import Page

TAU = 2 * math.pi
SCRIPT_OFFSET = 0.21  # em: a baseline this far off the line's first one marks a script
# The sign of "down" on the unrotated page in the coordinate "_base" holds for
# its left-to-right lines: the view's y (0 and 180 degrees) or x (90 and 270).
_DOWN = {0: 1.0, 90: -1.0, 180: -1.0, 270: 1.0}

Span = dict[str, Any]
Hits = list[tuple[Target, list[Span]]]


@dataclass(frozen=True)
class Options:
    """What a call asked of every page; handed to worker processes."""

    sort: str | None  # textloom's reading order, or None for the order of the content
    hyphens: bool = False
    keep_chars: bool = False
    links: bool = True
    flatten: bool = False


def _pdftext_angle(rotation: float, page_turn: float) -> float:
    """pdftext's rotation of a line whose direction in the page's view has the
    counter-clockwise angle ``rotation``, on a page turned ``page_turn`` radians
    clockwise for viewing."""
    angle = (-rotation - page_turn) % TAU
    return 0.0 if angle > TAU - 1e-9 else angle


def _finish_line(spans: list[Span], page_turn: float, down: float) -> None:
    """Flags, rotation and keys of one line's spans, in place."""
    first = spans[0]
    rotation = first["rotation"]
    if rotation or page_turn:
        rotation = _pdftext_angle(rotation, page_turn)
        for span in spans:
            span["rotation"] = rotation
            for char in span.get("chars", ()):
                char["rotation"] = rotation
    # Scripts only on lines running left to right on the unrotated page, the
    # lines whose raised spans layout marks.
    scripts = rotation == 0.0
    base = first["_base"]
    for span in spans:
        if span.pop("_sup"):
            span["superscript"] = True
        elif scripts and span["_base"] != base and span["font"]["name"]:
            lowered = (span["_base"] - base) * down
            span["subscript"] = lowered > SCRIPT_OFFSET * span["font"]["size"]
        del span["_base"], span["_vertical"]


def finish_blocks(blocks: list[dict[str, Any]], page_rotation: int) -> list[dict[str, Any]]:
    """pdftext's blocks from ``pdftext_blocks``: the post-pass of every line."""
    page_turn = math.radians(page_rotation)
    down = _DOWN.get(page_rotation, 1.0)
    finished = []
    for block in blocks:
        lines = []
        for line in block["lines"]:
            spans = line["spans"]
            _finish_line(spans, page_turn, down)
            lines.append({"spans": spans, "bbox": line["bbox"]})
        finished.append({"lines": lines, "bbox": block["bbox"]})
    return finished


def _read_links(document: Document, index: int, geometry: Geometry) -> list[Any]:
    from textloom._links import read_link_dests

    handle = document._handle
    with handle.pdfium_page(index) as page:
        found = read_link_dests(handle.pdf().raw, page.raw, geometry.crop)
        return page_links(found, geometry)


def _links(document: Document, page: Page, geometry: Geometry) -> list[Any]:
    """The page's links, read with its glyphs; pypdfium2 loads the page again only
    when a link leads to a page, for its destination's point."""
    native = page.links()
    if any(link.page is not None for link in native):
        return _read_links(document, page.index, geometry)
    return page_links([(link, None) for link in native], geometry)


def flatten(document: Document, index: int) -> None:
    """Merges the page's form fields and annotations into its content, in the open
    document only, before its text is read."""
    import pypdfium2.raw as raw

    with document._handle.pdfium_page(index, forms=True) as page:
        raw.FPDFPage_Flatten(page.raw, raw.FLAT_NORMALDISPLAY)


def page_dict(document: Document, index: int, options: Options) -> tuple[dict[str, Any], Hits]:
    """pdftext's dictionary of one page (its "refs" left empty) and the page's
    links to pages that cover text, whose spans' URLs the caller sets."""
    if options.flatten:
        flatten(document, index)
    page: Page = document[index]
    rotation = page.rotation
    crop = page.crop
    geometry = Geometry(crop, rotation, page.width, page.height)
    links = _links(document, page, geometry) if options.links else []
    blocks = finish_blocks(
        page.pdftext_blocks(sort=options.sort, keep_chars=options.keep_chars or bool(links)),
        rotation)
    hits = apply_links(blocks, links, options.keep_chars) if links else []
    width, height = whole(page.width), whole(page.height)
    bbox: tuple[float, ...] | list[float] = crop
    if rotation in (90, 270):  # pdftext turns the box and the size with the page
        width, height = height, width
        bbox = [crop[1], crop[0], crop[3], crop[2]]
    return {"page": index, "bbox": bbox, "width": width, "height": height, "rotation": rotation,
            "blocks": blocks, "refs": []}, hits


def _joined_lines(lines: list[str], joined: str) -> list[bool]:
    """For each line of a block, whether de-hyphenation joined it to the next, read
    off the block's de-hyphenated text ``joined``; the last line never is."""
    flags = []
    position = 0
    for line in lines[:-1]:
        kept = joined.startswith(line + "\n", position)
        flags.append(not kept)
        position += len(line) + 1 if kept else len(line) - 1
    return flags + [False]


def _move_words(lines: list[str], joins: list[bool]) -> list[str]:
    """Lines where a hyphenated word's end moves up to its start, the hyphen
    dropped; a line that gives up its only word goes."""
    out: list[str] = []
    previous_joins = False
    for line, line_joins in zip(lines, joins):
        if previous_joins:
            word, _, rest = line.lstrip(" ").partition(" ")
            out[-1] = out[-1][:-1] + word
            line = rest.lstrip(" ")
        if line or not previous_joins:
            out.append(line)
        previous_joins = line_joins
    return out


def page_text(document: Document, index: int, options: Options) -> str:
    """pdftext's plain text of one page: lines joined by a line feed, blocks by
    an empty line; without ``options.hyphens`` a word split by a hyphen at a line
    end (de-hyphenation's rule) is joined on the line where it starts."""
    if options.flatten:
        flatten(document, index)
    page = document[index]
    # pdftext reads every character of the page's content, as the viewer's
    # extras (text off the page, form values) are not.
    texts = [row[4][:-1] for row in page.get_text("blocks", sort=options.sort, offpage=True,
                                                     forms=False)]
    if not options.hyphens and any("-\n" in text for text in texts):
        joined = page.get_text("blocks", sort=options.sort, dehyphenate=True, offpage=True,
                               forms=False)
        for number, (text, row) in enumerate(zip(texts, joined)):
            if "-\n" in text:
                lines = text.split("\n")
                texts[number] = "\n".join(_move_words(lines, _joined_lines(lines, row[4])))
    return "\n\n".join(texts)
