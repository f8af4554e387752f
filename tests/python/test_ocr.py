"""Scanned pages read by OCR (Tesseract, where installed): images of pages
with known text, a page with an invisible text layer left alone, a blank
scan, "always" and "never", and a machine without the engine."""

from __future__ import annotations

import json

import pytest

import textloom
from textloom import _ocr

import pdfgen
from conftest import cli
from textloom._batch.page_output import format_info
from textloom._options import ReadOptions

pytestmark = pytest.mark.skipif(not _ocr.available(), reason="Tesseract is not installed")

LINES = ["Scanned pages read", "like born digital ones"]


def scan_of(tmp_path, data: bytes, name: str = "scan.pdf", dpi: float = 150):
    """An image-only PDF of the first page of ``data``, and that page's words."""
    path = tmp_path / name
    with textloom.open(data) as doc:
        doc[0].render(dpi=dpi).to_pil().save(path, resolution=dpi)
        return path, doc[0].get_text("words")


@pytest.fixture
def typed() -> bytes:
    writer = pdfgen.PdfWriter()
    page = writer.page(width=400, height=200)
    for number, line in enumerate(LINES):
        page.text(30, 150 - 40 * number, line, size=24)
    return writer.tobytes()


def test_a_scan_reads_as_the_page_it_was(tmp_path, typed):
    path, truth = scan_of(tmp_path, typed)
    with textloom.open(path) as doc:
        page = doc[0]
        result = page.get_text("dict")
        assert page.ocr and result["ocr"] is True
        spans = [span for block in result["blocks"] for line in block["lines"] for span in line["spans"]]
        assert all(0 < span["confidence"] <= 100 for span in spans if span["text"].strip())
        words = page.get_text("words")
        extended = page.get_text("words", extended=True)
        turned = page.get_text("words", extended=True, rotated=True, delimiters="a")
        assert page.get_text(ocr="never") == ""
    assert [row[:8] for row in extended] == words
    assert all(0 < row[8] <= 100 for row in extended + turned), turned
    with textloom.open(typed) as doc:  # a page not read by OCR keeps the plain words schema
        assert doc[0].get_text("words", extended=True) == doc[0].get_text("words") == truth
    assert [row[4] for row in words] == [row[4] for row in truth]
    for got, want in zip(words, truth):  # the engine boxes ink, the PDF its font's height
        assert abs(got[0] - want[0]) < 3 and abs(got[2] - want[2]) < 3, (got, want)
        assert want[1] - 2 < got[1] < got[3] < want[3] + 2, (got, want)
    (row,) = [json.loads(line) for line in cli("text", path, "--jsonl").stdout.splitlines()]
    assert (row["ocr"], row["text"].split()) == (True, " ".join(LINES).split())


def test_an_ocr_layer_is_kept_and_always_reads_any_page(tmp_path, typed):
    writer = pdfgen.PdfWriter()
    writer.page(width=400, height=200).text(30, 150, "hidden layer", size=24, render_mode=3)
    with textloom.open(writer.tobytes()) as doc:
        page = doc[0]
        assert (page.ocr, page.text_signals().invisible_share) == (False, 1.0)
        assert page.get_text() == "hidden layer\n"  # under auto: the layer as it is
        assert page.get_text(ocr="always") == ""  # drawn invisible: nothing on the pixels
    with textloom.open(typed) as doc:
        assert doc[0].get_text(ocr="always").lower().split() == " ".join(LINES).lower().split()


def test_a_blank_scan_reads_as_nothing(tmp_path):
    writer = pdfgen.PdfWriter()
    writer.page(width=200, height=200)
    path, _ = scan_of(tmp_path, writer.tobytes())
    with textloom.open(path) as doc:  # a scan (an image over the page), of nothing
        assert (doc[0].ocr, doc[0].ocr_words(), doc[0].get_text()) == (True, [], "")


def test_without_the_engine_auto_reads_nothing_and_asking_says_what_to_install(
        tmp_path, typed, monkeypatch):
    path, _ = scan_of(tmp_path, typed)

    def missing(language):
        raise _ocr.OcrUnavailable(_ocr._HINT)

    monkeypatch.setattr(_ocr, "engine", missing)
    with textloom.open(path) as doc:
        assert (doc[0].ocr, doc[0].get_text()) == (False, "")
        with pytest.raises(ImportError, match="apt-get install tesseract-ocr"):
            doc[0].ocr_words()
        info = format_info(doc, str(path), ReadOptions())
    assert "needs OCR: page 1 (no text) (read as empty: no OCR engine;" in info


