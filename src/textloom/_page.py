"""``Page``: one page of a ``Document``, its text, words, links and renderings.

A page extracts its glyphs on the first call that needs them and keeps them,
so every later text call lays out the same glyphs without PDFium; those calls
keep working after the document closes. Everything else reads the open
document through the handle the page shares with its document.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Literal, overload

from textloom import _native
from textloom._image import Image
from textloom._optional import import_optional
from textloom._options import (DEFAULT_SORT, check_count, check_positive, check_strategy,
                               check_timeout, check_tolerance)
from textloom._tables import Table, tables_of
from textloom._types import (Annotation, BlockRow, FormField, Link, PdftextBlock, Rect, Sort,
                             TextDict, WordRow)

if TYPE_CHECKING:
    import numpy as np
    import numpy.typing as npt

    from textloom._handle import DocumentHandle

WORDS_DTYPE = [("x0", "<f8"), ("y0", "<f8"), ("x1", "<f8"), ("y1", "<f8"),
               ("block", "<i4"), ("line", "<i4"), ("word", "<i4"), ("text", "O")]

MAX_PIXELS = 1 << 28
"""The largest image ``render`` makes: 2**28 pixels (16384 x 16384, 1 GiB in
RGBA). Beyond it a scale or dpi is a mistake far more often than a wish."""


def _render_scale(scale: float | None, dpi: float | None) -> float:
    if scale is not None and dpi is not None:
        raise ValueError("give scale or dpi, not both")
    if dpi is not None:
        return check_positive("dpi", dpi) / 72.0
    return 1.0 if scale is None else check_positive("scale", scale)


class Page:
    """One page of a :class:`Document`, made by indexing or iterating it.

    ``index`` counts from 0. Coordinates of text results are in page space:
    PDF units from the top-left corner of the crop box, y down, before the
    page's own rotation (``rotated=True`` maps results into the rotated view).
    Text calls sort blocks in reading order by default (``sort="reading"``).
    """

    __slots__ = ("_handle", "index", "_glyphs", "_visible")

    def __init__(self, handle: DocumentHandle, index: int) -> None:
        self._handle = handle
        self.index = index
        self._glyphs: _native.RsPage | None = None
        self._visible: _native.RsPage | None = None

    def _page(self) -> _native.RsPage:
        """Every glyph of the page, extracted once."""
        glyphs = self._glyphs
        if glyphs is None:
            glyphs = self._glyphs = self._handle.load_glyphs(self.index)
        return glyphs

    def _seen(self, offpage: bool = False) -> _native.RsPage:
        """The glyphs a reader sees: without the words wholly outside the crop box
        (all of them with ``offpage``)."""
        if offpage:
            return self._page()
        visible = self._visible
        if visible is None:
            visible = self._visible = self._page().visible()
        return visible

    # -- geometry (from the extracted glyphs) -------------------------------------------

    @property
    def width(self) -> float:
        """Width of the crop box, unrotated."""
        return self._page().width

    @property
    def height(self) -> float:
        """Height of the crop box, unrotated."""
        return self._page().height

    @property
    def rotation(self) -> int:
        """The page's own rotation: 0, 90, 180 or 270 degrees clockwise."""
        return self._page().rotation

    @property
    def crop(self) -> Rect:
        """The crop box in PDF user space: (left, bottom, right, top)."""
        return self._page().crop

    @property
    def label(self) -> str | None:
        """The PDF page label ("iv", "A-3"), or None when the document gives none.
        Read from the open document."""
        return self._handle.label(self.index)

    # -- text ---------------------------------------------------------------------------

    @overload
    def get_text(self, option: Literal["text"] = "text", *, sort: Sort = DEFAULT_SORT,
                 clip: Rect | None = None, rotated: bool = False, dehyphenate: bool = False,
                 delimiters: str | None = None, extended: bool = False, offpage: bool = False) -> str: ...

    @overload
    def get_text(self, option: Literal["blocks"], *, sort: Sort = DEFAULT_SORT,
                 clip: Rect | None = None, rotated: bool = False, dehyphenate: bool = False,
                 delimiters: str | None = None, extended: bool = False,
                 offpage: bool = False) -> list[BlockRow]: ...

    @overload
    def get_text(self, option: Literal["words"], *, sort: Sort = DEFAULT_SORT,
                 clip: Rect | None = None, rotated: bool = False, dehyphenate: bool = False,
                 delimiters: str | None = None, extended: bool = False,
                 offpage: bool = False) -> list[WordRow]: ...

    @overload
    def get_text(self, option: Literal["dict", "rawdict"], *, sort: Sort = DEFAULT_SORT,
                 clip: Rect | None = None, rotated: bool = False, dehyphenate: bool = False,
                 delimiters: str | None = None, extended: bool = False,
                 offpage: bool = False) -> TextDict: ...

    @overload
    def get_text(self, option: str, *, sort: Sort = DEFAULT_SORT, clip: Rect | None = None,
                 rotated: bool = False, dehyphenate: bool = False, delimiters: str | None = None,
                 extended: bool = False, offpage: bool = False) -> Any: ...

    def get_text(self, option: str = "text", *, sort: Sort = DEFAULT_SORT, clip: Rect | None = None,
                 rotated: bool = False, dehyphenate: bool = False, delimiters: str | None = None,
                 extended: bool = False, offpage: bool = False) -> Any:
        """The page's text in one schema: "text" (a string), "blocks" (a tuple per
        block), "words" (a tuple per word), "dict" (blocks, lines, spans) or
        "rawdict" (down to characters).

        ``sort``: reading order of blocks: "reading" (the default: the order a
        reader takes in the viewer's frame), "xycut", "simple", or None/"none"
        (the order of the page's content).
        ``clip``: keep only text inside (x0, y0, x1, y1), in unrotated page
        space, whatever ``rotated`` says (unlike ``render``'s clip).
        ``rotated``: boxes in the view the page's rotation gives.
        ``dehyphenate``: join words split by a hyphen at a line end.
        ``delimiters``: extra characters that split words ("words" only).
        ``extended``: font weight and flags on spans, character indices.
        ``offpage``: keep the words wholly outside the crop box, which no viewer
        shows (by default they are left out; a word reaching into the box stays).
        """
        if delimiters is not None and isinstance(option, str) and option.lower() != "words":
            raise ValueError(f'delimiters split words: they apply to "words" only, not {option!r}')
        return self._seen(offpage).get_text(option, sort, clip, rotated, dehyphenate, delimiters, extended)

    def words_array(self, *, sort: Sort = DEFAULT_SORT, clip: Rect | None = None,
                    rotated: bool = False, offpage: bool = False) -> npt.NDArray[np.void]:
        """The words of ``get_text("words")`` as a NumPy structured array with the
        fields x0, y0, x1, y1 (float64), block, line, word (int32) and text
        (object); ``sort`` and ``offpage`` as for ``get_text``. Needs ``textloom[numpy]``."""
        numpy = import_optional("numpy", "numpy")
        coords, numbers, texts = self._seen(offpage).words_arrays(sort, clip, rotated)
        words = numpy.empty(len(texts), dtype=WORDS_DTYPE)
        boxes = numpy.frombuffer(coords, dtype="<f8").reshape(-1, 4)
        ids = numpy.frombuffer(numbers, dtype="<i4").reshape(-1, 3)
        for column, name in enumerate(("x0", "y0", "x1", "y1")):
            words[name] = boxes[:, column]
        for column, name in enumerate(("block", "line", "word")):
            words[name] = ids[:, column]
        words["text"] = texts
        result: npt.NDArray[np.void] = words
        return result

    def pdftext_blocks(self, *, sort: Sort = DEFAULT_SORT,
                       keep_chars: bool = False) -> list[PdftextBlock]:
        """Blocks in pdftext's schema: lists for boxes, shared font dictionaries,
        character indices, rotation in radians, with or without per-character
        entries; ``sort`` as for ``get_text``. Every glyph, as pdftext reads them:
        text outside the crop box too."""
        blocks: list[PdftextBlock] = self._page().pdftext_blocks(sort, keep_chars)
        return blocks

    def to_markdown(self, *, sort: Sort = DEFAULT_SORT, keep_headers: bool = False,
                    superscripts: bool = True, subscripts: bool = True,
                    links: bool = True, offpage: bool = False) -> str:
        """The page as Markdown: headings by type size against the page's body
        size, paragraphs (hyphenated line ends joined), lists, fenced code,
        **bold**, _italic_, `code`, <sup>, <sub> and [links](uri).

        ``sort``: reading order of blocks, "reading" by default, as for ``get_text``.
        ``keep_headers``: no effect on one page (running headers and footers
        are found over the pages of ``Document.to_markdown``).
        ``superscripts``, ``subscripts``: mark raised and lowered text.
        ``links``: text inside the box of a link to a URI as [text](uri).
        ``offpage``: keep the words wholly outside the crop box, as for ``get_text``.
        A page without text gives the empty string.
        """
        from textloom._markdown import pages_markdown

        return pages_markdown([self._seen(offpage)], sort=sort, keep_headers=keep_headers,
                              superscripts=superscripts, subscripts=subscripts, links=links)[0]

    # -- tables -------------------------------------------------------------------------

    def find_tables(self, *, strategy: str = "auto", clip: Rect | None = None,
                    snap_tolerance: float = 0.3, join_tolerance: float = 0.35,
                    intersection_tolerance: float = 0.3, column_gap: float = 1.0,
                    min_rows: int = 3) -> list[Table]:
        """The page's tables, top to bottom as the page reads: in the viewer's
        frame (the page turned by its rotation), or turned so that most
        characters run rightwards (a table set sideways), as the "reading" order
        has it; rows and columns are counted in that frame, boxes are in page
        space, as the text's.

        ``strategy``: "lines" finds tables drawn with rules (a grid of crossing
        rules; a missing inner rule makes a spanning cell, rows left unruled
        come from the lines), "text" tables of words aligned in columns across
        consecutive lines, "auto" both, rules winning where they exist: tables
        with only a top, header and bottom rule too, and tables of words alone
        on pages that draw no table with rules, where no vertical rule runs
        through them (a chart's axis, a frame's side).
        Charts (curves and slanted lines over a candidate) are not tables.
        ``clip``: only tables lying inside (x0, y0, x1, y1), page space.
        Tolerances are in ems, the page's median type size:
        ``snap_tolerance`` (0.3): rules this close across are one line;
        ``join_tolerance`` (0.35): collinear rules with gaps up to this are one
        (dashed and dotted rules); ``intersection_tolerance`` (0.3): a rule this
        short of another still meets it; ``column_gap`` (1.0): the narrowest
        white gap between columns of words. ``min_rows`` (3): the rows a table
        without rules needs.
        """
        check_strategy(strategy)
        return tables_of(self._seen(), strategy, clip,
                         check_tolerance("snap_tolerance", snap_tolerance),
                         check_tolerance("join_tolerance", join_tolerance),
                         check_tolerance("intersection_tolerance", intersection_tolerance),
                         check_positive("column_gap", column_gap),
                         check_count("min_rows", min_rows))

    # -- links and rendering ----------------------------------------------------------

    def links(self) -> list[Link]:
        """The page's link annotations that lead to a URI or to a page of this
        document, read with the page's text (so they too stay after the document closes)."""
        return [Link(bbox, uri, target) for bbox, uri, target in self._page().links]

    def form_fields(self) -> list[FormField]:
        """The page's form field widgets, in annotation order: name, type (text,
        checkbox, radio, combo, list, button, signature), value (a text field's
        text, whether a checkbox or radio button is on, a choice field's chosen
        option texts), bbox and whether the field is read-only. Read from the open
        document through its form environment, opened once, when it has a form."""
        from textloom._annotations import read_form_fields

        crop = self.crop
        with self._handle.pdfium_page(self.index, forms=True) as page:
            formenv = self._handle.form_environment()
            return [] if formenv is None else read_form_fields(formenv, page.raw, crop)

    def annotations(self) -> list[Annotation]:
        """The page's annotations, in annotation order: subtype, bbox, contents,
        author, modification date, and for a link its URI or target page index."""
        from textloom._annotations import read_annotations

        crop = self.crop
        with self._handle.pdfium_page(self.index) as page:
            return read_annotations(self._handle.pdf().raw, page.raw, crop)

    def render(self, scale: float | None = None, *, dpi: float | None = None,
               clip: Rect | None = None, rotated: bool = True, alpha: bool = False,
               grayscale: bool = False, annots: bool = True, antialias: bool = True,
               forms: bool = False, background: int = 0xFFFFFFFF,
               timeout: float | None = None) -> Image:
        """Renders the page to pixels.

        ``scale``: pixels per PDF unit (1.0 when neither it nor ``dpi`` is
        given); ``dpi`` is scale × 72; giving both is a ValueError, and so is
        a value that is not above 0 or an image of more than ``MAX_PIXELS``
        (2**28) pixels.
        ``clip``: the part to render, (x0, y0, x1, y1) in PDF units of the
        rendered view (after rotation when ``rotated``), unlike ``get_text``'s
        clip, which is in unrotated page space.
        ``alpha``: four channels; ``grayscale``: one. ``annots``: draw
        annotations; ``forms``: draw interactive form fields too.
        ``background``: 0xAARRGGBB. ``timeout``: seconds, TimeoutError past it.
        """
        factor = _render_scale(scale, dpi)
        if timeout is not None:
            check_timeout(timeout)
        plan = self._handle.plan(self.index, factor, clip, rotated)
        if plan.width * plan.height > MAX_PIXELS:
            raise ValueError(f"a {plan.width}x{plan.height} image is more than the "
                             f"{MAX_PIXELS} pixels render makes (2**28): lower the scale or "
                             "dpi, or render a clip")
        width, height, channels, pixels = self._handle.render(
            self.index, factor, (clip, rotated, alpha, grayscale, annots, antialias, background,
                                 timeout))
        if forms:
            from textloom._forms import draw_forms

            with self._handle.pdfium_page(self.index, forms=True) as page:
                formenv = self._handle.form_environment()
                if formenv is not None:  # None: the document has no form
                    pixels = draw_forms(formenv, page.raw, pixels, channels, plan,
                                        annots=annots, antialias=antialias)
        return Image(width, height, channels, pixels)

    def __eq__(self, other: object) -> bool:
        return (isinstance(other, Page) and other._handle is self._handle
                and other.index == self.index)

    def __hash__(self) -> int:
        return hash((id(self._handle), self.index))

    def __repr__(self) -> str:
        return f"<textloom.Page {self.index} of {self._handle.name!r}>"
