"""textloom.compat.pdftext without pdftext: generated pages of known geometry
(scripts, a vertical line, a hyphenated line end, links and references, a
rotated page), every corpus page (pdftext's schema, JSON, rotations against
PDFium's own character angles, the same words as Page.get_text), worker
processes, flattening, and pdftext's errors on bad input."""

from __future__ import annotations

import inspect
import io
import json
import math

import pypdfium2 as pdfium
import pypdfium2.raw as raw
import pytest

from textloom.compat import pdftext
from textloom.compat.pdftext import PdfiumError, PdfPasswordError, Reference

import pdfgen
from conftest import CORPUS, HELVETICA, corpus_files, form_pdf, linked_pdf, spans_of
from test_pdftext import CHAR_TYPES, SPAN_TYPES

SPAN_KEYS = ["bbox", "text", "font", "rotation", "char_start_idx", "char_end_idx", "url",
             "superscript", "subscript"]
TYPES = {key: SPAN_TYPES[key] for key in [*SPAN_KEYS, "chars"]} | CHAR_TYPES


def width(text: str, size: float = 12.0) -> float:
    return sum(HELVETICA[c] for c in text) * size / 1000


def features_pdf(path):
    """Page 0 (612 x 792): a superscript, a subscript, a hyphenated line end, a
    line running upwards, a URI link on "website" and a link on "Next" to page 1;
    page 1 (400 x 300, shown turned by 90 degrees): one line."""
    writer = pdfgen.PdfWriter()
    page = writer.page()
    page.text(72, 700, "E=mc", size=12)
    page.text(72 + width("E=mc"), 705, "2", size=8)  # 5 above the line: more than 0.21 of 8
    page.text(72, 670, "H", size=12)
    page.text(72 + width("H"), 667, "2", size=8)  # 3 below
    page.text(72 + width("H") + width("2", 8), 670, "O", size=12)
    page.text(72, 600, "An exam-", size=12)
    page.text(72, 586, "ple here", size=12)
    page.text(400, 300, "Up", size=12, matrix=(0, 1, -1, 0))
    page.text(72, 500, "Visit website now", size=12)
    start = 72 + width("Visit ")
    page.link((math.ceil(start), 497, math.floor(start + width("website")), 509),
              uri="https://example.org/web")
    page.text(72, 450, "Go to Next", size=12)
    start = 72 + width("Go to ")
    page.link((math.ceil(start), 447, math.floor(start + width("Next")), 459), page=1, left=100,
              top=200)
    turned = writer.page(width=400, height=300, rotate=90)
    turned.text(50, 250, "Turned page", size=12)
    writer.save(path)
    return path


def span_with(page, text):
    [span] = [span for span in spans_of(page) if span["text"] == text]
    return span


@pytest.fixture
def features(tmp_path):
    return features_pdf(tmp_path / "features.pdf")


def test_signatures_are_pdftexts():
    text_args = ("(pdf_path, sort=False, hyphens=False, page_range=None, flatten_pdf=False, "
                 "quote_loosebox=True, workers=None, password=None)")
    for function, expected in [
        (pdftext.plain_text_output, text_args), (pdftext.paginated_plain_text_output, text_args),
        (pdftext.dictionary_output, "(pdf_path, sort=False, page_range=None, keep_chars=False, "
         "flatten_pdf=False, quote_loosebox=True, disable_links=False, workers=None, password=None)"),
    ]:
        parameters = inspect.signature(function).parameters.values()
        assert "(" + ", ".join(str(p.replace(annotation=p.empty)) for p in parameters) + ")" \
            == expected
    assert issubclass(PdfPasswordError, PdfiumError) and PdfiumError is pdfium.PdfiumError
    assert not hasattr(pdftext, "table_output")


def test_scripts_vertical_line_and_page_boxes(features):
    page, turned = pdftext.dictionary_output(features)
    flags = {(span["text"], span["superscript"], span["subscript"]) for span in spans_of(page)
             if span["text"] in ("E=mc", "2", "H", "O")}
    assert flags == {("E=mc", False, False), ("2", True, False), ("H", False, False),
                     ("2", False, True), ("O", False, False)}
    # Every span's rotation against PDFium's own angle: test_corpus_pages.
    assert span_with(page, "Up")["rotation"] == pytest.approx(1.5 * math.pi, abs=1e-6)
    assert (page["page"], page["bbox"], page["width"], page["height"], page["rotation"]) == (
        0, (0.0, 0.0, 612.0, 792.0), 612, 792, 0)
    # The turned page: its size and box turned with it, its line across the view
    # at the text's start (x 50 unrotated) and round its baseline (300 - 50 in the view).
    assert (turned["bbox"], turned["width"], turned["height"], turned["rotation"]) == (
        [0.0, 0.0, 300.0, 400.0], 300, 400, 90)
    line = span_with(turned, "Turned page")
    assert line["rotation"] == 0.0
    assert line["bbox"][1] == pytest.approx(50.0) and line["bbox"][0] < 250 < line["bbox"][2]