def test_a_damaged_image_reads_as_nothing_without_a_crash():
    from conftest import raw_pdf, stream

    image = stream(b"/Type /XObject /Subtype /Image /Width 400 /Height 400 /ColorSpace /DeviceGray "
                   b"/BitsPerComponent 8 /Filter /DCTDecode", b"\xff\xd8 not a JPEG at all")
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 5 0 R "
               b"/Resources << /XObject << /Im 4 0 R >> >> >>", image,
               stream(b"", b"q 200 0 0 200 0 0 cm /Im Do Q")]
    with textloom.open(raw_pdf(objects)) as doc:
        assert (doc[0].ocr, doc[0].get_text()) == (True, "")


@pytest.mark.parametrize("angle", [90, 180, 270])
def test_a_page_scanned_turned_reads_in_order(tmp_path, angle):
    path = tmp_path / "turned.pdf"
    with textloom.open(textloom.sample_path()) as doc:  # a page of text: enough to tell its turn
        doc[0].render(dpi=150).to_pil().rotate(angle, expand=True).save(path, resolution=150)
    with textloom.open(path) as doc:
        lines = doc[0].get_text().splitlines()
    assert lines[0] == "textloom sample document" and lines[1].startswith("Search, analytics")


def test_ocr_words_stay_words_of_one_size_on_their_line():
    with textloom.open(textloom.sample_path(scan=True)) as scan, \
            textloom.open(textloom.sample_path()) as born:
        markdown, truth = scan[0].to_markdown(), born[0].to_markdown()
        touching = scan[0]._seen(True, False).with_text(  # ink boxes 0.1 em apart
            [("FOR", 10, 10, 40, 30), ("RELEASES", 42, 10, 120, 30)], "OCR", True, 0)
    assert touching.get_text() == "FOR RELEASES\n"
    assert "<sup>" not in markdown and "<sub>" not in markdown  # "was" as tall as "High"
    assert markdown.split("\n\n")[:2] == truth.split("\n\n")[:2]


def test_a_turned_page_s_words_keep_their_confidence_in_the_rotated_view(tmp_path):
    import pypdfium2 as pdfium

    path = tmp_path / "rotated-scan.pdf"
    scan = pdfium.PdfDocument(textloom.sample_path(scan=True))
    scan[0].set_rotation(90)  # shown turned: the rotated view's boxes are not page space
    scan.save(str(path))
    scan.close()
    with textloom.open(path) as doc:
        plain = doc[0].get_text("words", extended=True)
        turned = doc[0].get_text("words", extended=True, rotated=True)
    assert [row[4] for row in turned] == [row[4] for row in plain]
    assert [row[8] for row in turned] == [row[8] for row in plain]
    assert all(confidence is not None for *_, confidence in plain)  # each word in its own box


def _image_page(content: bytes, *, page: int = 144, dictionary: bytes = b"/ColorSpace /DeviceGray",
                annotated: bool = False) -> bytes:
    """A page of ``page`` points square drawing a 600 x 600 grey ramp image by ``content``."""
    from conftest import raw_pdf, stream

    pixels = bytes((x + y) % 256 for y in range(600) for x in range(600))
    annots = b" /Annots [<< /Type /Annot /Subtype /Square /Rect [0 0 9 9] >>]" if annotated else b""
    return raw_pdf([b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                    b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %d %d] /Contents 5 0 R "
                    b"/Resources << /XObject << /Im 4 0 R >> >>%s >>" % (page, page, annots),
                    stream(b"/Type /XObject /Subtype /Image /Width 600 /Height 600 "
                           b"/BitsPerComponent 8 " + dictionary, pixels), stream(b"", content)])


