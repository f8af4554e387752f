"""Opening documents: ``textloom.open`` and ``Document``.

pypdfium2 opens the file and owns the PDFium document, which the document
and its pages share through a ``DocumentHandle``; the native module reads
pages through its raw address. Every PDFium call holds ``pdfium_lock``.
"""

from __future__ import annotations

import builtins
import io
import operator
import os
from collections.abc import Iterable, Iterator, Sequence
from typing import IO, TYPE_CHECKING, Any, Literal, overload

from textloom._errors import PasswordError, PdfError
from textloom._handle import DocumentHandle
from textloom._host import use_pdfium
from textloom._lock import pdfium_lock
from textloom._options import (DEFAULT_OCR, DEFAULT_OCR_DPI, DEFAULT_OCR_LANGUAGE, DEFAULT_SORT,
                               check_password, check_positive)
from textloom._page import Page
from textloom._types import Sort

if TYPE_CHECKING:
    from textloom._search import Match
    from types import TracebackType

    from textloom._markdown import MarkdownChunk

Source = str | os.PathLike[str] | bytes | bytearray | memoryview | IO[bytes]

# PDFium's FPDF_ERR_* codes, worded for the user.
_OPEN_ERRORS = {
    1: "PDFium cannot read it (unknown error)",
    2: "PDFium cannot read the file (file access error)",
    3: "not a PDF, or damaged beyond repair (PDFium: data format error)",
    5: "encrypted with a security scheme PDFium does not support",
    6: "PDFium finds no readable page (page error)",
}
_PASSWORD_ERROR = 4


