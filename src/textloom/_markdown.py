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

MarkdownChunk = dict[str, Any]
"""One page of ``Document.to_markdown(page_chunks=True)``: page, label, metadata, toc_items,
needs_ocr, text."""


def pages_markdown(glyphs: list[_native.RsPage], *, sort: Sort, keep_headers: bool,
                   superscripts: bool, subscripts: bool, links: bool) -> list[str]:
    """The Markdown of each page; body size, headings and running lines are found over all of them."""
    return _native.markdown_pages(glyphs, sort, keep_headers, superscripts, subscripts, links)


def chunks(handle: DocumentHandle, metadata: dict[str, str | None],
           toc: list[tuple[int, str, int | None]], indices: Sequence[int],
           texts: Sequence[str], needs_ocr: Sequence[bool]) -> list[MarkdownChunk]:
    """One dictionary per page of ``indices``: its index (from 0), label, the
    document's metadata, the outline entries that point at it, whether it
    needs OCR (``Page.text_signals``), and its Markdown."""
    return [{"page": index, "label": handle.label(index), "metadata": dict(metadata),
             "toc_items": [entry for entry in toc if entry[2] == index], "needs_ocr": ocr,
             "text": text}
            for index, text, ocr in zip(indices, texts, needs_ocr)]