@pytest.mark.parametrize("content, options, dpi, own", [
    (b"q 144 0 0 144 0 0 cm /Im Do Q", {}, 300, True),  # a scan over the page at 300 dpi
    (b"q 144 0 0 144 0 0 cm /Im Do Q", {}, 150, False),  # another resolution: rendered
    (b"q 144 0 0 144 0 0 cm /Im Do Q", {"page": 288}, 300, False),  # a quarter of the page
    (b"q -144 0 0 144 144 0 cm /Im Do Q", {}, 300, False),  # mirrored
    (b"q 144 0 0 144 0 0 cm /Im Do Q 0 0 9 9 re f", {}, 300, False),  # something drawn over it
    (b"q 144 0 0 144 0 0 cm /Im Do Q", {"annotated": True}, 300, False),
    (b"q 144 0 0 144 0 0 cm /Im Do Q", {"dictionary": b"/ImageMask true"}, 300, False),  # a stencil
])
def test_a_scan_s_own_pixels_are_read_where_a_rendering_would_show_just_them(
        content, options, dpi, own):
    from textloom._images import scan_pixels

    with textloom.open(_image_page(content, **options)) as doc:
        page = doc[0]
        with page._handle.pdfium_page(0) as raw_page:
            found = scan_pixels(raw_page.raw, page.crop, dpi, _ocr.MAX_PIXELS)
    assert (found is not None) == own
    if own:
        image, resolution = found
        assert abs(resolution - 300) < 1e-6
        assert image.data == bytes((x + y) % 256 for y in range(600) for x in range(600))


def test_a_scan_read_from_its_own_pixels_reads_as_its_rendering(monkeypatch):
    from textloom import _images

    with textloom.open(textloom.sample_path(scan=True)) as doc:  # 300 dpi, one bit a pixel
        own = doc[0].ocr_words()
    monkeypatch.setattr(_images, "scan_pixels", lambda *args: None)
    with textloom.open(textloom.sample_path(scan=True)) as doc:
        rendered = doc[0].ocr_words()
    assert [word.text for word in own] == [word.text for word in rendered] and len(own) > 50
    assert max(abs(a - b) for x, y in zip(own, rendered) for a, b in zip(x[:4], y[:4])) < 1


def test_words_the_layout_analysis_drops_are_read_by_a_second_look(tmp_path, corpus):
    """A transcript's margin of line numbers: Tesseract's page layout takes the
    column of lone numbers for noise; the sparse second reading finds them."""
    with textloom.open(corpus / "transcript.pdf") as doc:
        truth = doc[0].get_text("words", ocr="never")
        image = doc[0].render(dpi=300).to_pil()
    path = tmp_path / "transcript-scan.pdf"
    image.save(path, resolution=300)
    with textloom.open(path) as doc:
        read = [word.text for word in doc[0].ocr_words()]
    assert {str(number) for number in range(10, 23)} <= set(read)
    for word in {"2009", "Page"} & {row[4] for row in truth}:  # nothing read twice
        assert read.count(word) == [row[4] for row in truth].count(word), word


@pytest.mark.parametrize("channels, raw_mode", [(1, "L"), (3, "BGR"), (4, "BGRX")])
def test_a_bitmap_turns_grey_as_pillow_turns_it(channels, raw_mode):
    import random

    from PIL import Image as Pil

    from textloom import _native

    width, height, stride = 7, 5, 7 * channels + 3  # rows padded, as PDFium pads them
    pixels = random.Random(channels).randbytes(stride * height)
    want = Pil.frombytes("L" if channels == 1 else "RGB", (width, height), pixels, "raw", raw_mode,
                         stride).convert("L").tobytes()
    assert _native.grey_pixels(pixels, width, height, stride, channels) == want


@pytest.mark.parametrize("arguments, error", [
    ((b"\0" * 8, 2, 2, 4, 2), "channels must be 1, 3 or 4"),
    ((b"\0" * 12, 2, 2, 5, 3), "stride is shorter than a row of pixels"),
    ((b"\0" * 11, 2, 2, 6, 3), "pixels are fewer than width, height and stride say"),
    ((bytearray(12), 2, 2, 6, 3), "argument 'pixels': must be bytes"),
])
def test_bitmaps_that_do_not_hold_their_pixels_are_refused(arguments, error):
    from textloom import _native

    with pytest.raises((ValueError, TypeError), match=f"^{error}$"):
        _native.grey_pixels(*arguments)
