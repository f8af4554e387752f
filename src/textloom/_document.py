"""Opening documents: ``textloom.open`` and ``Document``.

pypdfium2 opens the file and owns the PDFium document; the native module
reads pages through its raw address. Every PDFium call holds ``pdfium_lock``.
"""

from __future__ import annotations

import builtins
import contextlib
import os
import weakref
from collections.abc import Iterable, Iterator, Sequence
from typing import IO, TYPE_CHECKING, Any, Literal, overload

from textloom import _native
from textloom._errors import PasswordError, PdfError
from textloom._host import document_address, use_pdfium
from textloom._lock import pdfium_lock
from textloom._page import Page
from textloom._types import Sort

if TYPE_CHECKING:
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


def _close_pdf(pdf: Any) -> None:
    # Runs from close() or as a finalizer, on whatever thread the collector runs.
    with pdfium_lock:
        pdf.close()


class Document(Sequence[Page]):
    """An open PDF: a sequence of pages, and a context manager that closes it.

    Made by :func:`textloom.open`. Pages are made on access and not kept, so
    iterating over a long document holds one page at a time. Using a closed
    document raises ``ValueError("document is closed")``.
    """

    def __init__(self, pdf: Any, *, name: str, ligatures: bool) -> None:
        self.name = name
        """The path given to open(), or "<bytes>" / the stream's name."""
        self.ligatures = ligatures
        self._pdf: Any = pdf
        self._address = document_address(pdf)
        self._page_count = len(pdf)
        self._forms_ready = False
        self._finalizer = weakref.finalize(self, _close_pdf, pdf)

    # -- life cycle -------------------------------------------------------------

    def close(self) -> None:
        """Closes the PDFium document (idempotent). Pages that extracted their
        text keep answering text calls."""
        with pdfium_lock:
            self._pdf = None
            self._finalizer()

    @property
    def closed(self) -> bool:
        return self._pdf is None

    def __enter__(self) -> Document:
        return self

    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None,
                 traceback: TracebackType | None) -> None:
        self.close()

    def _open_pdf(self) -> Any:
        pdf = self._pdf
        if pdf is None:
            raise ValueError("document is closed")
        return pdf

    # -- pages ------------------------------------------------------------------

    @property
    def page_count(self) -> int:
        self._open_pdf()
        return self._page_count

    def __len__(self) -> int:
        return self.page_count

    @overload
    def __getitem__(self, index: int) -> Page: ...

    @overload
    def __getitem__(self, index: slice) -> list[Page]: ...

    def __getitem__(self, index: int | slice) -> Page | list[Page]:
        count = self.page_count
        if isinstance(index, slice):
            return [Page(self, i) for i in range(*index.indices(count))]
        position = index.__index__()
        if position < 0:
            position += count
        if not 0 <= position < count:
            raise IndexError(f"page index {index} out of range for {count} pages")
        return Page(self, position)

    def __iter__(self) -> Iterator[Page]:
        for index in range(self.page_count):
            yield self[index]

    # -- document data ----------------------------------------------------------

    @property
    def metadata(self) -> dict[str, str | None]:
        """title, author, subject, keywords, creator, producer, creation_date and
        modification_date: str or None; dates in ISO 8601 when they parse."""
        from textloom._metadata import read_metadata

        with pdfium_lock:
            return read_metadata(self._open_pdf())

    @property
    def toc(self) -> list[tuple[int, str, int | None]]:
        """The outline: (level from 1, title, target page index or None) in outline order."""
        from textloom._metadata import read_toc

        with pdfium_lock:
            return read_toc(self._open_pdf())

    # -- Markdown ---------------------------------------------------------------

    @overload
    def to_markdown(self, pages: Iterable[int] | None = None, *, page_chunks: Literal[False] = False,
                    sort: Sort = "reading", keep_headers: bool = False, superscripts: bool = True,
                    subscripts: bool = True, links: bool = True) -> str: ...

    @overload
    def to_markdown(self, pages: Iterable[int] | None = None, *, page_chunks: Literal[True],
                    sort: Sort = "reading", keep_headers: bool = False, superscripts: bool = True,
                    subscripts: bool = True, links: bool = True) -> list[MarkdownChunk]: ...

    def to_markdown(self, pages: Iterable[int] | None = None, *, page_chunks: bool = False,
                    sort: Sort = "reading", keep_headers: bool = False, superscripts: bool = True,
                    subscripts: bool = True, links: bool = True) -> str | list[MarkdownChunk]:
        """The pages (indices from 0; all when None) as Markdown, as ``Page.to_markdown``
        writes them, with the body size and heading levels found over these pages.

        Running headers and footers are left out unless ``keep_headers``: a line
        in the top or bottom 12% of a page whose text, digits aside, recurs in
        the same place on at least 60% of the pages and on 3 of them.
        Pages are joined by a blank line. ``page_chunks``: a list with one dict
        per page instead, holding "page" (its index), "label", "metadata" (the
        document's), "toc_items" (the outline entries pointing at the page) and
        "text" (its Markdown, empty for a page without text).
        """
        from textloom._markdown import chunks, page_indices, pages_markdown

        selected = [Page(self, index) for index in page_indices(self, pages)]
        texts = pages_markdown(selected, sort=sort, keep_headers=keep_headers,
                               superscripts=superscripts, subscripts=subscripts, links=links)
        if page_chunks:
            return chunks(self, selected, texts)
        return "\n".join(text for text in texts if text)

    def __repr__(self) -> str:
        state = "closed" if self.closed else f"{self._page_count} pages"
        return f"<textloom.Document {self.name!r} {state}>"

    # -- what pages ask of their document -------------------------------------------

    def _load_glyphs(self, index: int) -> _native.RsPage:
        with pdfium_lock:
            self._open_pdf()
            try:
                return _native.load_page(self._address, index, self.ligatures)
            except RuntimeError as error:
                raise PdfError(self.name, f"page {index + 1}: {error}") from None

    @contextlib.contextmanager
    def _pdfium_page(self, index: int, *, forms: bool = False) -> Iterator[Any]:
        """pypdfium2's page, held under the lock and closed on leaving."""
        with pdfium_lock:
            pdf = self._open_pdf()
            if forms and not self._forms_ready:
                pdf.init_forms()
                self._forms_ready = True
            page = pdf[index]
            try:
                yield page
            finally:
                page.close()

    def _render(self, index: int, scale: float, args: tuple[Any, ...]) -> tuple[int, int, int, bytes]:
        with pdfium_lock:
            self._open_pdf()
            try:
                return _native.render_page(self._address, index, scale, scale, *args)
            except RuntimeError as error:
                message = str(error)
                if message.startswith("rendering took longer than"):
                    raise TimeoutError(f"{self.name}: page {index + 1}: {message}") from None
                raise PdfError(self.name, f"page {index + 1}: {message}") from None


