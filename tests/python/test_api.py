"""The public API: textloom.open on every kind of source and every kind of bad
input, Document as a sequence and a context manager, use after close, Page's
text calls against the native module on the same page, words_array, metadata,
outline, labels, links, optional extras and the import cost."""

from __future__ import annotations

import gc
import io
import itertools
import json
import pickle
import subprocess
import sys

import numpy as np
import pypdfium2 as pdfium
import pytest

import textloom
from textloom import _native
from textloom._metadata import pdf_date_to_iso

import pdfgen
from conftest import CORPUS, SAMPLE, SCHEMAS, form_pdf, linked_pdf

BOOK = CORPUS / "latex-book-geotopo.pdf"


def sample_text() -> str:
    with pdfium.PdfDocument(str(SAMPLE)) as pdf:
        return _native.load_page(textloom.document_address(pdf), 0).get_text()


@pytest.mark.parametrize("make", [
    lambda: str(SAMPLE), lambda: SAMPLE, lambda: SAMPLE.read_bytes(),
    lambda: bytearray(SAMPLE.read_bytes()), lambda: memoryview(SAMPLE.read_bytes()),
    lambda: io.BytesIO(SAMPLE.read_bytes()), lambda: SAMPLE.open("rb"),
], ids=["str", "pathlike", "bytes", "bytearray", "memoryview", "bytesio", "file"])
def test_open_every_kind_of_source(make):
    source = make()
    with textloom.open(source) as doc:
        assert len(doc) == 3
        assert doc[0].get_text() == sample_text()
    if hasattr(source, "close"):
        source.close()


def locked(tmp_path):
    return linked_pdf(tmp_path / "locked.pdf", "pw")


@pytest.mark.parametrize("source, kwargs, exception, reason", [
    (lambda tmp: tmp / "notes.pdf", b"just some text, not a PDF\n", textloom.PdfError, "data format error"),
    (lambda tmp: tmp / "missing.pdf", None, FileNotFoundError, "No such file"),
    (lambda tmp: tmp, None, IsADirectoryError, "Is a directory"),
    (locked, {}, textloom.PasswordError, "a password is needed"),
    (locked, {"password": "nope"}, textloom.PasswordError, "wrong password"),
    (lambda tmp: 12, None, TypeError, "cannot open a int"),
], ids=["text file", "missing", "directory", "no password", "wrong password", "not a source"])
def test_open_failures(tmp_path, source, kwargs, exception, reason):
    source = source(tmp_path)
    if isinstance(kwargs, bytes):  # the file's contents
        source.write_bytes(kwargs)
    with pytest.raises(exception) as raised:
        textloom.open(source, **(kwargs if isinstance(kwargs, dict) else {}))
    assert reason in str(raised.value)
    if isinstance(raised.value, textloom.PdfError):
        assert isinstance(raised.value, ValueError)
        assert str(raised.value).startswith(f"{source}: ")
        assert raised.value.filename == str(source)
        # Raised by open() itself, with PDFium's exception suppressed: one frame, no chain.
        assert len(raised.traceback) == 2 and raised.value.__suppress_context__
        again = pickle.loads(pickle.dumps(raised.value))
        assert (type(again), str(again)) == (type(raised.value), str(raised.value))


def test_open_with_the_right_password(tmp_path):
    for password in ("pw", b"pw"):  # bytes: the password's own bytes
        with textloom.open(locked(tmp_path), password=password) as doc:
            assert doc[1].get_text() == "second page\n"


def closed_file(tmp):
    stream = SAMPLE.open("rb")
    stream.close()
    return stream


def open_write_only(tmp):
    with (tmp / "out.pdf").open("wb") as stream:
        textloom.open(stream)


MISTAKES = [  # (what the user does, exception, message or its start)
    (lambda doc, tmp: doc["1"], TypeError, "page index must be an int, not str"),
    (lambda doc, tmp: doc.to_markdown(pages=[0.5]), TypeError, "page index must be an int, not float"),
    (lambda doc, tmp: doc[0].render(dpi=0), ValueError, "dpi must be a number above 0, not 0"),
    (lambda doc, tmp: doc[0].render(scale=-1), ValueError, "scale must be a number above 0, not -1"),
    (lambda doc, tmp: doc[0].render(2.0, dpi=144), ValueError, "give scale or dpi, not both"),
    (lambda doc, tmp: doc[0].render(scale=float("nan")), ValueError, "scale must be a number above 0"),
    (lambda doc, tmp: doc[0].render(dpi=7200), ValueError,
     "a 59528x84189 image is more than the 268435456 pixels render makes (2**28)"),
    (lambda doc, tmp: doc[0].render(scale=0.1).save(tmp / "page.bmp"), ValueError,
     "cannot tell an image format from '.bmp'"),
    (lambda doc, tmp: doc[0].get_text("blocks", delimiters=","), ValueError,
     "delimiters split words: they apply to \"words\" only, not 'blocks'"),
    (lambda doc, tmp: textloom.open(closed_file(tmp)), ValueError, "cannot read a PDF from a closed file"),
    (lambda doc, tmp: open_write_only(tmp), ValueError,
     "cannot read a PDF from a file not open for reading"),
]