def test_hyphenated_line_end(features):
    first = pdftext.paginated_plain_text_output(features)[0]
    kept = pdftext.paginated_plain_text_output(features, hyphens=True)[0]
    assert "An example\nhere" in first and "exam-" not in first
    assert "An exam-\nple here" in kept


def test_links_and_references(features):
    page, turned = pdftext.dictionary_output(features)
    line = next(block["lines"][0] for block in page["blocks"]
                if block["lines"][0]["spans"][0]["text"].startswith("Visit"))
    assert [(span["text"], span["url"]) for span in line["spans"]] == [
        ("Visit ", ""), ("website", "https://example.org/web"), (" now", ""), ("\n", "")]
    assert span_with(page, "Next")["url"] == "#page-1-0"
    # The position shown, (100, 200) on page 1, in whole units of the linking page's view.
    assert page["refs"] == [] and turned["refs"] == [Reference(0, 1, [99.0, 591.0])]
    assert (turned["refs"][0].ref, turned["refs"][0].url) == ("page-1-0", "#page-1-0")
    [alone] = pdftext.dictionary_output(features, page_range=[0])
    assert span_with(alone, "Next")["url"] == "#page-1-0" and alone["refs"] == []
    plain = pdftext.dictionary_output(features, disable_links=True)
    assert {span["url"] for page in plain for span in spans_of(page)} == {""}
    assert [page["refs"] for page in plain] == [[], []]
    json.dumps(plain)


def test_keep_chars_and_page_order(features):
    pages = pdftext.dictionary_output(features, keep_chars=True, page_range=[1, 0, 1])
    assert [page["page"] for page in pages] == [1, 0, 1]
    for span in spans_of(pages[1]):
        assert list(span) == SPAN_KEYS + ["chars"]
        chars = span["chars"]
        if span["text"] == "\n":
            assert [c["char"] for c in chars] == ["\r", "\n"]
        else:
            assert "".join(c["char"] for c in chars) == span["text"]
            assert (chars[0]["char_idx"], chars[-1]["char_idx"]) == (
                span["char_start_idx"], span["char_end_idx"])
    assert all("chars" not in span for span in spans_of(pdftext.dictionary_output(features)[0]))


def check_schema(page):
    """pdftext's keys, in its order, and its types, at every level."""
    assert list(page) == ["page", "bbox", "width", "height", "rotation", "blocks", "refs"]
    turned = page["rotation"] in (90, 270)
    assert type(page["bbox"]) is (list if turned else tuple) and len(page["bbox"]) == 4
    assert all(type(page[key]) is int for key in ("page", "width", "height", "rotation"))
    for block in page["blocks"]:
        assert list(block) == ["lines", "bbox"]
        for line in block["lines"]:
            assert list(line) == ["spans", "bbox"]
            for span in line["spans"]:
                assert list(span)[:9] == SPAN_KEYS and set(span) <= set(SPAN_KEYS) | {"chars"}
                assert list(span["font"]) == ["name", "flags", "size", "weight"]
                assert [type(v) for v in span["font"].values()] == [str, int, float, int]
                for item in [span, *span.get("chars", [])]:
                    for key, value in item.items():
                        if key in TYPES:
                            assert type(value) is TYPES[key], (key, value)
                    assert len(item["bbox"]) == 4 and all(type(v) is float for v in item["bbox"])


@pytest.mark.parametrize("path", corpus_files(), ids=lambda p: p.name)
def test_corpus_pages(path):
    """Every page: pdftext's schema, JSON without links, each text span's rotation
    PDFium's angle of its first character, and the words of Page.get_text, in
    the dictionary and in the plain text."""
    import textloom

    pages = pdftext.dictionary_output(path, keep_chars=True)
    texts = pdftext.paginated_plain_text_output(path, hyphens=True)
    assert pdftext.plain_text_output(path, hyphens=True) == "\n".join(texts)
    json.dumps(pdftext.dictionary_output(path, disable_links=True, keep_chars=True))
    with textloom.open(path) as document, pdfium.PdfDocument(str(path)) as pdf:
        assert [page["page"] for page in pages] == list(range(len(document)))
        for page, text in zip(pages, texts):
            check_schema(page)
            words = document[page["page"]].get_text(sort=None).split()  # pdftext's own order
            assert "".join(span["text"] for span in spans_of(page)).split() == words
            assert text.split() == words
            textpage = pdf[page["page"]].get_textpage()
            for span in spans_of(page):
                if span["font"]["name"]:
                    angle = raw.FPDFText_GetCharAngle(textpage.raw, span["char_start_idx"])
                    turn = (span["rotation"] - angle) % (2 * math.pi)
                    assert min(turn, 2 * math.pi - turn) < 1e-5, (span["text"], angle)