def _name_of(source: object) -> str:
    if isinstance(source, (bytes, bytearray, memoryview)):
        return "<bytes>"
    name = getattr(source, "name", None)
    return name if isinstance(name, str) else "<stream>"


def open(source: Source, *, password: str | None = None, ligatures: bool = False) -> Document:  # noqa: A001
    """Opens a PDF from a path, bytes-like data or a binary file object.

    ``ligatures`` is handed to text extraction of every page. Raises
    FileNotFoundError for a missing path, :class:`PasswordError` for a wrong or
    missing password, and :class:`PdfError` for anything PDFium rejects.
    A file object must stay open while the document is.
    """
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
        name, data = _name_of(source), source
    else:
        raise TypeError(f"cannot open a {type(source).__name__}: "
                        "expected a path, bytes or a binary file object")
    import pypdfium2

    use_pdfium()
    with pdfium_lock:
        try:
            pdf = pypdfium2.PdfDocument(data, password=password)
        except pypdfium2.PdfiumError as error:
            raise _open_error(name, data, getattr(error, "err_code", None), password) from None
        return Document(pdf, name=name, ligatures=ligatures)


def _open_error(name: str, data: object, code: int | None, password: str | None) -> Exception:
    if code == _PASSWORD_ERROR:
        return PasswordError(name, "wrong password" if password else "encrypted: a password is needed")
    if code == 2 and isinstance(data, str):
        with builtins.open(data, "rb"):  # raises the operating system's own reason
            pass
    return PdfError(name, _OPEN_ERRORS.get(code or 0, "PDFium finds no pages in it"))
