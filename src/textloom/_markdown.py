"""Markdown of pages: ``Page.to_markdown`` and ``Document.to_markdown``.

The native module writes the Markdown from the pages' glyphs and links; this
module hands it the pages and, for page chunks, adds what the document says
about each page.
"""

from __future__ import annotations

from collections.abc import Iterable, Sequence
from typing import TYPE_CHECKING, Any

from textloom import _native
from textloom._types import Sort

if TYPE_CHECKING:
    from textloom._document import Document
    from textloom._page import Page

MarkdownChunk = dict[str, Any]
"""One page of ``Document.to_markdown(page_chunks=True)``: page, label, metadata, toc_items, text."""


def pages_markdown(pages: Sequence[Page], *, sort: Sort, keep_headers: bool, superscripts: bool,
                   subscripts: bool, links: bool) -> list[str]:
    """The Markdown of each page; body size, headings and running lines are found over all of them."""
    glyphs = [page._page() for page in pages]
    return _native.markdown_pages(glyphs, sort, keep_headers, superscripts, subscripts, links)


def page_indices(document: Document, pages: Iterable[int] | None) -> list[int]:
    """Indices from 0 as the document's indexing reads them (negative from the end)."""
    if pages is None:
        return list(range(len(document)))
    return [document[index].index for index in pages]


def chunks(document: Document, pages: Sequence[Page], texts: Sequence[str]) -> list[MarkdownChunk]:
    """One dictionary per page: its index, label, the document's metadata, the
    outline entries that point at it, and its Markdown."""
    metadata = document.metadata
    toc = document.toc
    return [{"page": page.index, "label": page.label, "metadata": dict(metadata),
             "toc_items": [entry for entry in toc if entry[2] == page.index], "text": text}
            for page, text in zip(pages, texts)]
