"""Markdown: generated documents of known structure give exactly the Markdown
expected; page chunks; and on every corpus page, the words of the Markdown
with its markup taken off are the words of get_text."""

from __future__ import annotations

import collections
import re
from pathlib import Path

import pytest
from fpdf import FPDF

import textloom

from conftest import TABLES, corpus_files, shared_document

FONTS = Path("/usr/share/fonts/truetype/dejavu")
BODY = ("Search, analytics and language-model pipelines read millions of pages. They need "
        "every word right, in reading order, and fast.")


def new_pdf() -> FPDF:
    pdf = FPDF(unit="pt", format="A4")
    for style, name in (("", "DejaVuSans"), ("B", "DejaVuSans-Bold"), ("I", "DejaVuSans-Oblique")):
        pdf.add_font("Sans", style, str(FONTS / f"{name}.ttf"))
    pdf.add_font("Mono", "", str(FONTS / "DejaVuSansMono.ttf"))
    pdf.set_margins(72, 72)
    pdf.set_auto_page_break(False)
    return pdf


def line(pdf: FPDF, text: str, size: float = 11, style: str = "", family: str = "Sans",
         height: float | None = None) -> None:
    pdf.set_font(family, style, size)
    pdf.cell(0, height or size * 1.4, text, new_x="LMARGIN", new_y="NEXT")


def structure_pdf() -> bytes:
    """Three heading sizes, a paragraph with bold and italic words, a
    superscript and a link, a monospaced listing, and lists whose markers a
    tab stop sets apart from their text, each with one nested item."""
    pdf = new_pdf()
    pdf.add_page()
    for text, size, gap in (("Guide", 24, 6), ("Getting started", 18, 4)):
        line(pdf, text, size, "B")
        pdf.ln(gap)
    for style, vpos, text, link in (
            ("", "LINE", "Plain text with ", ""), ("B", "LINE", "bold words", ""),
            ("", "LINE", " and ", ""), ("I", "LINE", "italic ones", ""), ("", "LINE", ", a square x", ""),
            ("", "SUP", "2", ""), ("", "LINE", " and ", ""),
            ("", "LINE", "a link", "https://example.org/guide"), ("", "LINE", ".", "")):
        pdf.set_font("Sans", style, 11)
        pdf.char_vpos = vpos
        pdf.write(15, text, link=link)
    pdf.ln(24)
    line(pdf, "Installing", 14, "B")
    pdf.ln(4)
    for text in ("def main():", "    for page in pages:", "        print(page)"):
        line(pdf, text, 10, family="Mono", height=13)
    pdf.ln(12)
    pdf.set_font("Sans", "", 11)
    for x, label, text in ((80, "\u2022", "first point"), (80, "\u2022", "second point"),
                           (100, "\u2022", "a detail"), (80, "", ""), (80, "1.", "one"),
                           (80, "2.", "two"), (100, "a)", "two and a half"), (80, "3.", "three")):
        pdf.set_x(x)
        pdf.cell(18, 15 if label else 12, label)  # a gap between the lists
        pdf.cell(0, 15 if label else 12, text, new_x="LMARGIN", new_y="NEXT")
    return bytes(pdf.output())


STRUCTURE_MARKDOWN = """\
# Guide

## Getting started

Plain text with **bold words** and _italic ones_, a square x<sup>2</sup> and \
[a link](https://example.org/guide).

### Installing

```
def main():
    for page in pages:
        print(page)
```

- first point
- second point
  - a detail

1. one
2. two
   - a) two and a half
3. three
"""


def test_structure_exactly(native):
    with textloom.open(structure_pdf()) as doc:
        assert doc[0].to_markdown() == doc.to_markdown() == STRUCTURE_MARKDOWN
        plain = doc[0].to_markdown(superscripts=False, links=False)
        assert "x2 and a link." in plain and "<sup>" not in plain and "](" not in plain
        assert native.markdown_pages((doc[0]._page(),)) == [STRUCTURE_MARKDOWN]


