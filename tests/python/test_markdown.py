"""Markdown: generated documents of known structure give exactly the Markdown
expected (headings of three sizes, emphasis, code, nested lists, a
superscript, a link, running headers and footers, two columns); page chunks;
the native entry's arguments; and on every corpus page, the words of the
Markdown with its markup taken off are the words of get_text."""

from __future__ import annotations

import collections
import re
from pathlib import Path

import pytest
from fpdf import FPDF

import textloom
from textloom import _native

from conftest import CORPUS, assert_no_growth, assert_raises_text, corpus_files

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
         x: float = 72, height: float | None = None) -> None:
    pdf.set_font(family, style, size)
    pdf.set_x(x)
    pdf.cell(0, height or size * 1.4, text, new_x="LMARGIN", new_y="NEXT")


def structure_pdf(path: Path) -> Path:
    """Three heading sizes, a paragraph with bold and italic words, a
    superscript and a link, a monospaced listing, and lists whose markers a
    tab stop sets apart from their text, each with one nested item."""
    pdf = new_pdf()
    pdf.add_page()
    line(pdf, "Guide", 24, "B")
    pdf.ln(6)
    line(pdf, "Getting started", 18, "B")
    pdf.ln(4)
    for style, text in (("", "Plain text with "), ("B", "bold words"), ("", " and "),
                        ("I", "italic ones"), ("", ", a square x")):
        pdf.set_font("Sans", style, 11)
        pdf.write(15, text)
    pdf.char_vpos = "SUP"
    pdf.write(15, "2")
    pdf.char_vpos = "LINE"
    pdf.write(15, " and ")
    pdf.write(15, "a link", link="https://example.org/guide")
    pdf.write(15, ".")
    pdf.ln(24)
    line(pdf, "Installing", 14, "B")
    pdf.ln(4)
    for text in ("def main():", "    for page in pages:", "        print(page)"):
        line(pdf, text, 10, family="Mono", height=13)
    pdf.ln(12)
    for x, label, text in ((80, "\u2022", "first point"), (80, "\u2022", "second point"),
                           (100, "\u2022", "a detail"), (None, None, None), (80, "1.", "one"),
                           (80, "2.", "two"), (100, "a)", "two and a half"), (80, "3.", "three")):
        if x is None:
            pdf.ln(12)
            continue
        pdf.set_font("Sans", "", 11)
        pdf.set_x(x)
        pdf.cell(18, 15, label)
        pdf.cell(0, 15, text, new_x="LMARGIN", new_y="NEXT")
    pdf.output(str(path))
    return path


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


def test_structure_exactly(tmp_path):
    with textloom.open(structure_pdf(tmp_path / "structure.pdf")) as doc:
        assert doc[0].to_markdown() == STRUCTURE_MARKDOWN
        assert doc.to_markdown() == STRUCTURE_MARKDOWN
        plain = doc[0].to_markdown(superscripts=False, links=False)
        assert "x2 and a link." in plain and "<sup>" not in plain and "](" not in plain


def report_pdf(path: Path, pages: int = 5) -> Path:
    """Pages with a running header, a numbered footer and a paragraph each."""
    pdf = new_pdf()
    for number in range(1, pages + 1):
        pdf.add_page()
        pdf.set_y(30)
        line(pdf, "Annual report", 9)
        pdf.set_y(120)
        pdf.set_font("Sans", "", 11)
        pdf.multi_cell(0, 15, f"Part {number}. {BODY}")
        pdf.set_y(800)
        line(pdf, f"Page {number} of {pages}", 9)
    pdf.output(str(path))
    return path


def test_running_headers_and_footers(tmp_path):
    with textloom.open(report_pdf(tmp_path / "report.pdf")) as doc:
        chunks = doc.to_markdown(page_chunks=True)
        assert [chunk["text"] for chunk in chunks] == [
            f"Part {n}. Search, analytics and language-model pipelines read millions of pages. "
            "They need every word right, in reading order, and fast.\n" for n in range(1, 6)]
        kept = doc.to_markdown(keep_headers=True, page_chunks=True)
        assert kept[1]["text"] == f"Annual report\n\n{chunks[1]['text']}\nPage 2 of 5\n"
        assert doc.to_markdown() == "\n".join(chunk["text"] for chunk in chunks)
        # Two pages are too few for a running line; a page alone keeps its header.
        assert doc.to_markdown([0, 1]).startswith("Annual report\n\n")
        assert doc[2].to_markdown().startswith("Annual report\n\n")