@pytest.mark.parametrize("mistake, exception, message", MISTAKES)
def test_mistakes_get_a_sentence_that_says_what_to_do(tmp_path, mistake, exception, message):
    with textloom.open(SAMPLE) as doc, pytest.raises(exception) as raised:
        mistake(doc, tmp_path)
    assert str(raised.value).startswith(message)


@pytest.mark.parametrize("name, format", [("p.png", "PNG"), ("p.JPG", "JPEG"), ("p.webp", "WEBP"),
                                          ("p.tiff", "TIFF")])
def test_save_writes_the_format_of_the_extension(tmp_path, name, format):
    from PIL import Image as PilImage

    with textloom.open(SAMPLE) as doc:
        doc[0].render(scale=0.2, alpha=True).save(tmp_path / name)
    with PilImage.open(tmp_path / name) as image:
        assert image.format == format and image.size == (119, 168)


def test_pages_as_a_sequence():
    writer = pdfgen.PdfWriter()
    for number in range(12):
        writer.page().text(72, 700, f"page {number}")
    with textloom.open(writer.tobytes()) as doc:
        assert doc.page_count == len(doc) == 12
        assert [page.get_text() for page in doc[-2:]] == ["page 10\n", "page 11\n"]
        assert [page.index for page in doc[3:9:5]] == [3, 8]
        assert doc[-12].index == 0 and doc[11].index == 11
        assert [page.index for page in doc] == list(range(12))
        assert doc[3] == doc[-9] and doc[3] in doc and doc.index(doc[5]) == 5 and doc[3] != doc[4]
        for index in (12, -13):
            with pytest.raises(IndexError, match="out of range"):
                doc[index]


def test_use_after_close():
    doc = textloom.open(SAMPLE)
    kept = doc[0]
    kept.get_text()
    never = doc[1]
    doc.close()
    doc.close()  # idempotent
    closed = [lambda: len(doc), lambda: doc[0], lambda: doc.metadata, lambda: doc.toc,
              lambda: list(doc), never.get_text, lambda: never.width, never.links,
              never.to_markdown, lambda: kept.label, kept.render]
    for call in closed:
        with pytest.raises(ValueError, match=r"^document is closed$"):
            call()
    # A page that extracted keeps its glyphs and links: text calls and its geometry still work.
    assert kept.get_text("words") and kept.width == pytest.approx(595.28, abs=0.01)
    assert kept.links() == [] and kept.to_markdown().startswith("# textloom sample document\n")
    assert doc.closed and "closed" in repr(doc)


def test_context_manager_and_collector_close_the_pdfium_document():
    with textloom.open(SAMPLE) as doc:
        pdf = doc._handle.pdf()
    assert pdf.raw is None and doc.closed
    doc = textloom.open(SAMPLE)
    pdf, page = doc._handle.pdf(), doc[0]
    del doc
    gc.collect()
    assert pdf.raw is not None  # a page of it is alive: the document stays open for it
    del page
    gc.collect()
    assert pdf.raw is None


def test_page_calls_equal_the_native_calls():
    """Page hands every option through unchanged, on the glyphs it extracted once;
    its one default of its own is the reading order."""
    variants = [{}, {"sort": "xycut", "rotated": True, "extended": True},
                {"dehyphenate": True, "clip": (0.0, 0.0, 300.0, 400.0)}]
    with pdfium.PdfDocument(str(SAMPLE)) as pdf, textloom.open(SAMPLE) as doc:
        for page in doc:
            native = _native.load_page(textloom.document_address(pdf), page.index)
            assert (page.width, page.height, page.rotation, page.crop) == (
                native.width, native.height, native.rotation, native.crop)
            for option, kwargs in itertools.product(SCHEMAS, variants):
                assert page.get_text(option, **kwargs) == native.get_text(
                    option, **{"sort": "reading", **kwargs})
            assert page.get_text("words", delimiters=",.") == native.get_text(
                "words", "reading", delimiters=",.")
            assert page._glyphs is not None and page._page() is page._glyphs  # extracted once