def test_running_headers_and_footers():
    pdf = new_pdf()
    for number in range(1, 6):
        pdf.add_page()
        pdf.set_y(30)
        line(pdf, "Annual report", 9)
        pdf.set_y(120)
        pdf.set_font("Sans", "", 11)
        pdf.multi_cell(0, 15, f"Part {number}. {BODY}")
        pdf.set_y(800)
        line(pdf, f"Page {number} of 5", 9)
    with textloom.open(bytes(pdf.output())) as doc:
        chunks = doc.to_markdown(page_chunks=True)
        assert [chunk["text"] for chunk in chunks] == [f"Part {n}. {BODY}\n" for n in range(1, 6)]
        kept = doc.to_markdown(keep_headers=True, page_chunks=True)
        assert kept[1]["text"] == f"Annual report\n\n{chunks[1]['text']}\nPage 2 of 5\n"
        assert doc.to_markdown() == "\n".join(chunk["text"] for chunk in chunks)
        # Two pages are too few for a running line; a page alone keeps its header.
        assert doc.to_markdown([0, 1]).startswith("Annual report\n\n")
        assert doc[2].to_markdown().startswith("Annual report\n\n")


def test_page_chunks(corpus):
    with textloom.open(corpus / "latex-book-geotopo.pdf") as doc:
        chunks = doc.to_markdown(pages=[5, -1], page_chunks=True)
        assert [chunk["page"] for chunk in chunks] == [5, len(doc) - 1]
        assert list(chunks[0]) == ["page", "label", "metadata", "toc_items", "needs_ocr", "tables",
                                   "text", "spans"]
        assert chunks[0]["label"] == doc[5].label and chunks[0]["metadata"] == doc.metadata
        assert chunks[0]["toc_items"] == [entry for entry in doc.toc if entry[2] == 5]
        assert chunks[0]["toc_items"][0][:2] == (1, "1 Topologische Grundbegriffe")
        assert chunks[0]["text"].startswith("# ")
    blank = FPDF()
    blank.add_page()
    with textloom.open(bytes(blank.output())) as doc:
        assert doc.to_markdown() == "" and doc.to_markdown(page_chunks=True)[0]["text"] == ""
        with pytest.raises(IndexError):
            doc.to_markdown(pages=[3])


# -- every corpus page: the words of the Markdown are the words of the text -------

# List markers (no letter or digit in them) and item labels: Markdown writes
# them its own way.
LABEL = re.compile(r"\d{1,3}[.)]")
# Link targets (the writer percent-encodes spaces and parentheses in them),
# tags, and headings' marks at a line start.
MARKUP = re.compile(r"\]\([^\s()]*\)|</?su[pb]>|^#{1,4} ", re.M)
# Marks and escapes: taken off both texts, as text may hold them too.
MARKS = str.maketrans("", "", "*_`\\[]")


def words(text: str, markdown: bool = False) -> collections.Counter[str]:
    # Control characters are no text to Markdown.
    text = "".join(c for c in text if not (ord(c) < 0x20 and c not in "\t\n\r" or 0x7F <= ord(c) < 0xA0))
    text = (MARKUP.sub("", text) if markdown else text).translate(MARKS)
    return collections.Counter(w for w in text.split()
                               if any(c.isalnum() for c in w) and not LABEL.fullmatch(w))


@pytest.mark.parametrize("path", corpus_files() + sorted((TABLES / "icdar2013-eu").glob("*.pdf")),
                         ids=lambda p: getattr(p, "name", p))
def test_corpus_words_match_the_text(path):
    """Every word of the page's text once in its Markdown, its tables' cells included."""
    with shared_document(path) as doc:
        kept = doc.to_markdown(keep_headers=True, page_chunks=True)
        for index, chunk in enumerate(kept):
            expected = words(doc[index].get_text(sort="reading", dehyphenate=True))
            assert words(chunk["text"], True) == expected, f"page {index + 1}"
