"""pdftext's text functions on textloom: a pdftext user switches by changing one import.

    # from pdftext.extraction import dictionary_output, plain_text_output
    from textloom.compat.pdftext import dictionary_output, plain_text_output

``plain_text_output``, ``paginated_plain_text_output`` and
``dictionary_output`` take pdftext's (0.7) arguments with its defaults and
return its shapes: plain text with lines joined by a line feed, blocks by an
empty line and pages by a line feed; page dictionaries with "page", "bbox",
"width", "height", "rotation", "blocks" and "refs", blocks of lines of spans
with pdftext's keys in pdftext's order, and "refs" of :class:`Reference`.
``pdf_path`` is a path, bytes or a binary file object. Errors are pdftext's:
FileNotFoundError for a missing file, :class:`PdfiumError` (pypdfium2's)
for a file PDFium rejects, :class:`PdfPasswordError` (a PdfiumError) for a
missing or wrong password, ValueError for a page index out of range (and
TypeError for one that is no integer).

The text, its blocks, lines and spans, comes from textloom's layout, not from
pdftext's rules, so where the two cut blocks, lines and spans and where they
put spaces differ. Other differences:

- ``table_output`` (the text of caller-given table cells) is left out.
- ``sort=True`` gives textloom's XY-cut order (``sort="xycut"``), which
  reads columns one after the other; pdftext sorts blocks by bands of y,
  then by x, so it takes side-by-side blocks of two columns row by row.
  textloom's own ``get_text(sort="reading")`` also reads rotated pages,
  narrow gutters and scrambled streams in the order the viewer shows.
- Right-to-left text is in reading order; pdftext keeps PDFium's order,
  usually the visual one.
- ``hyphens=False`` joins a word split by a hyphen at a line end when the
  line ends in a letter and a hyphen and the next line is of the same block
  (pdftext goes by PDFium's hyphen marks and also joins across blocks); the
  hyphen goes and the word's end moves up to its start. ``hyphens=True``
  keeps the lines as they are, without the empty line pdftext adds after a
  hyphenated one.
- ``quote_loosebox`` is accepted and changes nothing: every character's box
  spans its font's ascent to descent, the loose box that
  ``quote_loosebox=True`` gives quotes in pdftext, for every character.
- Boxes are measured from the crop box's top edge; pdftext measures from its
  bottom edge plus the page height rounded up, so on a page of fractional
  height its boxes lie up to one unit lower.
- "superscript" marks a span raised more than 0.21 of its size above its
  line's first character, "subscript" one lowered as much (left-to-right
  lines of the unrotated page only).
- A character takes the URL of the link whose box it overlaps most, with
  link boxes rounded to whole units as pdftext rounds them; a character
  that overlaps a link's edge a little may go the other way in pdftext.
  References and their "#page-P-N" URLs are numbered as pdftext numbers them.
- ``workers`` above 1 always runs pages in that many processes, at most one
  per page (pdftext only when each gets ten pages); results are in the
  order of ``page_range``. A file object is read in this process, as in
  pdftext.
"""

from __future__ import annotations

import contextlib
import gc
import math
import operator
import os
from collections.abc import Iterable, Iterator
from dataclasses import dataclass
from typing import IO, Any

from pypdfium2 import PdfiumError

from textloom._document import Document
from textloom._document import open as open_document
from textloom._errors import PasswordError, PdfError
from textloom.compat._pdftext_links import Target
from textloom.compat._pdftext_page import Hits, Options, page_dict, page_text

__all__ = ["PdfPasswordError", "PdfiumError", "Reference", "dictionary_output",
           "paginated_plain_text_output", "plain_text_output"]

Source = str | os.PathLike[str] | bytes | bytearray | memoryview | IO[bytes]
_SORT = "xycut"  # what sort=True asks of textloom


class PdfPasswordError(PdfiumError):  # type: ignore[misc]  # pypdfium2 has no types
    """Raised when a PDF is encrypted and the password is missing or wrong."""


@dataclass
class Reference:
    """A position on page ``page`` that links of the extracted pages lead to:
    ``coord`` in pdftext's whole units of the linking page's view; ``ref`` names
    it, and ``url`` is what the linking spans carry."""

    idx: int
    page: int
    coord: list[float]

    @property
    def ref(self) -> str:
        return f"page-{self.page}-{self.idx}"

    @property
    def url(self) -> str:
        return f"#{self.ref}"


@contextlib.contextmanager
def _pdftext_errors() -> Iterator[None]:
    """textloom's errors as pdftext raises them, so callers' handlers keep working."""
    try:
        yield
    except PasswordError as error:
        raise PdfPasswordError(str(error)) from None
    except PdfError as error:
        raise PdfiumError(str(error)) from None


@contextlib.contextmanager
def _collector_paused() -> Iterator[None]:
    """Results are trees of many small dictionaries, without cycles: while they
    grow, the cyclic collector would only scan them again and again."""
    enabled = gc.isenabled()
    gc.disable()
    try:
        yield
    finally:
        if enabled:
            gc.enable()


def _open(source: Source, password: str | None) -> Document:
    if isinstance(source, (str, os.PathLike)) and not os.path.isfile(source):
        raise FileNotFoundError(2, "No such file or directory", os.fsdecode(source))
    return open_document(source, password=password)


