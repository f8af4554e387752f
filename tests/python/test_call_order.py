"""A page reads the same however it is reached: each corpus page's results (every
text schema, words_array, Markdown, pdftext blocks, links, annotations, form
fields, a rendering) from a fresh Document against the same results after
seeded random calls on one Document: other pages, renderings (which change the
design of PDFium's substitute fonts, here also through a document of their
own), annotations, Markdown of the document, labels, the document closed and
reopened, pages kept or made anew; and the same on a filled form, whose
fields' values are read as text. bench/call_order_probe.py runs more sequences
over every page."""

from __future__ import annotations

import hashlib
import pickle
import random

import pytest

import textloom
from conftest import SCHEMAS, corpus_files, filled_form_pdf, raw_pdf, stream

SOURCES = pytest.mark.parametrize("source", [*corpus_files(), pytest.param(
    filled_form_pdf(), id="filled-form")], ids=lambda path: path.name)
SEQUENCES = 3
MOST_PAGES = 6  # pages of a long document read per sequence: a seeded few keep the run short


def substituted_pdf(width: int) -> bytes:
    """A "3" in a font no system font matches: PDFium draws it with its sans
    substitute, which drawing sets to the design that fits ``width``."""
    return raw_pdf([
        b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 40 40] /Resources << /Font << /F 4 0 R >> >>"
        b" /Contents 6 0 R >>",
        b"<< /Type /Font /Subtype /TrueType /BaseFont /NoSuchFace /FirstChar 51 /LastChar 51 "
        b"/Widths [%d] /FontDescriptor 5 0 R >>" % width,
        b"<< /Type /FontDescriptor /FontName /NoSuchFace /Flags 32 /FontBBox [0 -200 1000 900] "
        b"/ItalicAngle 0 /Ascent 900 /Descent -200 /CapHeight 700 /StemV 80 >>",
        stream(b"", b"BT /F 20 Tf 1 0 0 1 5 10 Tm (3) Tj ET")])


def redesign(rng: random.Random) -> None:
    """Sets the sans substitute's design from a random width, by drawing it."""
    with textloom.open(substituted_pdf(rng.randrange(100, 1000))) as document:
        document[0].render()


def results(page: textloom.Page) -> dict[str, str]:
    found: dict[str, object] = {schema: page.get_text(schema) for schema in SCHEMAS}
    found["dict, unsorted, extended"] = page.get_text("dict", sort=None, extended=True)
    found["words, rotated"] = page.get_text("words", sort="xycut", rotated=True)
    words = page.words_array()
    found["words_array"] = [words[name].tobytes() for name in ("x0", "y0", "x1", "y1")]
    found["markdown"] = page.to_markdown()
    found["pdftext_blocks"] = page.pdftext_blocks(keep_chars=True)
    found["links"] = page.links()
    if not page._handle.closed:  # a kept Page of a closed Document answers text calls only
        found["annotations"] = page.annotations()
        found["form_fields"] = page.form_fields()
        found["render"] = page.render(0.5).data
    return {name: hashlib.sha256(pickle.dumps(value)).hexdigest() for name, value in found.items()}


def calls(rng: random.Random, document: textloom.Document, count: int) -> list:
    """What may come before a page is read: (name, call on the open Document)."""
    def page() -> textloom.Page:
        return document[rng.randrange(count)]

    return [
        ("text", lambda: page().get_text(rng.choice(SCHEMAS), sort=rng.choice([None, "simple"]),
                                         clip=(0, 0, 300, 300), dehyphenate=True)),
        ("render", lambda: page().render(rng.choice([0.3, 1.0]), forms=rng.random() < 0.5)),
        ("render", lambda: page().render(0.4, grayscale=True, rotated=False)),
        ("substitute", lambda: redesign(rng)),
        ("annotations", lambda: (page().annotations(), page().form_fields(), page().label)),
        ("markdown", lambda: document.to_markdown(rng.sample(range(count), min(count, 3)),
                                                  page_chunks=True)),
        ("document", lambda: (document.metadata, document.toc)),
    ]


@SOURCES
def test_a_page_reads_the_same_whatever_came_before(source):
    with textloom.open(source) as document:
        count = len(document)
    rng = random.Random(document.name if isinstance(source, bytes) else source.name)
    indices = sorted(rng.sample(range(count), min(count, MOST_PAGES)))
    expected = {}
    for index in indices:
        with textloom.open(source) as fresh:
            expected[index] = results(fresh[index])
    document = textloom.open(source)
    kept: dict[int, textloom.Page] = {}
    for sequence in range(SEQUENCES):
        redesign(rng)
        history = ["substitute"]
        for index in rng.sample(indices, len(indices)):
            if document.closed:
                document = textloom.open(source)
            for name, call in rng.sample(calls(rng, document, count), 3):
                call()
                history.append(name)
            if rng.random() < 0.2:
                document.close()  # the kept Page may still answer from its glyphs
                history.append("close")
            page = kept.get(index) if rng.random() < 0.5 else None
            if page is None or (page._handle.closed and page._glyphs is None):
                if document.closed:
                    document = textloom.open(source)
                page = kept[index] = document[index]
            got = results(page)
            differ = [name for name in got if got[name] != expected[index][name]]
            assert differ == [], f"page {index}, sequence {sequence}, after {history}"
            history.append(f"read {index}")
    document.close()
