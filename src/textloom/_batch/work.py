"""What worker processes do with a file: plan its pages and read pieces of
them, for ``textloom text`` and ``textloom info``; ``rows_work`` does the same
for the Parquet rows of ``textloom extract`` and ``read_pdfs``.

A worker keeps its last document open, so the pieces of one big file that
land on the same worker open it once.
"""

from __future__ import annotations

from collections.abc import Callable

import pypdfium2  # noqa: F401  (imported before workers start, not by each of them)

from textloom._batch.failures import NoPagesError, describe
from textloom._batch.inputs import open_source
from textloom._batch.page_output import format_info, format_markdown, format_page
from textloom._batch.pieces import split_pages
from textloom._batch.pool import Answer, Pages, page_started
from textloom._document import Document
from textloom._document import open as open_document
from textloom._options import ReadOptions
from textloom._page import Page

_last: tuple[tuple[str, str | bytes | None, bool, float, str], Document] | None = None


def open_cached(path: str, options: ReadOptions) -> Document:
    """The document at ``path`` opened as ``options`` say, kept open until the
    worker asks for another."""
    global _last
    password, ligatures = options.password, options.ligatures
    key = (path, password, ligatures, options.ocr_dpi, options.ocr_language)
    if _last is not None:
        if _last[0] == key:
            return _last[1]
        _last[1].close()
        _last = None
    document = open_document(open_source(path), password=password, ligatures=ligatures,
                             ocr_dpi=options.ocr_dpi, ocr_language=options.ocr_language)
    _last = (key, document)
    return document


def selected_pages(path: str, options: ReadOptions) -> list[int]:
    """The 0-based pages ``options`` selects of the file, each once, in the order
    first named; NoPagesError when the ranges name none of its pages."""
    document = open_cached(path, options)
    count = len(document)
    if options.pages is None:
        return list(range(count))
    pages = options.pages.select(count)
    if not pages:
        raise NoPagesError(f"the page range {options.pages} selects none of its {count} pages")
    return pages


def plan_text(path: str, options: ReadOptions) -> list[Pages]:
    """The pieces of ``textloom text``: Markdown takes a file whole (its type
    sizes and running headers are found over all the pages selected)."""
    pages = selected_pages(path, options)
    return [pages] if options.format == "markdown" else split_pages(pages)


def text_piece(path: str, options: ReadOptions, pages: Pages) -> Answer:
    """The output of ``pages`` as ``textloom text`` prints them; a page that fails
    is a failure at its place in the output."""
    document = open_cached(path, options)
    if options.format == "markdown":
        return _markdown_piece(document, path, options, pages)
    return _pages_piece(document, path, options, pages, format_page)


def plan_tables(path: str, options: ReadOptions) -> list[Pages]:
    """The pieces of ``textloom tables``."""
    return split_pages(selected_pages(path, options))


def tables_piece(path: str, options: ReadOptions, pages: Pages) -> Answer:
    """The tables of ``pages`` as ``textloom tables`` writes them."""
    from textloom._batch.table_output import format_tables

    document = open_cached(path, options)
    return _pages_piece(document, path, options, pages, format_tables)


def plan_grep(path: str, options: ReadOptions) -> list[Pages]:
    """The pieces of ``textloom grep``: a count per file takes the file whole."""
    pages = selected_pages(path, options)
    return [pages] if options.grep is not None and options.grep.counting else split_pages(pages)


def grep_piece(path: str, options: ReadOptions, pages: Pages) -> Answer:
    """The matches on ``pages`` as ``textloom grep`` prints them (or the file's
    count of them, of the pages read); a page that fails is a failure at its place."""
    from textloom._batch.grep_output import format_count, format_matches

    hits = 0

    def page_matches(page: Page, path: str, options: ReadOptions) -> str:
        nonlocal hits
        text, found = format_matches(page, path, options)
        hits += found
        return text

    answer = _pages_piece(open_cached(path, options), path, options, pages, page_matches)
    if options.grep is not None and options.grep.counting:
        answer = answer._replace(output=format_count(path, options, hits).encode("utf-8", "replace"))
    return answer._replace(hits=hits)


def _pages_piece(document: Document, path: str, options: ReadOptions, pages: Pages,
                 format_one: Callable[[Page, str, ReadOptions], str]) -> Answer:
    """Each page of ``pages`` written by ``format_one``, a page that fails a failure
    at its place in the output."""
    out: list[str] = []
    size = 0
    failures = []
    for index in pages:
        page_started(index)
        try:
            text = format_one(document[index], path, options)
        except Exception as error:  # this page fails, the others go on
            failures.append((size, describe(error, path, index)))
            continue
        out.append(text)
        size += len(text.encode("utf-8", "replace"))
    return Answer("".join(out).encode("utf-8", "replace"), failures, len(out))


def _markdown_piece(document: Document, path: str, options: ReadOptions, pages: Pages) -> Answer:
    """The pages as one Markdown document (or a JSON object a page), without the
    pages that fail, which are failures at the end (or at their place)."""
    good: list[int] = []
    failed = {}
    for index in pages:
        page_started(index)
        try:
            document[index]._page()
            good.append(index)
        except Exception as error:
            failed[index] = describe(error, path, index)
    if not options.jsonl:
        text = format_markdown(document, good, path, options)
        encoded = "".join(text).encode("utf-8", "replace")
        return Answer(encoded, [(len(encoded), failure) for failure in failed.values()], len(good))
    lines = dict(zip(good, format_markdown(document, good, path, options)))
    out = bytearray()
    failures = []
    for index in pages:
        if index in failed:
            failures.append((len(out), failed[index]))
        else:
            out += lines[index].encode("utf-8", "replace")
    return Answer(bytes(out), failures, len(good))


def plan_info(path: str, options: ReadOptions) -> Answer:
    """``textloom info`` for one file, whole: pages, page sizes and metadata."""
    with open_document(open_source(path), password=options.password) as document:
        text = format_info(document, path, options)
        pages = len(document)
    return Answer(text.encode("utf-8", "replace"), [], pages)
