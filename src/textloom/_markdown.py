"""Markdown of pages: ``Page.to_markdown`` and ``Document.to_markdown``.

The native module writes the Markdown from the pages' glyphs and links; this
module hands it the glyphs and, for page chunks, adds what the document says
about each page.
"""

from __future__ import annotations

import re
from collections.abc import Sequence
from typing import TYPE_CHECKING, Any, NamedTuple

from textloom import _native
from textloom._types import Rect, Sort

if TYPE_CHECKING:
    from textloom._handle import DocumentHandle
    from textloom._search import TextMap
    from textloom._tables import Table
    from textloom._types import Annotation

MarkdownChunk = dict[str, Any]
"""One page of ``Document.to_markdown(page_chunks=True)``: page, label, metadata, toc_items,
needs_ocr, tables, text."""

MARK = "\uE000"
"""Stands for a table or an image in the glyphs the native writer gets (a
private-use character no page text carries in its place), replaced by the
table's pipe table or the image's placeholder in what it writes."""
_MARK_HEIGHT = 9.25  # a mark at 10 pt: body-sized, no heading of its own on most pages


class Insert(NamedTuple):
    """Markdown written in a box's reading-order place: a table's (the chars
    its cells hold, ``replaces``, left out, so each word is written once: in
    the table or as text) or an image's placeholder (``replaces`` empty)."""

    bbox: Rect
    markdown: str
    replaces: Sequence[int]


def table_inserts(tables: Sequence[Table]) -> list[Insert]:
    return [Insert(table.bbox, table.to_markdown().rstrip("\n"), table.chars) for table in tables]


def image_inserts(number: int, boxes: Sequence[Rect]) -> list[Insert]:
    """Placeholders ``![image](page-N-image-K)``, both counted from 1."""
    return [Insert(box, f"![image](page-{number}-image-{k})", ())
            for k, box in enumerate(boxes, start=1)]


def pages_markdown(glyphs: list[_native.RsPage], *, sort: Sort, keep_headers: bool,
                   superscripts: bool, subscripts: bool, links: bool,
                   inserts: Sequence[Sequence[Insert]] = ()) -> list[str]:
    """The Markdown of each page; body size, headings and running lines are found
    over all of them. ``inserts``: each page's tables and image placeholders,
    written in their reading-order places."""
    marked = [_marked(page, found) for page, found in zip(glyphs, inserts)] + glyphs[len(inserts):]
    texts = _native.markdown_pages(marked, sort, keep_headers, superscripts, subscripts, links)
    return [_inserted(text, found) for text, found in zip(texts, inserts)] + texts[len(inserts):]


def _marked(page: _native.RsPage, inserts: Sequence[Insert]) -> _native.RsPage:
    """The page with a mark at each insert's top left, a table's glyphs left out."""
    if not inserts:
        return page
    gone = [index for insert in inserts for index in insert.replaces]
    marks = [(f"{MARK}{number}", insert.bbox[0], insert.bbox[1], insert.bbox[0] + 20,
              insert.bbox[1] + _MARK_HEIGHT) for number, insert in enumerate(inserts)]
    return (page.without_chars(gone) if gone else page).with_text(marks)


def _inserted(text: str, inserts: Sequence[Insert]) -> str:
    """``text`` with each mark replaced by its insert, on a paragraph of its own."""
    if not inserts:
        return text
    def put(match: re.Match[str]) -> str:
        number = int(match[1])
        return f"\n\n{inserts[number].markdown}\n\n" if number < len(inserts) else ""
    out = re.sub(f"{MARK}(\\d+)", put, text)
    out = re.sub(r"\n{3,}", "\n\n", re.sub(r"(?m)^[ \t#>*-]*\n(?=\n)", "", out)).strip("\n")
    return out + "\n" if out else ""


COMMENTS = ("Text", "Highlight", "Underline", "Squiggly", "StrikeOut", "Caret", "Ink", "Stamp")
"""Annotations a reviewer leaves on a page (their pop-ups repeat their contents)."""


def with_comments(text: str, annotations: Sequence[Annotation]) -> str:
    """``text`` with the page's comments after it, as a "Comments" list: each
    comment's author (when given) and contents, on one line."""
    items = [f"- {note.author + ': ' if note.author else ''}{' '.join(note.contents.split())}"
             for note in annotations if note.subtype in COMMENTS and note.contents]
    if not items:
        return text
    return (text + "\n" if text else "") + "**Comments**\n\n" + "\n".join(items) + "\n"


def chunks(handle: DocumentHandle, metadata: dict[str, str | None],
           toc: list[tuple[int, str, int | None]], indices: Sequence[int],
           texts: Sequence[str], needs_ocr: Sequence[bool],
           tables: Sequence[Sequence[Table]], maps: Sequence[TextMap]) -> list[MarkdownChunk]:
    """One dictionary per page of ``indices``: its index (from 0), label, the
    document's metadata, the outline entries that point at it, whether it
    needs OCR (``Page.text_signals``), its tables (bbox, rows, cols), its
    Markdown, and "spans": each Markdown unit's offsets in the text and the
    boxes of the page text it stands for (``maps``: the pages' text maps)."""
    from textloom._search import chunk_spans

    found = list(tables) + [()] * (len(indices) - len(tables))
    return [{"page": index, "label": handle.label(index), "metadata": dict(metadata),
             "toc_items": [entry for entry in toc if entry[2] == index], "needs_ocr": ocr,
             "tables": [{"bbox": table.bbox, "rows": table.rows, "cols": table.cols}
                        for table in page_tables],
             "text": text, "spans": chunk_spans(text, page_map, page_tables)}
            for index, text, ocr, page_tables, page_map
            in zip(indices, texts, needs_ocr, found, maps)]