def test_workers_give_the_same_results(features):
    book = CORPUS / "latex-4-pages.pdf"
    sources = [features] + ([book] if book.exists() else [])
    for source in sources:
        assert pdftext.dictionary_output(source, workers=2, keep_chars=True) == \
            pdftext.dictionary_output(source, workers=1, keep_chars=True)
        assert pdftext.plain_text_output(source, workers=2) == pdftext.plain_text_output(source)
    ordered = pdftext.dictionary_output(features, page_range=[1, 0, 1], workers=3)
    assert ordered == pdftext.dictionary_output(features, page_range=[1, 0, 1])
    data = features.read_bytes()
    assert pdftext.dictionary_output(data, workers=2) == pdftext.dictionary_output(features)
    assert pdftext.plain_text_output(io.BytesIO(data), workers=2) == \
        pdftext.plain_text_output(features)


def test_flatten_pdf_merges_form_fields():
    for appearance in (True, False):
        data = form_pdf(appearance)
        assert pdftext.plain_text_output(data) == ""
        assert pdftext.plain_text_output(data, flatten_pdf=True) == "Hello form"
        [page] = pdftext.dictionary_output(data, flatten_pdf=True)
        assert [span["text"] for span in spans_of(page)] == ["Hello form"]


def test_password(tmp_path):
    locked = linked_pdf(tmp_path / "locked.pdf", password="pw")
    assert pdftext.plain_text_output(locked, password="pw").startswith("first page")
    for password in (None, "nope"):
        with pytest.raises(PdfPasswordError):
            pdftext.dictionary_output(locked, password=password)


@pytest.mark.parametrize("source, kwargs, error, message", [
    ("missing.pdf", {}, FileNotFoundError, "missing.pdf"),
    (".", {}, FileNotFoundError, "No such file"),
    (pdfgen.__file__, {}, PdfiumError, "not a PDF"),
    (b"%PDF-1.7 nothing else", {}, PdfiumError, "<bytes>"),
    (None, {"page_range": [2]}, ValueError,
     "Invalid page number(s) [2]; document has 2 pages (0-indexed)."),
    (None, {"page_range": [0, -1, 5]}, ValueError, "Invalid page number(s) [-1, 5];"),
    (None, {"page_range": ["0"]}, TypeError, "'str' object"),
    (None, {"page_range": 0}, TypeError, "not iterable"),
], ids=["missing", "directory", "not a pdf", "bytes", "past the end", "negative", "str", "int"])
def test_bad_input(features, source, kwargs, error, message):
    for call in (pdftext.dictionary_output, pdftext.plain_text_output):
        with pytest.raises(error) as info:
            call(features if source is None else source, **kwargs)
        assert message in str(info.value)
        assert not isinstance(info.value, PdfPasswordError)
    assert pdftext.dictionary_output(features, page_range=[]) == []
    assert pdftext.plain_text_output(features, page_range=[]) == ""


def test_link_boxes_rounded_in_pdftexts_frame():
    """pdftext rounds link boxes with y measured from the page height rounded up;
    a page size or box that is no number drops the link rather than failing."""
    from textloom._types import Link
    from textloom.compat._pdftext_links import Geometry, page_links, whole

    link = (Link((10.0, 10.0, 50.0, 20.0), "u", None), None)
    fractional = Geometry((0.0, 0.0, 600.0, 800.5), 0, 600.0, 800.5)
    assert [found.box for found in page_links([link], fractional)] == [[10.0, 9.5, 50.0, 19.5]]
    assert page_links([link], Geometry((0.0, 0.0, 600.0, 800.0), 180, math.inf, 800.0)) == []
    assert (whole(611.2), whole(math.inf), whole(math.nan)) == (612, 0, 0)


def test_uri_links_alone(tmp_path):
    """A page whose links all lead to URIs takes them from its glyphs' reading."""
    writer = pdfgen.PdfWriter()
    page = writer.page(width=400, height=300)
    page.text(50, 250, "Visit site", size=12)
    page.link((77, 246, 97, 262), uri="https://example.org/s")  # "site" runs from 76.0 to 94.7
    writer.save(tmp_path / "uri.pdf")
    [page] = pdftext.dictionary_output(tmp_path / "uri.pdf")
    assert [(span["text"], span["url"]) for span in spans_of(page)] == [
        ("Visit ", ""), ("site", "https://example.org/s")]
