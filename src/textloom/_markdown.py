"""Markdown of pages: ``Page.to_markdown`` and ``Document.to_markdown``.

The native module writes the Markdown from the pages' glyphs and links; this
module hands it the glyphs and, for page chunks, adds what the document says
about each page.
"""

from __future__ import annotations

from collections.abc import Sequence
from typing import TYPE_CHECKING, Any

from textloom import _native
from textloom._types import Sort

if TYPE_CHECKING:
    from textloom._handle import DocumentHandle
    from textloom._tables import Table

MarkdownChunk = dict[str, Any]
"""One page of ``Document.to_markdown(page_chunks=True)``: page, label, metadata, toc_items,
needs_ocr, tables, text."""

TABLE_MARK = "\uE000"
"""Stands for a table in the glyphs the native writer gets (a private-use
character no page text carries in its place), replaced by the table's pipe
table in what it writes."""
_MARK_HEIGHT = 9.25  # a mark at 10 pt: body-sized, no heading of its own on most pages


def pages_markdown(glyphs: list[_native.RsPage], *, sort: Sort, keep_headers: bool,
                   superscripts: bool, subscripts: bool, links: bool,
                   tables: Sequence[Sequence[Table]] = ()) -> list[str]:
    """The Markdown of each page; body size, headings and running lines are found
    over all of them. ``tables``: each page's tables, written as pipe tables in
    their reading-order place instead of their lines."""
    marked = [_marked(page, found) for page, found in zip(glyphs, tables)] + glyphs[len(tables):]
    texts = _native.markdown_pages(marked, sort, keep_headers, superscripts, subscripts, links)
    return [_with_tables(text, found) for text, found in zip(texts, tables)] + texts[len(tables):]


def _marked(page: _native.RsPage, tables: Sequence[Table]) -> _native.RsPage:
    """The page with each table's glyphs replaced by one mark at its top left."""
    if not tables:
        return page
    marks = [(f"{TABLE_MARK}{number}", table.bbox[0], table.bbox[1], table.bbox[0] + 20,
              table.bbox[1] + _MARK_HEIGHT) for number, table in enumerate(tables)]
    return page.without_boxes([table.bbox for table in tables]).with_text(marks)


def _with_tables(text: str, tables: Sequence[Table]) -> str:
    """``text`` with each line that holds a table's mark replaced by the table."""
    if not tables:
        return text
    lines = text.split("\n")
    for at, line in enumerate(lines):
        mark = line.find(TABLE_MARK)
        if mark >= 0:
            number = "".join(ch for ch in line[mark + 1:mark + 8] if ch.isdigit())
            if number and int(number) < len(tables):
                lines[at] = tables[int(number)].to_markdown().rstrip("\n")
    return "\n".join(lines)


def chunks(handle: DocumentHandle, metadata: dict[str, str | None],
           toc: list[tuple[int, str, int | None]], indices: Sequence[int],
           texts: Sequence[str], needs_ocr: Sequence[bool],
           tables: Sequence[Sequence[Table]]) -> list[MarkdownChunk]:
    """One dictionary per page of ``indices``: its index (from 0), label, the
    document's metadata, the outline entries that point at it, whether it
    needs OCR (``Page.text_signals``), its tables (bbox, rows, cols) and its
    Markdown."""
    found = list(tables) + [()] * (len(indices) - len(tables))
    return [{"page": index, "label": handle.label(index), "metadata": dict(metadata),
             "toc_items": [entry for entry in toc if entry[2] == index], "needs_ocr": ocr,
             "tables": [{"bbox": table.bbox, "rows": table.rows, "cols": table.cols}
                        for table in page_tables],
             "text": text}
            for index, text, ocr, page_tables in zip(indices, texts, needs_ocr, found)]