def two_column_pdf(path: Path) -> Path:
    pdf = new_pdf()
    pdf.add_page()
    line(pdf, "Two columns under one heading", 16, "B")
    width = (pdf.w - 144 - 24) / 2
    for column, text in enumerate((f"Left column. {BODY} {BODY}", f"Right column. {BODY} {BODY}")):
        pdf.set_font("Sans", "", 10)
        pdf.set_xy(72 + column * (width + 24), 110)
        pdf.multi_cell(width, 13, text)
    pdf.output(str(path))
    return path


def test_two_columns_in_reading_order(tmp_path):
    with textloom.open(two_column_pdf(tmp_path / "columns.pdf")) as doc:
        assert doc[0].to_markdown() == (f"# Two columns under one heading\n\nLeft column. {BODY} {BODY}"
                                        f"\n\nRight column. {BODY} {BODY}\n")


def test_page_chunks(tmp_path):
    with textloom.open(CORPUS / "latex-book-geotopo.pdf") as doc:
        chunks = doc.to_markdown(pages=[5, -1], page_chunks=True)
        assert [chunk["page"] for chunk in chunks] == [5, len(doc) - 1]
        assert list(chunks[0]) == ["page", "label", "metadata", "toc_items", "text"]
        assert chunks[0]["label"] == doc[5].label and chunks[0]["metadata"] == doc.metadata
        assert chunks[0]["toc_items"] == [entry for entry in doc.toc if entry[2] == 5]
        assert chunks[0]["toc_items"][0][:2] == (1, "1 Topologische Grundbegriffe")
        assert chunks[0]["text"].startswith("# ")
    blank = FPDF()
    blank.add_page()
    with textloom.open(bytes(blank.output())) as doc:
        assert doc.to_markdown() == ""
        assert doc.to_markdown(page_chunks=True)[0]["text"] == ""
        with pytest.raises(IndexError):
            doc.to_markdown(pages=[3])


def test_sort_and_closed_document():
    pdf = new_pdf()
    pdf.add_page()
    pdf.set_font("Sans", "", 11)
    pdf.text(72, 300, "written first, read second")
    pdf.text(72, 100, "written second, read first")
    pdf.link(70, 90, 200, 14, "https://example.org/first")
    with textloom.open(bytes(pdf.output())) as doc:
        page = doc[0]
        assert page.to_markdown(sort=None) == (
            "written first, read second\n\n[written second, read first](https://example.org/first)\n")
        by_reading = page.to_markdown()
        assert by_reading == (
            "[written second, read first](https://example.org/first)\n\nwritten first, read second\n")
    # Text and links came with the glyphs: the page still converts once closed.
    assert page.to_markdown() == by_reading
    assert [link.uri for link in page.links()] == ["https://example.org/first"]


@pytest.mark.parametrize("args, kwargs, exception, message", [
    ((), {}, TypeError, "markdown_pages() missing 1 required positional argument: 'pages'"),
    (([1],), {}, TypeError, "argument 'pages': expected a list of RsPage"),
    (("pages",), {}, TypeError, "argument 'pages': expected a list of RsPage"),
    (([],), {"sort": "sideways"}, ValueError, 'unknown sort "sideways"'),
    (([],), {"links": 1}, TypeError, "argument 'links': 'int' object cannot be converted to 'PyBool'"),
    (([],), {"colour": True}, TypeError, "markdown_pages() got an unexpected keyword argument 'colour'"),
])
def test_native_arguments(native, args, kwargs, exception, message):
    assert_raises_text(lambda: native.markdown_pages(*args, **kwargs), exception, message)


def test_native_entry_matches_the_api(native, tmp_path):
    with textloom.open(structure_pdf(tmp_path / "structure.pdf")) as doc:
        glyphs = doc[0]._page()
        assert native.markdown_pages((glyphs,)) == [STRUCTURE_MARKDOWN]
        assert native.markdown_pages([]) == []
        assert _native.markdown_pages([glyphs], None, True, False, False, False)[0].startswith("# Guide")

        def convert_and_fail():
            native.markdown_pages([glyphs, glyphs])
            with pytest.raises(TypeError):
                native.markdown_pages([glyphs, "not a page"])

        assert_no_growth(convert_and_fail, rounds=200)


# -- every corpus page: the words of the Markdown are the words of the text -------

