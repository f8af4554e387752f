"""The PDFium document that a ``Document`` and its pages share.

pypdfium2 owns the document; this small owner holds it with its raw address,
and is the one place that takes the PDFium lock to read pages (glyphs,
pypdfium2 page objects, renderings, labels). ``Document`` and ``Page`` each
hold the handle instead of reaching into each other. The document is closed
by ``close()``, or when the handle is collected: after the document and all
its pages are gone. Every page load here first settles PDFium's substitute
fonts, which a drawing unsettles (``_substitutes``): boxes do not depend on
what was drawn before.
"""

from __future__ import annotations

import contextlib
import weakref
from collections.abc import Iterator
from typing import Any, NamedTuple

from textloom import _native
from textloom._errors import PdfError
from textloom._host import document_address, form_address
from textloom._lock import pdfium_lock
from textloom._substitutes import settle, unsettle

# The native module words failures of a page with its 0-based index; the
# package names pages from 1 in the prefix it adds, so the index goes.
_PAGE_FAILURES = {"cannot load page": "PDFium cannot load the page",
                  "cannot load text of page": "PDFium cannot read the page's text"}


def _close_pdf(pdf: Any) -> None:
    # Runs from close() or as a finalizer, on whatever thread the collector runs.
    with pdfium_lock:
        pdf.close()


def page_failure(index: int, native_message: str) -> str:
    """A native page error as the package words it: the page named once, from 1."""
    for prefix, reason in _PAGE_FAILURES.items():
        if native_message.startswith(prefix + " "):
            return f"page {index + 1}: {reason}"
    return f"page {index + 1}: {native_message}"


class RenderPlan(NamedTuple):
    """The pixel grid of a rendering, as the native renderer plans it."""

    width: int  # the image, in pixels
    height: int
    start_x: int  # where the whole page's top-left corner lies on the image
    start_y: int
    page_width: int  # the whole page, in pixels
    page_height: int
    rotate: int  # PDFium's rotate argument, quarter turns clockwise


class DocumentHandle:
    """An open pypdfium2 document, its address and what pages ask of it."""

    __slots__ = ("name", "ligatures", "page_count", "has_form", "ocr_dpi", "ocr_language",
                 "_pdf", "_address", "_forms_ready", "_finalizer", "__weakref__")

    def __init__(self, pdf: Any, *, name: str, ligatures: bool) -> None:
        self.name = name
        self.ligatures = ligatures
        self.page_count: int = len(pdf)
        self.ocr_dpi = 300.0  # what pages read by OCR use: textloom.open sets them
        self.ocr_language = "eng"
        import pypdfium2.raw as pdfium_c  # loaded already: pdf is pypdfium2's

        self.has_form = int(pdfium_c.FPDF_GetFormType(pdf.raw)) != pdfium_c.FORMTYPE_NONE
        self._pdf: Any = pdf
        self._address = document_address(pdf)
        self._forms_ready = False
        self._finalizer = weakref.finalize(self, _close_pdf, pdf)

    def close(self) -> None:
        with pdfium_lock:
            self._pdf = None
            self._finalizer()

    @property
    def closed(self) -> bool:
        return self._pdf is None

    def pdf(self) -> Any:
        """The pypdfium2 document; ValueError("document is closed") after close."""
        pdf = self._pdf
        if pdf is None:
            raise ValueError("document is closed")
        return pdf

    def load_glyphs(self, index: int) -> _native.RsPage:
        """The glyphs of page ``index`` (from 0), extracted natively, with what its
        filled form fields and free-text annotations show kept aside."""
        with pdfium_lock:
            form = self.form_address()
            settle()
            try:
                return _native.load_page(self._address, index, self.ligatures, form)
            except RuntimeError as error:
                raise PdfError(self.name, page_failure(index, str(error))) from None

    @contextlib.contextmanager
    def pdfium_page(self, index: int, *, forms: bool = False,
                    draws: bool = False) -> Iterator[Any]:
        """pypdfium2's page, held under the lock and closed on leaving; with
        ``forms`` the document's form environment is opened first (once);
        ``draws``: the caller draws on it."""
        with pdfium_lock:
            pdf = self.pdf()
            if forms and not self._forms_ready:
                pdf.init_forms()
                self._forms_ready = True
            settle()
            page = pdf[index]
            try:
                yield page
            finally:
                page.close()
                if draws:
                    unsettle()

    def form_address(self) -> int:
        """The address of the document's form environment, opened on first use;
        0 when the document has no form. Callers hold the lock."""
        pdf = self.pdf()
        if not self.has_form:
            return 0
        if not self._forms_ready:
            pdf.init_forms()
            self._forms_ready = True
        return form_address(pdf)

    def form_environment(self) -> Any:
        """The raw form environment, or None when the document has no form
        (call inside ``pdfium_page(..., forms=True)``)."""
        formenv = self.pdf().formenv
        return None if formenv is None else formenv.raw

    def label(self, index: int) -> str | None:
        with pdfium_lock:
            label = str(self.pdf().get_page_label(index))
        return label or None

    def plan(self, index: int, scale: float, clip: Any, rotated: bool) -> RenderPlan:
        """The grid ``render`` would draw page ``index`` on with these arguments."""
        with pdfium_lock:
            self.pdf()
            settle()
            try:
                return RenderPlan(*_native.render_plan(self._address, index, scale, scale, clip,
                                                       rotated))
            except RuntimeError as error:
                raise PdfError(self.name, page_failure(index, str(error))) from None

    def render(self, index: int, scale: float, args: tuple[Any, ...]) -> tuple[int, int, int, bytes]:
        """``_native.render_page`` of page ``index``; its failures as the package's errors."""
        with pdfium_lock:
            self.pdf()
            settle()
            try:
                return _native.render_page(self._address, index, scale, scale, *args)
            except _native.RenderTimeout as error:
                raise TimeoutError(f"{self.name}: page {index + 1}: {error}") from None
            except RuntimeError as error:
                raise PdfError(self.name, page_failure(index, str(error))) from None
            finally:
                unsettle()
