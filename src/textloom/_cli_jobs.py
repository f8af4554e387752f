"""What the command line's worker processes do with one piece of a file.

A worker keeps its last document open, so the page chunks of one big file
that land on the same worker open it once.
"""

from __future__ import annotations

from dataclasses import dataclass

import pypdfium2  # noqa: F401  (imported before workers start, not by each of them)

from textloom._cli_format import TextOptions, format_markdown, format_page, to_json
from textloom._document import Document
from textloom._document import open as open_document
from textloom._errors import PdfError
from textloom._inputs import open_source

CHUNK = 8  # pages per piece of a big file

_last: tuple[tuple[str, str | None, bool], Document] | None = None


def open_cached(path: str, password: str | None, ligatures: bool) -> Document:
    """The document at ``path``, kept open until the worker asks for another."""
    global _last
    key = (path, password, ligatures)
    if _last is not None:
        if _last[0] == key:
            return _last[1]
        _last[1].close()
        _last = None
    document = open_document(open_source(path), password=password, ligatures=ligatures)
    _last = (key, document)
    return document


def describe(error: BaseException) -> str:
    """The reason a file failed, as one line without the file name."""
    if isinstance(error, PdfError):
        return error.reason
    if isinstance(error, OSError) and error.strerror:
        return error.strerror[0].lower() + error.strerror[1:]
    return f"{type(error).__name__}: {error}".replace("\n", " ")


def describe_os_error(error: OSError, path: str) -> str:
    """``path: reason`` for a failed file operation, naming the file it failed on."""
    return f"{error.filename or path}: {error.strerror or error}"


def text_piece(path: str, options: TextOptions, pages: list[int] | None) -> tuple[bytes, list[list[int]]]:
    """The output of ``pages`` of a file; a file's first piece (``pages`` None)
    selects the pages and, when there are more than a chunk, hands them back as
    chunks for other workers. Markdown takes a file whole: its type sizes and
    running headers are found over all the pages selected."""
    document = open_cached(path, options.password, options.ligatures)
    if pages is None:
        count = len(document)
        pages = options.pages.select(count) if options.pages else list(range(count))
        if len(pages) > CHUNK and options.format != "markdown":
            return b"", [pages[start:start + CHUNK] for start in range(0, len(pages), CHUNK)]
    if options.format == "markdown":
        text = format_markdown(document, pages, path, options)
    else:
        text = "".join(format_page(document[index], path, options) for index in pages)
    return text.encode("utf-8", "replace"), []


def _page_sizes(document: Document) -> list[tuple[float, float, int]]:
    return [(page.width, page.height, page.rotation) for page in document]


@dataclass(frozen=True)
class InfoOptions:
    jsonl: bool = False
    password: str | None = None


def info_piece(path: str, options: InfoOptions, pages: list[int] | None) -> tuple[bytes, list[list[int]]]:
    """``textloom info`` for one file: pages, page sizes and metadata."""
    with open_document(path, password=options.password) as document:
        sizes = _page_sizes(document)
        metadata = document.metadata
    if options.jsonl:
        record = {"file": path, "pages": len(sizes),
                  "page_sizes": [{"width": w, "height": h, "rotation": r} for w, h, r in sizes],
                  "metadata": metadata}
        return (to_json(record) + "\n").encode("utf-8", "replace"), []
    lines = [path, f"  pages: {len(sizes)}"]
    runs: list[tuple[tuple[float, float, int], int, int]] = []
    for number, size in enumerate(sizes, start=1):
        if runs and runs[-1][0] == size:
            runs[-1] = (size, runs[-1][1], number)
        else:
            runs.append((size, number, number))
    for (width, height, rotation), first, last in runs:
        pages_text = f"page {first}" if first == last else f"pages {first}-{last}"
        turned = f", rotated {rotation}" if rotation else ""
        lines.append(f"  {pages_text}: {width:.2f} x {height:.2f} pt{turned}")
    lines += [f"  {key.replace('_', ' ')}: {value}" for key, value in metadata.items() if value]
    return ("\n".join(lines) + "\n").encode("utf-8", "replace"), []
