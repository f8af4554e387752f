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
from textloom._options import (DEFAULT_OCR, DEFAULT_OCR_DPI, DEFAULT_OCR_LANGUAGE, DEFAULT_SORT,
                               check_count, check_flag, check_ocr, check_positive, check_query,
                               check_strategy, check_timeout, check_tolerance)
from textloom._search import TextMap
from textloom._types import (Annotation, BlockRow, FormField, Link, OcrWordRow, PdftextBlock, Rect,
                             Sort, TextDict, TextSignals, WordRow)

if TYPE_CHECKING:
    import numpy as np
    import numpy.typing as npt

    from textloom._handle import DocumentHandle
    from textloom._images import PageImage
    from textloom._markdown import Insert
    from textloom._ocr import OcrWord, Run
    from textloom._search import Match
    from textloom._tables import Table

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

    __slots__ = ("_handle", "index", "_glyphs", "_views", "_ocr", "_signals", "_maps")

    def __init__(self, handle: DocumentHandle, index: int) -> None:
        self._handle = handle
        self.index = index
        self._glyphs: _native.RsPage | None = None
        self._views: dict[tuple[bool, bool, bool], _native.RsPage] = {}
        self._ocr: dict[tuple[float, str], tuple[list[OcrWord], list[Run], int]] = {}  # by dpi, language
        self._signals: TextSignals | None = None  # of the extracted glyphs: asked by every text call
        self._maps: dict[tuple[object, ...], TextMap] = {}  # by sort, rotated, read by OCR

    def _page(self) -> _native.RsPage:
        """Every glyph of the page, extracted once, with its form fields' text beside it."""
        glyphs = self._glyphs
        if glyphs is None:
            glyphs = self._glyphs = self._handle.load_glyphs(self.index)
        return glyphs

    def _seen(self, offpage: bool = False, forms: bool = True,
              ocr: bool = False) -> _native.RsPage:
        """The glyphs a reader sees: without the words wholly outside the crop box
        (all of them with ``offpage``), with the values of filled form fields and
        the text of free-text annotations (not with ``forms`` false); with
        ``ocr``, the words OCR reads in place of the page's own glyphs."""
        view = self._views.get((offpage, forms, ocr))
        if view is None:
            if ocr:
                _, runs, upright = self._ocr_reading(self._handle.ocr_dpi, self._handle.ocr_language)
                view = self._seen(True, False).with_text(runs, "OCR", True, upright)
                view = view if offpage else view.visible()
            else:
                view = self._page() if offpage else self._seen(True, False).visible()
            if forms:
                view = view.with_shown_text()
            self._views[offpage, forms, ocr] = view
        return view

    def _reads_by_ocr(self, ocr: str) -> bool:
        """Whether text calls with ``ocr`` read this page by OCR."""
        mode = check_ocr(ocr)
        if mode == "auto":
            if not self.text_signals().needs_ocr:
                return False  # most pages: asked before the engine is looked for
            from textloom._ocr import available

            return available()
        return mode == "always"

    @property
    def ocr(self) -> bool:
        """Whether this page's text comes from OCR under the default ``ocr="auto"``:
        it needs OCR (``text_signals``) and an engine is installed."""
        return self._reads_by_ocr(DEFAULT_OCR)

    def ocr_words(self, *, dpi: float = DEFAULT_OCR_DPI,
                  language: str = DEFAULT_OCR_LANGUAGE) -> list[OcrWord]:
        """The words OCR reads on the page rendered at ``dpi`` (lower where the
        image would pass ``_ocr.MAX_PIXELS``; a scan of about that resolution
        drawn over the whole page is read from its own pixels, which is what
        such a rendering shows), in ``language`` (Tesseract's
        name: "eng", "deu", "eng+fra"): each with its box in page space, text
        and confidence (0 to 100). Text scanned sideways or upside down reads
        as well, as Tesseract's orientation detection finds its turn. Read once
        per dpi and language, from the open document; needs Tesseract
        (``textloom[ocr]``), else an ImportError that says what to install."""
        return self._ocr_reading(check_positive("dpi", dpi), language)[0]

    def _ocr_reading(self, dpi: float, language: str) -> tuple[list[OcrWord], list[Run], int]:
        """The page's OCR words, the same as runs for the layout, and the rotation
        under which they read upright, once."""
        from textloom._images import scan_pixels
        from textloom._ocr import MAX_PIXELS, ocr_dpi, page_words

        key = (dpi, language)
        reading = self._ocr.get(key)
        if reading is None:
            width, height = self.width, self.height
            used = ocr_dpi(width, height, dpi)
            with self._handle.pdfium_page(self.index) as page:
                own = scan_pixels(page.raw, self.crop, used, MAX_PIXELS)
            if own is None:
                image = self.render(dpi=used, grayscale=True, rotated=False)
            else:
                image, used = own
            reading = self._ocr[key] = page_words(image, language, used, width, height)
        return reading

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
                 delimiters: str | None = None, extended: bool = False, offpage: bool = False,
                 forms: bool = True, ocr: str = DEFAULT_OCR) -> str: ...

    @overload
    def get_text(self, option: Literal["blocks"], *, sort: Sort = DEFAULT_SORT,
                 clip: Rect | None = None, rotated: bool = False, dehyphenate: bool = False,
                 delimiters: str | None = None, extended: bool = False,
                 offpage: bool = False, forms: bool = True,
                 ocr: str = DEFAULT_OCR) -> list[BlockRow]: ...

    @overload
    def get_text(self, option: Literal["words"], *, sort: Sort = DEFAULT_SORT,
                 clip: Rect | None = None, rotated: bool = False, dehyphenate: bool = False,
                 delimiters: str | None = None, extended: Literal[False] = False,
                 offpage: bool = False, forms: bool = True,
                 ocr: str = DEFAULT_OCR) -> list[WordRow]: ...

    @overload
    def get_text(self, option: Literal["words"], *, sort: Sort = DEFAULT_SORT,
                 clip: Rect | None = None, rotated: bool = False, dehyphenate: bool = False,
                 delimiters: str | None = None, extended: bool,
                 offpage: bool = False, forms: bool = True,
                 ocr: str = DEFAULT_OCR) -> list[WordRow] | list[OcrWordRow]: ...

    @overload
    def get_text(self, option: Literal["dict", "rawdict"], *, sort: Sort = DEFAULT_SORT,
                 clip: Rect | None = None, rotated: bool = False, dehyphenate: bool = False,
                 delimiters: str | None = None, extended: bool = False,
                 offpage: bool = False, forms: bool = True,
                 ocr: str = DEFAULT_OCR) -> TextDict: ...

    @overload
    def get_text(self, option: str, *, sort: Sort = DEFAULT_SORT, clip: Rect | None = None,
                 rotated: bool = False, dehyphenate: bool = False, delimiters: str | None = None,
                 extended: bool = False, offpage: bool = False, forms: bool = True,
                 ocr: str = DEFAULT_OCR) -> Any: ...

    def get_text(self, option: str = "text", *, sort: Sort = DEFAULT_SORT, clip: Rect | None = None,
                 rotated: bool = False, dehyphenate: bool = False, delimiters: str | None = None,
                 extended: bool = False, offpage: bool = False, forms: bool = True,
                 ocr: str = DEFAULT_OCR) -> Any:
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
        ``forms``: the values of filled form fields as text in their boxes, as a
        viewer shows them (a checked box "☒"); ``forms=False`` leaves them out.
        ``ocr``: "auto" reads the page by OCR where ``text_signals`` says it
        needs it and an engine is installed (``ocr_words``), "always" reads
        every page so, "never" none; an OCR'd page's "dict" has "ocr": True,
        and its spans the engine's "confidence" (0 to 100, the mean of the
        words they hold; in page space, so not with ``rotated``); its "words"
        with ``extended`` gain that confidence as a ninth item (None where no
        OCR word lies in the word's box). Other pages' words never have it.
        """
        if delimiters is not None and isinstance(option, str) and option.lower() != "words":
            raise ValueError(f'delimiters split words: they apply to "words" only, not {option!r}')
        read_by_ocr = self._reads_by_ocr(ocr)
        seen = self._seen(offpage, forms, read_by_ocr)
        result = seen.get_text(option, sort, clip, rotated, dehyphenate, delimiters, extended)
        if read_by_ocr and isinstance(result, dict):
            from textloom._ocr_confidence import add_confidence

            result["ocr"] = True
            if not rotated:  # span boxes in page space, as the words'
                add_confidence(result, self._ocr_reading(self._handle.ocr_dpi,
                                                         self._handle.ocr_language)[0])
        elif read_by_ocr and extended and isinstance(result, list) and option.lower() == "words":
            from textloom._ocr_confidence import with_confidence

            unturned = result if not rotated else seen.get_text(
                option, sort, clip, False, dehyphenate, delimiters, extended)
            result = with_confidence(result, unturned, self._ocr_reading(
                self._handle.ocr_dpi, self._handle.ocr_language)[0])
        return result

    def words_array(self, *, sort: Sort = DEFAULT_SORT, clip: Rect | None = None,
                    rotated: bool = False, offpage: bool = False, forms: bool = True,
                    ocr: str = DEFAULT_OCR) -> npt.NDArray[np.void]:
        """The words of ``get_text("words")`` as a NumPy structured array with the
        fields x0, y0, x1, y1 (float64), block, line, word (int32) and text
        (object); ``sort``, ``offpage``, ``forms`` and ``ocr`` as for ``get_text``.
        Needs ``textloom[numpy]``."""
        numpy = import_optional("numpy", "numpy")
        seen = self._seen(offpage, forms, self._reads_by_ocr(ocr))
        coords, numbers, texts = seen.words_arrays(sort, clip, rotated)
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
                    links: bool = True, offpage: bool = False, forms: bool = True,
                    ocr: str = DEFAULT_OCR, tables: bool = True, images: bool = False,
                    annotations: bool = False) -> str:
        """The page as Markdown: headings by type size against the page's body
        size, paragraphs (hyphenated line ends joined), lists, fenced code,
        **bold**, _italic_, `code`, <sup>, <sub> and [links](uri).

        ``sort``: reading order of blocks, "reading" by default, as for ``get_text``.
        ``keep_headers``: no effect on one page (running headers and footers
        are found over the pages of ``Document.to_markdown``).
        ``superscripts``, ``subscripts``: mark raised and lowered text.
        ``links``: text inside the box of a link to a URI as [text](uri).
        ``offpage``, ``forms``, ``ocr``: as for ``get_text``.
        ``tables``: each table ``find_tables`` finds as a pipe table in its
        reading-order place, instead of its lines. Each word is written once,
        in the table or as text (a word is its cell's when it starts in it).
        ``images``: a placeholder line ``![image](page-N-image-K)`` (both from 1)
        in each image's reading-order place.
        ``annotations``: the page's comments (notes, highlights) after its text,
        as a "Comments" list of author and contents.
        A page without text gives the empty string.
        """
        from textloom._markdown import pages_markdown, with_comments

        seen, _, inserts = self._markdown_parts(offpage, forms, ocr, tables, images)
        text = pages_markdown([seen], sort=sort, keep_headers=keep_headers,
                              superscripts=superscripts, subscripts=subscripts, links=links,
                              inserts=[inserts])[0]
        return with_comments(text, self.annotations()) if annotations else text

    # -- tables -------------------------------------------------------------------------

    def find_tables(self, *, strategy: str = "auto", clip: Rect | None = None,
                    snap_tolerance: float = 0.3, join_tolerance: float = 0.35,
                    intersection_tolerance: float = 0.3, column_gap: float = 1.0,
                    min_rows: int = 3, ocr: str = DEFAULT_OCR) -> list[Table]:
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
        of three columns or more (two columns of words alone are as often an
        index or line-numbered text) on pages that draw no table with rules,
        where no vertical rule runs through them (a chart's axis, a frame's side).
        Charts (curves and slanted lines over a candidate) are not tables.
        ``clip``: only tables lying inside (x0, y0, x1, y1), page space.
        Tolerances are in ems, the page's median type size:
        ``snap_tolerance`` (0.3): rules this close across are one line;
        ``join_tolerance`` (0.35): collinear rules with gaps up to this are one
        (dashed and dotted rules); ``intersection_tolerance`` (0.3): a rule this
        short of another still meets it; ``column_gap`` (1.0): the narrowest
        white gap between columns of words. ``min_rows`` (3): the rows a table
        without rules needs. ``ocr``: as for ``get_text``.
        """
        from textloom._tables import tables_of

        check_strategy(strategy)
        return tables_of(self._seen(ocr=self._reads_by_ocr(ocr)).tables(
            strategy, clip, check_tolerance("snap_tolerance", snap_tolerance),
            check_tolerance("join_tolerance", join_tolerance),
            check_tolerance("intersection_tolerance", intersection_tolerance),
            check_positive("column_gap", column_gap), check_count("min_rows", min_rows)))

    def text_map(self, *, sort: Sort = DEFAULT_SORT, rotated: bool = False,
                 ocr: str = DEFAULT_OCR) -> TextMap:
        """The page text of ``get_text("text", sort=sort)`` (its ``text``) and, for
        any range of it, the boxes it covers (``boxes(start, end)``, one per line;
        ``fragments`` with block and line): one call answers many ranges.
        ``rotated`` and ``ocr`` as for ``get_text``."""
        return self._text_map(sort, rotated, ocr)

    def _text_map(self, sort: Sort, rotated: bool, ocr: str) -> TextMap:
        by_ocr = self._reads_by_ocr(ocr)
        # Kept by the arguments and their types (1 is not True to the native
        # checks); what cannot be a key goes to the native call, which words
        # what is wrong with it.
        key = (type(sort), sort, type(rotated), rotated, by_ocr)
        try:
            text_map = self._maps.get(key)
        except TypeError:
            return TextMap(self._seen(ocr=by_ocr).text_map(sort, rotated))
        if text_map is None:
            text_map = self._maps[key] = TextMap(self._seen(ocr=by_ocr).text_map(sort, rotated))
        return text_map

    def search(self, query: str, *, regex: bool = False, case: bool = False,
               words: bool = False, diacritics: bool = True, sort: Sort = DEFAULT_SORT,
               rotated: bool = False, ocr: str = DEFAULT_OCR) -> list[Match]:
        """Where ``query`` stands on the page, in reading order: each ``Match``
        with the text it covers, its range in ``get_text("text", sort=sort)``
        and a box per line it touches (page space; ``rotated`` maps them into
        the view). White space in the query matches any run of white space or
        a line break; a word hyphenated at a line end matches whole; ligatures
        and full-width forms match their letters (NFKC). ``case``: match case;
        ``words``: whole words only; ``diacritics=False``: ignore accents;
        ``regex``: ``query`` is a PCRE2 regular expression (Unicode), matched
        against the text so normalised; a bad one is a ValueError, and so is a
        query of white space alone."""
        check_query(query)
        if not (regex.__class__ is case.__class__ is words.__class__ is diacritics.__class__
                is bool):  # asked once: a search of a page costs a few microseconds
            for name, flag in (("regex", regex), ("case", case), ("words", words),
                               ("diacritics", diacritics)):
                check_flag(name, flag)
        return self._text_map(sort, rotated, ocr)._find(query, regex, case, words, diacritics)

    def text_signals(self) -> TextSignals:
        """What the page's glyphs and objects say about its text: chars, words,
        the shares of unmapped, invisible and off-page text and of the page
        under images, and whether the page needs OCR (and why). One pass over
        what extraction read; the form fields' values do not count."""
        signals = self._signals
        if signals is None:
            signals = self._signals = TextSignals(*self._page().text_signals())
        return signals

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

    def _markdown_parts(self, offpage: bool, forms: bool, ocr: str, tables: bool,
                        images: bool) -> tuple[_native.RsPage, list[Table], list[Insert]]:
        """What Markdown writes of the page: the glyphs it reads, the ruled
        tables among them (with ``tables``) and what it writes in place: the
        tables, image placeholders (with ``images``)."""
        from textloom._markdown import image_inserts, table_inserts
        from textloom._tables import tables_of

        seen = self._seen(offpage, forms, self._reads_by_ocr(ocr))
        found = tables_of(seen.tables()) if tables else []
        inserts = table_inserts(found)
        if images:
            inserts += image_inserts(self.index + 1, [image.bbox for image in self.images()])
        return seen, found, inserts

    def images(self) -> list[PageImage]:
        """The page's images, in content order (those inside form XObjects too):
        box in page space, pixel width and height, bits per component, colour
        space name, and ``render()`` of the page in that box. Read from the open
        document."""
        from textloom._images import read_images

        crop = self.crop
        with self._handle.pdfium_page(self.index) as page:
            return read_images(page.raw, crop, self)

    def annotations(self) -> list[Annotation]:
        """The page's annotations, in annotation order: subtype, bbox, contents,
        author, modification date, and for a link its URI or target page index.
        An annotation the file gives no appearance has the bbox PDFium draws the
        one it makes in, whether the page was rendered before or not."""
        from textloom._annotations import read_annotations

        crop = self.crop
        with self._handle.pdfium_page(self.index, draws=True) as page:
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

            with self._handle.pdfium_page(self.index, forms=True, draws=True) as page:
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