class Document(Sequence[Page]):
    """An open PDF: a sequence of pages, and a context manager that closes it.

    Made by :func:`textloom.open`. Pages are made on access and not kept, so
    iterating over a long document holds one page at a time. Indices count
    from 0 (the command line's page numbers count from 1). Using a closed
    document raises ``ValueError("document is closed")``.
    """

    def __init__(self, pdf: Any, *, name: str, ligatures: bool,
                 ocr_dpi: float = DEFAULT_OCR_DPI, ocr_language: str = DEFAULT_OCR_LANGUAGE) -> None:
        self._handle = DocumentHandle(pdf, name=name, ligatures=ligatures)
        self._handle.ocr_dpi, self._handle.ocr_language = ocr_dpi, ocr_language

    @property
    def name(self) -> str:
        """The path given to open(), or "<bytes>" / the stream's name."""
        return self._handle.name

    @property
    def ligatures(self) -> bool:
        """Whether text extraction keeps ligatures as one character."""
        return self._handle.ligatures

    # -- life cycle -------------------------------------------------------------

    def close(self) -> None:
        """Closes the PDFium document (idempotent). Pages that extracted their
        text keep answering text calls."""
        self._handle.close()

    @property
    def closed(self) -> bool:
        return self._handle.closed

    def __enter__(self) -> Document:
        return self

    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None,
                 traceback: TracebackType | None) -> None:
        self.close()

    # -- pages ------------------------------------------------------------------

    @property
    def page_count(self) -> int:
        self._handle.pdf()
        return self._handle.page_count

    def __len__(self) -> int:
        return self.page_count

    @overload
    def __getitem__(self, index: int) -> Page: ...

    @overload
    def __getitem__(self, index: slice) -> list[Page]: ...

    def __getitem__(self, index: int | slice) -> Page | list[Page]:
        count = self.page_count
        if isinstance(index, slice):
            return [Page(self._handle, i) for i in range(*index.indices(count))]
        return Page(self._handle, self._position(index, count))

    def _position(self, index: object, count: int) -> int:
        """``index`` as a page position from 0 (negative counts from the end)."""
        try:
            position = operator.index(index)  # type: ignore[arg-type]
        except TypeError:
            raise TypeError(f"page index must be an int, not {type(index).__name__}") from None
        if position < 0:
            position += count
        if not 0 <= position < count:
            raise IndexError(f"page index {index} out of range for {count} pages")
        return position

    def __iter__(self) -> Iterator[Page]:
        for index in range(self.page_count):
            yield Page(self._handle, index)

    # -- document data ----------------------------------------------------------

    @property
    def metadata(self) -> dict[str, str | None]:
        """title, author, subject, keywords, creator, producer, creation_date and
        modification_date: str or None; dates in ISO 8601 when they parse."""
        from textloom._metadata import read_metadata

        with pdfium_lock:
            return read_metadata(self._handle.pdf())

    @property
    def toc(self) -> list[tuple[int, str, int | None]]:
        """The outline: (level from 1, title, target page index from 0 or None),
        in outline order."""
        from textloom._metadata import read_toc

        with pdfium_lock:
            return read_toc(self._handle.pdf())

    # -- Markdown ---------------------------------------------------------------

    @overload
    def to_markdown(self, pages: Iterable[int] | None = None, *, page_chunks: Literal[False] = False,
                    sort: Sort = DEFAULT_SORT, keep_headers: bool = False, superscripts: bool = True,
                    subscripts: bool = True, links: bool = True, offpage: bool = False,
                    forms: bool = True, ocr: str = DEFAULT_OCR,
                    tables: bool = True, images: bool = False,
                    annotations: bool = False) -> str: ...

    @overload
    def to_markdown(self, pages: Iterable[int] | None = None, *, page_chunks: Literal[True],
                    sort: Sort = DEFAULT_SORT, keep_headers: bool = False, superscripts: bool = True,
                    subscripts: bool = True, links: bool = True,
                    offpage: bool = False, forms: bool = True,
                    ocr: str = DEFAULT_OCR, tables: bool = True,
                    images: bool = False, annotations: bool = False) -> list[MarkdownChunk]: ...

    def to_markdown(self, pages: Iterable[int] | None = None, *, page_chunks: bool = False,
                    sort: Sort = DEFAULT_SORT, keep_headers: bool = False, superscripts: bool = True,
                    subscripts: bool = True, links: bool = True,
                    offpage: bool = False, forms: bool = True,
                    ocr: str = DEFAULT_OCR, tables: bool = True,
                    images: bool = False,
                    annotations: bool = False) -> str | list[MarkdownChunk]:
        """The pages (indices from 0; all when None) as Markdown, as ``Page.to_markdown``
        writes them, with the body size and heading levels found over these pages;
        ``sort`` "reading" by default, ``offpage``, ``forms`` and ``ocr``, as for
        ``Page.get_text``; ``tables``, ``images`` and ``annotations`` as for
        ``Page.to_markdown``.

        Running headers and footers are left out unless ``keep_headers``: a line
        in the top or bottom 12% of a page whose text, digits aside, recurs in
        the same place on at least 60% of the pages and on 3 of them.
        Pages are joined by a blank line. ``page_chunks``: a list with one dict
        per page instead, holding "page" (its index from 0), "label", "metadata"
        (the document's), "toc_items" (the outline entries pointing at the page),
        "needs_ocr", "tables" (bbox, rows, cols of each table written, with
        ``tables``), "text" (its Markdown, empty for a page without text) and
        "spans": for each paragraph, heading, list item and table cell, its
        "start" and "end" in "text" and the "boxes" of the page text it stands
        for (a cell's own box), so any part of a chunk leads back to where it
        is drawn.
        """
        from textloom._markdown import chunks, pages_markdown, with_comments

        count = self.page_count
        indices = (range(count) if pages is None
                   else [self._position(index, count) for index in pages])
        selected = [Page(self._handle, index) for index in indices]
        parts = [page._markdown_parts(offpage, forms, ocr, tables, images) for page in selected]
        texts = pages_markdown([seen for seen, _, _ in parts], sort=sort,
                               keep_headers=keep_headers, superscripts=superscripts,
                               subscripts=subscripts, links=links,
                               inserts=[inserts for _, _, inserts in parts])
        if annotations:
            texts = [with_comments(text, page.annotations()) for text, page in zip(texts, selected)]
        if page_chunks:
            return chunks(self._handle, self.metadata, self.toc, indices, texts,
                          [page.text_signals().needs_ocr for page in selected],
                          [found for _, found, _ in parts],
                          [page.text_map(sort=sort, ocr=ocr) for page in selected])
        return "\n".join(text for text in texts if text)

    def search(self, query: str, *, pages: Iterable[int] | None = None,
               **options: Any) -> Iterator[tuple[int, Match]]:
        """``Page.search`` over the pages (indices from 0; all when None), lazily:
        (page index, Match) in page order; stopping the iteration stops the search."""
        count = self.page_count
        indices = range(count) if pages is None else [self._position(i, count) for i in pages]
        for index in indices:
            for match in Page(self._handle, index).search(query, **options):
                yield index, match

    def __repr__(self) -> str:
        state = "closed" if self.closed else f"{self._handle.page_count} pages"
        return f"<textloom.Document {self.name!r} {state}>"