@pytest.mark.parametrize("kwargs", [{}, {"sort": "xycut", "rotated": True},
                                    {"clip": (0.0, 0.0, 200.0, 200.0)}, {"clip": (0.0, 0.0, 0.0, 0.0)}])
def test_words_array_equals_words(kwargs):
    with textloom.open(SAMPLE) as doc:
        page = doc[2]
        words = page.get_text("words", **kwargs)
        array = page.words_array(**kwargs)
    assert array.dtype.names == ("x0", "y0", "x1", "y1", "block", "line", "word", "text")
    assert array.shape == (len(words),)
    assert [tuple(row) for row in array.tolist()] == [
        (*word[:4], *word[5:], word[4]) for word in words]
    assert array["x0"].dtype == np.float64 and array["block"].dtype == np.int32


@pytest.mark.parametrize("text, iso", [
    ("D:20161231184323+01'00'", "2016-12-31T18:43:23+01:00"),
    ("D:20230623063933Z", "2023-06-23T06:39:33+00:00"),
    ("D:20230623063933Z00'00'", "2023-06-23T06:39:33+00:00"),
    ("D:19990209153925-08'30", "1999-02-09T15:39:25-08:30"),
    ("D:2004", "2004-01-01T00:00:00"),
    ("20040315", "2004-03-15T00:00:00"),
    ("D:20041315", "D:20041315"),  # month 13
    ("yesterday", "yesterday"),
])
def test_pdf_dates(text, iso):
    assert pdf_date_to_iso(text) == iso


def test_metadata_outline_and_labels(corpus):
    with textloom.open(BOOK) as doc:
        assert doc.metadata == {
            "title": "Geometrie und Topologie", "author": "Martin Thoma", "subject": None,
            "keywords": "Geometrie, Topologie", "creator": "LaTeX with hyperref package",
            "producer": "3-Heights™ PDF Optimization Shell 6.3.1.5 (http://www.pdf-tools.com)",
            "creation_date": "2016-12-31T18:43:23+01:00",
            "modification_date": "2023-06-23T06:39:33+00:00"}
        toc = doc.toc
        assert (doc[0].label, doc[10].label) == ("i", "8")
    with pdfium.PdfDocument(str(BOOK)) as pdf:
        expected = []
        for mark in pdf.get_toc():
            dest = mark.get_dest()
            expected.append((mark.level + 1, mark.get_title(), dest and dest.get_index()))
    assert toc == expected and toc[:2] == [(1, "1 Topologische Grundbegriffe", 5),
                                           (2, "1.1 Topologische Räume", 5)]
    with textloom.open(SAMPLE) as doc:
        assert doc.toc == [] and doc[0].label is None
        assert doc.metadata["creator"] == "textloom tools/make_sample.py"
        assert doc.metadata["title"] is None


def test_links_match_the_python_reader(corpus):
    """The links extraction reads natively are those that the pdftext module's
    reader finds through pypdfium2's raw API."""
    from textloom._links import read_link_dests

    with textloom.open(BOOK) as doc, pdfium.PdfDocument(str(BOOK)) as pdf:
        links = [doc[i].links() for i in range(len(doc))]
        assert links == [[link for link, _ in read_link_dests(pdf.raw, page.raw, doc[i].crop)]
                         for i, page in enumerate(pdf)]
    uris = [link for page in links for link in page if link.uri]
    assert len(uris) > 10 and sum(map(len, links)) > 500


@pytest.mark.parametrize("module, extra, call", [
    ("numpy", "numpy", lambda page: page.words_array()),
    ("PIL.Image", "image", lambda page: textloom.Image(1, 1, 1, b"\0").to_pil()),
])
def test_missing_extra_is_named(monkeypatch, module, extra, call):
    monkeypatch.setitem(sys.modules, module, None)
    with textloom.open(SAMPLE) as doc, pytest.raises(ImportError, match=rf"textloom\[{extra}\]"):
        call(doc[0])


def test_import_is_light():
    code = ("import sys, textloom, textloom.ray; heavy = {'numpy', 'PIL', 'tqdm', 'pypdfium2', 'ray', "
            "'pyarrow'} & {name.split('.')[0] for name in sys.modules}; print(sorted(heavy))")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert done.stdout.strip() == "[]"