PUNCTUATION = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"
TAGS = ("<sup>", "</sup>", "<sub>", "</sub>")
# Layout's list markers and item labels: Markdown writes them its own way.
MARKERS = set("*-\u00b7\u2013\u2014\u2022\u2023\u2043\u204c\u204d\u2219\u25a0\u25a1\u25aa\u25ab"
              "\u25c9\u25cb\u25cf\u25d8\u25e6\u2619\u261a\u261b\u261c\u261d\u261e\u261f\u2765"
              "\u2767\u29be\u29bf")
LABEL = re.compile(r"\d{1,3}[.)]")


def code_span(line: str, start: int) -> tuple[str, int] | None:
    """The text of the code span opening at `start` and where it ends."""
    n = len(line) - start - len(line[start:].lstrip("`"))
    search = start + n
    while (close := line.find("`" * n, search)) >= 0:
        run = len(line) - close - len(line[close:].lstrip("`"))
        if run == n:
            text = line[start + n:close]
            if len(text) > 1 and text[0] == text[-1] == " " and text.strip():
                text = text[1:-1]
            return text, close + n
        search = close + run
    return None


def link_end(line: str, start: int) -> tuple[int, int] | None:
    """Where the text of a link opening at `start` ends and where the link ends."""
    i = start + 1
    while i < len(line):
        if line[i] == "\\" and line[i + 1:i + 2] in PUNCTUATION:
            i += 2
        elif line[i] == "`" and (span := code_span(line, i)):
            i = span[1]
        elif line[i] == "]":
            return (i, line.index(")", i) + 1) if line.startswith("](", i) else None
        else:
            i += 1
    return None


def unmarked(line: str) -> str:
    """A line of inline Markdown as text: marks, tags and link targets off, escapes undone."""
    out, i = [], 0
    while i < len(line):
        char = line[i]
        if char == "`" and (span := code_span(line, i)):
            out.append(span[0])
            i = span[1]
        elif char == "\\" and line[i + 1:i + 2] and line[i + 1] in PUNCTUATION:
            out.append(line[i + 1])
            i += 2
        elif tag := next((tag for tag in TAGS if line.startswith(tag, i)), None):
            i += len(tag)
        elif char == "[" and (end := link_end(line, i)):
            out.append(unmarked(line[i + 1:end[0]]))
            i = end[1]
        elif char in "*_":
            i += 1
        else:
            out.append(char)
            i += 1
    return "".join(out)


def plain_text(markdown: str) -> str:
    lines, fence = [], None
    for row in markdown.split("\n"):
        if fence is not None:
            fence = None if row == fence else fence
            if fence is not None:
                lines.append(row)
        elif re.fullmatch(r"`{3,}", row):
            fence = row
        else:
            lines.append(unmarked(re.sub(r"^#{1,4} ", "", row)))
    return "\n".join(lines)


def words(text: str) -> collections.Counter[str]:
    # Control characters are no text to Markdown.
    text = "".join(c for c in text if not (ord(c) < 0x20 and c not in "\t\n\r" or 0x7F <= ord(c) < 0xA0))
    return collections.Counter(w for w in text.split() if w not in MARKERS and not LABEL.fullmatch(w))


def test_unmarking_reads_what_the_writer_marks():
    assert plain_text("# T\n\n**a** _b_ `c*_` [d \\[1\\] **e**](u(x) f\\*g x<sup>2</sup>\n"
                      "```\n  raw *x*\n```\n- 1. item") == "T\n\na b c*_ d [1] e f*g x2\n  raw *x*\n- 1. item"


@pytest.mark.skipif(not corpus_files(), reason="../shared/corpus is not beside the repo")
@pytest.mark.parametrize("path", corpus_files(), ids=lambda p: p.name)
def test_corpus_words_match_the_text(path):
    try:
        doc = textloom.open(path)
    except textloom.PdfError:
        pytest.skip("PDFium cannot open it")
    with doc:
        kept = doc.to_markdown(keep_headers=True, page_chunks=True)
        dropped = doc.to_markdown(page_chunks=True)
        for index, (with_headers, without) in enumerate(zip(kept, dropped)):
            page = doc[index]
            expected = words(page.get_text(sort="reading", dehyphenate=True))
            assert words(plain_text(with_headers["text"])) == expected, f"page {index + 1}"
            # What running lines take away stands in the top or bottom 12% of
            # the page as the viewer shows it.
            gone = words(plain_text(with_headers["text"])) - words(plain_text(without["text"]))
            height = page.width if page.rotation in (90, 270) else page.height
            edges = " ".join(word[4] for word in page.get_text("words", rotated=True)
                             if word[3] <= 0.12 * height or word[1] >= 0.88 * height)
            assert not gone - words(edges), f"page {index + 1}"