def _name_of(source: object) -> str:
    if isinstance(source, (bytes, bytearray, memoryview)):
        return "<bytes>"
    name = getattr(source, "name", None)
    return name if isinstance(name, str) else "<stream>"


class _BytesPassword(str):
    """A password of raw bytes, through pypdfium2, which takes str passwords
    and encodes them as UTF-8: this str gives back its own bytes instead.
    (PDFs of the older encryption schemes take any bytes, not only UTF-8.)"""

    _raw: bytes

    def __new__(cls, raw: bytes) -> _BytesPassword:
        password = super().__new__(cls, raw.decode("latin-1"))
        password._raw = raw
        return password

    def __add__(self, other: str) -> _BytesPassword:  # pypdfium2 adds the NUL
        return _BytesPassword(self._raw + other.encode("latin-1"))

    def encode(self, encoding: str = "utf-8", errors: str = "strict") -> bytes:
        return self._raw


def _readable_stream(source: Any) -> None:
    """Refuses a file object PDFium could not read from."""
    if getattr(source, "closed", False):
        raise ValueError("cannot read a PDF from a closed file")
    readable = getattr(source, "readable", None)
    if callable(readable) and not readable():
        raise ValueError("cannot read a PDF from a file not open for reading")
    if isinstance(source, io.TextIOBase):
        raise TypeError("cannot read a PDF from a text file: open it in binary mode ('rb')")


def open(source: Source, *, password: str | bytes | None = None,  # noqa: A001
         ligatures: bool = False, ocr_dpi: float = DEFAULT_OCR_DPI,
         ocr_language: str = DEFAULT_OCR_LANGUAGE) -> Document:
    """Opens a PDF from a path, bytes-like data or a binary file object.

    ``password``: a str, or bytes for a password that is no UTF-8 text.
    ``ligatures`` is handed to text extraction of every page. ``ocr_dpi`` and
    ``ocr_language`` are what pages read by OCR use (``Page.ocr_words``). Raises
    FileNotFoundError for a missing path, :class:`PasswordError` for a wrong or
    missing password, :class:`PdfError` for anything PDFium rejects, and
    ValueError for a closed or write-only file object, which must stay open
    while the document is.
    """
    check_password(password)
    ocr_dpi = check_positive("ocr_dpi", ocr_dpi)
    if not isinstance(ocr_language, str) or not ocr_language:
        raise ValueError(f"ocr_language must be a Tesseract language name like \"eng\", not {ocr_language!r}")
    data: Any
    if isinstance(source, (str, os.PathLike)):
        name = os.fsdecode(source)
        if not os.path.exists(name):
            raise FileNotFoundError(2, "No such file or directory", name)
        if os.path.isdir(name):
            raise IsADirectoryError(21, "Is a directory", name)
        data = name
    elif isinstance(source, (bytes, bytearray, memoryview)):
        name, data = "<bytes>", bytes(source)
    elif callable(getattr(source, "read", None)) and callable(getattr(source, "seek", None)):
        _readable_stream(source)
        name, data = _name_of(source), source
    else:
        raise TypeError(f"cannot open a {type(source).__name__}: "
                        "expected a path, bytes or a binary file object")
    import pypdfium2

    use_pdfium()
    with pdfium_lock:
        try:
            pdf = pypdfium2.PdfDocument(
                data, password=_BytesPassword(password) if isinstance(password, bytes) else password)
        except pypdfium2.PdfiumError as error:
            raise _open_error(name, data, getattr(error, "err_code", None), password) from None
        return Document(pdf, name=name, ligatures=ligatures, ocr_dpi=ocr_dpi,
                        ocr_language=ocr_language)


def _open_error(name: str, data: object, code: int | None, password: str | bytes | None) -> Exception:
    if code == _PASSWORD_ERROR:
        return PasswordError(name, "wrong password" if password else "encrypted: a password is needed")
    if code == 2 and isinstance(data, str):
        with builtins.open(data, "rb"):  # raises the operating system's own reason
            pass
    return PdfError(name, _OPEN_ERRORS.get(code or 0, "PDFium finds no pages in it"))