@pytest.mark.parametrize("kwargs, native_args", [
    ({}, (1.0, None, True, False, False, True, True, 0xFFFFFFFF)),
    ({"dpi": 144, "alpha": True}, (2.0, None, True, True, False, True, True, 0xFFFFFFFF)),
    ({"scale": 0.5, "rotated": False, "grayscale": True}, (0.5, None, False, False, True, True, True,
                                                          0xFFFFFFFF)),
    ({"scale": 1.5, "clip": (100.0, 100.0, 300.0, 150.0), "annots": False, "antialias": False,
      "background": 0xFF0000FF},
     (1.5, (100.0, 100.0, 300.0, 150.0), True, False, False, False, False, 0xFF0000FF)),
])
def test_render_equals_render_page(kwargs, native_args):
    with textloom.open(SAMPLE) as doc, pdfium.PdfDocument(str(SAMPLE)) as pdf:
        for index in range(len(doc)):
            image = doc[index].render(**kwargs)
            scale, *rest = native_args
            width, height, channels, pixels = _native.render_page(
                textloom.document_address(pdf), index, scale, scale, *rest)
            assert (image.width, image.height, image.channels, image.data) == (
                width, height, channels, pixels)
            assert image.stride == width * channels


def test_render_timeout_and_numpy_view():
    with textloom.open(SAMPLE) as doc:
        image = doc[0].render(0.25)
    writer = pdfgen.PdfWriter()
    busy = writer.page()
    for number in range(400):  # PDFium's progressive renderer checks its deadline per 100 objects
        busy.text(20 + number % 20 * 28, 40 + number // 20 * 36, "x", size=30)
    with textloom.open(writer.tobytes()) as doc, pytest.raises(
            TimeoutError, match=r"^<bytes>: page 1: rendering took longer than 1µs$"):
        doc[0].render(2.0, timeout=1e-6)
    array = image.to_numpy()
    assert array.shape == (image.height, image.width, 3) and array.base is not None
    assert not array.flags.writeable  # a view of the bytes, not a copy


@pytest.mark.parametrize("scale, clip", [(1.0, None), (2.0, (10.0, 20.0, 110.0, 60.0))])
def test_render_draws_form_fields_as_pypdfium2_does(scale, clip):
    data = form_pdf()
    crop = (0, 0, 0, 0) if clip is None else (clip[0], 100 - clip[3], 200 - clip[2], clip[1])
    with textloom.open(data) as doc:
        plain = doc[0].render(scale, clip=clip)
        filled = doc[0].render(scale, clip=clip, forms=True)
    with pdfium.PdfDocument(data) as pdf:
        pdf.init_forms()
        page = pdf[0]
        oracle = bytes(page.render(scale=scale, crop=crop, rev_byteorder=True).buffer)
        page.close()
    assert filled.data == oracle != plain.data


def test_two_threads_extract_and_render_different_documents():
    """PDFium is entered under one lock: concurrent threads neither crash nor
    disturb each other's results."""
    import threading

    def work(source: object, rounds: int) -> list[object]:
        results: list[object] = []
        with textloom.open(source) as doc:
            for round_ in range(rounds):
                page = doc[round_ % len(doc)]
                results.append((page.get_text("words"), page.render(0.2).data, page.links()))
        return results

    sources = [SAMPLE, form_pdf()]
    serial = [work(source, 200) for source in sources]
    threaded: list[list[object]] = [[], []]
    threads = [threading.Thread(target=lambda i=i: threaded.__setitem__(i, work(sources[i], 200)))
               for i in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert threaded == serial


def test_form_fields_and_annotations_as_drawn(tmp_path):
    from conftest import FORM_FIELDS, NOTE, filled_form_pdf
    from textloom._annotations import MAX_TEXT

    with textloom.open(filled_form_pdf()) as doc:
        page = doc[0]
        fields = page.form_fields()
        annotations = page.annotations()
    expected = [(name, *reading) for name, _, _, _, reading in FORM_FIELDS]
    expected += [("size", "radio", False, False), ("size", "radio", True, False)]
    assert [(f.name, f.type, f.value, f.read_only) for f in fields] == expected
    assert fields[0].bbox == (50.0, 72.0, 250.0, 92.0)  # page space: from the top-left corner
    kinds = [a.subtype for a in annotations]
    assert kinds == ["Widget"] * 11 + ["FreeText", "Text", "Highlight"]  # the fieldless widget too
    free, comment, highlight = annotations[-3:]
    assert (free.contents, free.author, comment.author, comment.modified) == (
        "Free note", None, "Reviewer", "2024-01-02T03:04:05+00:00")
    assert comment.contents == NOTE[:MAX_TEXT] and highlight.bbox == (50.0, 472.0, 150.0, 492.0)
    assert all(a.author is None for a in annotations[:11])  # a widget's /T names its field
    with textloom.open(SAMPLE) as doc:
        assert doc[0].form_fields() == [] and doc[0].annotations() == []
    with textloom.open(linked_pdf(tmp_path / "linked.pdf")) as doc:
        assert [(a.subtype, a.uri, a.page) for a in doc[0].annotations()] == [
            ("Link", "https://example.org/a", None), ("Link", None, 1)]


def test_words_wholly_outside_the_crop_box_are_left_out_unless_asked():
    writer = pdfgen.PdfWriter()
    page = writer.page(width=200, height=100)
    page.text(20, 50, "inside")
    page.text(185, 50, "edge")  # starts in the box and runs past its right side: seen in part
    page.text(230, 50, "beyond")
    page.text(20, -30, "below")
    with textloom.open(writer.tobytes()) as doc:
        page = doc[0]
        seen = [row[4] for row in page.get_text("words")]
        everything = [row[4] for row in page.get_text("words", offpage=True)]
        markdown = page.to_markdown()
        chunk_text = doc.to_markdown(page_chunks=True)[0]["text"]
        array_words = list(page.words_array()["text"])
    assert seen == array_words == ["inside", "edge"]
    assert sorted(everything) == ["below", "beyond", "edge", "inside"]
    for text in (markdown, chunk_text):
        assert "inside" in text and "beyond" not in text and "below" not in text


def test_filled_fields_and_free_text_read_as_text_in_their_boxes(tmp_path):
    from conftest import FORM_FIELDS, cli, filled_form_pdf

    def shown(value):
        return "☒" if value is True else ", ".join(value) if isinstance(value, list) else value

    values = [shown(value) for *_, (_, value, _) in FORM_FIELDS if value]
    expected = [word for value in values for word in value.split()] + ["☒", "Free", "note"]
    path = tmp_path / "form.pdf"
    path.write_bytes(filled_form_pdf())
    with textloom.open(path) as doc:
        page = doc[0]
        words = page.get_text("words")
        fields = {field.name: field.bbox for field in page.form_fields()}
        assert page.get_text("words", forms=False) == [] and page.to_markdown(forms=False) == ""
        markdown = page.to_markdown()
    assert sorted(row[4] for row in words) == sorted(expected)  # the unchecked box shows nothing
    (mark,) = [row for row in words if row[4] == "☒" and row[0] < 70]  # "agree", at its box
    x0, y0, x1, y1 = fields["agree"]
    assert x0 <= mark[0] < mark[2] <= x1 and y0 <= mark[1] < mark[3] <= y1
    assert [row[4] for row in words[:2]] == ["Ada", "Lovelace"]  # the top field comes first
    assert "first line second line" in markdown
    with textloom.open(path) as doc:  # comments after the page's text, cut to a line each
        comments = doc[0].to_markdown(annotations=True).split("**Comments**\n\n")[1]
    assert comments.startswith("- Reviewer: Check this Check") and comments.count("\n") == 1
    printed = [json.loads(line)["text"] for line in cli("text", path, "--jsonl").stdout.splitlines()]
    assert printed[0].startswith("Ada Lovelace\n")
    assert cli("text", path, "--no-forms").stdout == b"\f"


def test_inherited_values_show_in_each_widget_and_megabytes_are_cut():
    from conftest import raw_pdf

    big = b"word " * 300_000  # 1.5 MB of a value: 100,000 characters kept, 20,000 words
    # Widgets of their own /FT but of a parent field: the value is the parent's.
    kids = b"/Type /Annot /Subtype /Widget /FT /Tx /Parent 4 0 R /P 3 0 R /Rect [%d 700 %d 720]"
    objects = [b"<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [4 0 R 7 0 R] >> >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Annots [5 0 R 6 0 R 7 0 R] >>",
               b"<< /FT /Tx /T (shared) /V (both) /DA (/Helv 10 Tf) /Kids [5 0 R 6 0 R] >>",
               b"<< %s >>" % (kids % (50, 150)), b"<< %s >>" % (kids % (300, 400)),
               b"<< /Type /Annot /Subtype /Widget /FT /Tx /T (big) /V (%s) /P 3 0 R "
               b"/Rect [50 100 550 120] >>" % big]
    with textloom.open(raw_pdf(objects)) as doc:
        words = doc[0].get_text("words")
    assert [(row[0], row[4]) for row in words[:2]] == [(52.0, "both"), (302.0, "both")]
    assert [row[4] for row in words[2:]] == ["word"] * 20_000


def test_a_scanned_page_says_it_needs_ocr_and_a_page_with_text_does_not(tmp_path):
    from conftest import cli

    scan = tmp_path / "scan.pdf"
    with textloom.open(SAMPLE) as doc:
        doc[0].render(dpi=50).to_pil().save(scan)  # an image of a page, and nothing else
        assert doc[0].text_signals()[:2] == (sum(not c.isspace() for c in doc[0].get_text()),
                                            len(doc[0].get_text("words")))
        assert not doc[0].text_signals().needs_ocr
    with textloom.open(scan) as doc:
        signals = doc[0].text_signals()
    assert (signals.chars, signals.needs_ocr, signals.reason) == (0, True, "no text")
    assert signals.image_share == pytest.approx(1.0)
    (row,) = [json.loads(line)
              for line in cli("text", scan, "--jsonl", "--ocr", "never").stdout.splitlines()]
    assert (row["needs_ocr"], row["text"]) == (True, "")
    assert "needs OCR: page 1 (no text)" in cli("info", scan).stdout.decode()


def test_images_are_found_in_forms_too_with_their_boxes_and_pixels():
    from conftest import raw_pdf, stream

    image = stream(b"/Type /XObject /Subtype /Image /Width 2 /Height 3 /ColorSpace /DeviceGray "
                   b"/BitsPerComponent 8", b"\x00\xff\x80\x40\x20\x10")
    form = stream(b"/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Matrix [1 0 0 1 200 100] "
                  b"/Resources << /XObject << /Im 4 0 R >> >>", b"q 40 0 0 30 0 0 cm /Im Do Q")
    content = b"q 100 0 0 50 10 20 cm /Im Do Q /Fm Do q 1 0 0 1 0 0 cm /Im Do Q"
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Contents 6 0 R "
               b"/Resources << /XObject << /Im 4 0 R /Fm 5 0 R >> >> >>", image, form,
               stream(b"", content)]
    with textloom.open(raw_pdf(objects)) as doc:
        page = doc[0]
        images = page.images()
        signals = page.text_signals()
        assert images[0].render(scale=1).width == 100
        placed = page.to_markdown(images=True).rstrip("\n").split("\n\n")  # each its own paragraph
        assert sorted(placed) == [f"![image](page-1-image-{k})" for k in (1, 2, 3)]
    assert [(image.bbox, image.width, image.height, image.bits_per_component, image.colorspace)
            for image in images] == [((10, 230, 110, 280), 2, 3, 8, "DeviceGray"),
                                     ((200, 170, 240, 200), 2, 3, 8, "DeviceGray"),
                                     ((0, 299, 1, 300), 2, 3, 8, "DeviceGray")]
    area = 100 * 50 + 40 * 30 + 1  # the native walk of the same objects covers the same area
    assert signals.image_share == pytest.approx(area / 300 ** 2)


def test_a_thousand_images_and_one_of_absurd_size_are_read_in_bounded_time():
    from conftest import raw_pdf, stream

    image = stream(b"/Type /XObject /Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceGray "
                   b"/BitsPerComponent 8", b"\x80")
    tiles = b"".join(b"q 5 0 0 5 %d %d cm /Im Do Q " % (5 * (k % 40), 5 * (k // 40))
                     for k in range(1000))
    # Past a million points, and drawn nowhere: both skipped, neither a crash.
    content = tiles + b"q 99999999999 0 0 99999999999 0 0 cm /Im Do Q q 0 0 0 0 9 9 cm /Im Do Q"
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 5 0 R "
               b"/Resources << /XObject << /Im 4 0 R >> >> >>", image, stream(b"", content)]
    with textloom.open(raw_pdf(objects)) as doc:
        images = doc[0].images()
        signals = doc[0].text_signals()
    assert len(images) == 1000 and images[0].bbox == (0, 195, 5, 200)
    assert signals.image_share == pytest.approx(200 * 125 / 200 ** 2) and signals.reason == "no text"