def _page_indices(page_range: Iterable[int] | None, count: int) -> list[int]:
    if page_range is None:
        return list(range(count))
    pages = [operator.index(page) for page in page_range]
    wrong = [page for page in pages if not 0 <= page < count]
    if wrong:
        raise ValueError(f"Invalid page number(s) {wrong}; document has {count} pages (0-indexed).")
    return pages


def _extract(document: Document, index: int, options: Options, text: bool) -> Any:
    return page_text(document, index, options) if text else page_dict(document, index, options)


# -- worker processes ---------------------------------------------------------------

_worker: tuple[Document, Options, bool] | None = None


def _worker_start(source: str | bytes, password: str | None, options: Options, text: bool) -> None:
    global _worker
    _worker = (_open(source, password), options, text)


def _worker_pages(pages: list[int]) -> list[Any]:
    assert _worker is not None
    document, options, text = _worker
    with _collector_paused():
        return [_extract(document, index, options, text) for index in pages]


def _in_workers(source: str | bytes, password: str | None, options: Options, text: bool,
                pages: list[int], workers: int) -> list[Any]:
    """Pages in ``workers`` processes, each of which opens the document once;
    results in the order of ``pages``."""
    from concurrent.futures import ProcessPoolExecutor

    from textloom._batch.pool import start_context

    count = min(workers, len(pages))
    size = max(1, math.ceil(len(pages) / (4 * count)))
    batches = [pages[start:start + size] for start in range(0, len(pages), size)]
    with ProcessPoolExecutor(count, mp_context=start_context(__name__), initializer=_worker_start,
                             initargs=(source, password, options, text)) as pool:
        return [result for batch in pool.map(_worker_pages, batches) for result in batch]


def _run(source: Source, page_range: Iterable[int] | None, workers: int | None,
         password: str | None, options: Options, text: bool) -> list[Any]:
    with _pdftext_errors(), _collector_paused(), _open(source, password) as document:
        pages = _page_indices(page_range, len(document))
        if workers is None or workers <= 1 or len(pages) <= 1:
            return [_extract(document, index, options, text) for index in pages]
        if isinstance(source, (str, os.PathLike)):
            shared: str | bytes = os.fsdecode(source)
        elif isinstance(source, (bytes, bytearray, memoryview)):
            shared = bytes(source)
        else:  # a file object stays with its owner
            return [_extract(document, index, options, text) for index in pages]
    with _pdftext_errors():
        return _in_workers(shared, password, options, text, pages, workers)


def _number_refs(results: list[tuple[dict[str, Any], Hits]]) -> list[dict[str, Any]]:
    """Numbers the link targets of the extracted pages in page order, then link
    order, one reference per target page and position; sets the linking spans'
    URLs and each extracted page's "refs"."""
    refs: dict[int, dict[tuple[float, float], Reference]] = {}
    for _, hits in results:
        for target, spans in hits:
            found = _reference(refs.setdefault(target.page, {}), target)
            for span in spans:
                span["url"] = found.url
    pages = []
    for page, _ in results:
        page["refs"] = list(refs.get(page["page"], {}).values())
        pages.append(page)
    return pages


def _reference(known: dict[tuple[float, float], Reference], target: Target) -> Reference:
    found = known.get(target.coord)
    if found is None:
        found = known[target.coord] = Reference(len(known), target.page, list(target.coord))
    return found


# -- the three functions ----------------------------------------------------------------


def paginated_plain_text_output(pdf_path: Source, sort: bool = False, hyphens: bool = False,
                                page_range: Iterable[int] | None = None, flatten_pdf: bool = False,
                                quote_loosebox: bool = True, workers: int | None = None,
                                password: str | None = None) -> list[str]:
    """The plain text of each page of ``page_range`` (0-based, default all), in that order."""
    options = Options(_SORT if sort else None, hyphens=hyphens, flatten=flatten_pdf)
    texts: list[str] = _run(pdf_path, page_range, workers, password, options, text=True)
    return texts


def plain_text_output(pdf_path: Source, sort: bool = False, hyphens: bool = False,
                      page_range: Iterable[int] | None = None, flatten_pdf: bool = False,
                      quote_loosebox: bool = True, workers: int | None = None,
                      password: str | None = None) -> str:
    """The plain text of the pages of ``page_range``, joined by line feeds."""
    return "\n".join(paginated_plain_text_output(
        pdf_path, sort=sort, hyphens=hyphens, page_range=page_range, flatten_pdf=flatten_pdf,
        quote_loosebox=quote_loosebox, workers=workers, password=password))


def dictionary_output(pdf_path: Source, sort: bool = False, page_range: Iterable[int] | None = None,
                      keep_chars: bool = False, flatten_pdf: bool = False,
                      quote_loosebox: bool = True, disable_links: bool = False,
                      workers: int | None = None, password: str | None = None) -> list[dict[str, Any]]:
    """A page dictionary for each page of ``page_range`` (0-based, default all), in
    that order; ``keep_chars`` adds each span's "chars"; ``disable_links`` leaves
    every "url" empty and every "refs" empty, and the result JSON-serialisable."""
    options = Options(_SORT if sort else None, keep_chars=keep_chars, links=not disable_links,
                      flatten=flatten_pdf)
    results: list[tuple[dict[str, Any], Hits]] = _run(pdf_path, page_range, workers, password,
                                                      options, text=False)
    return _number_refs(results)
