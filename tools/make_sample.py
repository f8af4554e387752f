"""Writes src/textloom/sample.pdf, the document the README's demo reads.

A small real-producer document (fpdf2 with Debian's DejaVu fonts): a titled
page with paragraphs, a hyphenated line end, a list and a sentence with bold
and italic words; a two-column page under a full-width heading, with a
ruled table below; and a landscape page that also carries /Rotate 90, with a
table set in white space alone.
Run: .venv/bin/python tools/make_sample.py
"""

from __future__ import annotations

from datetime import datetime, timezone
from pathlib import Path

from fpdf import FPDF

FONTS = Path("/usr/share/fonts/truetype/dejavu")
OUT = Path(__file__).resolve().parents[1] / "src" / "textloom" / "sample.pdf"

# The tables: a header row, then rows; numbers right-aligned, as tables set them.
RULED_TABLE = (("Library", "Pages per second", "Tables found"), ("textloom", "620", "yes"),
               ("peer A", "41", "yes"), ("peer B", "18", "no"))
SPACED_TABLE = (("Region", "2025", "2026"), ("North", "1,204.5", "1,310.0"),
                ("South", "987.25", "1,002.75"), ("West", "45.0", "61.5"))

PARAGRAPH = (
    "Search, analytics and language-model pipelines read millions of pages. "
    "They need every character, word and box right, in reading order, and fast. "
)


def table(pdf: FPDF, rows: tuple[tuple[str, ...], ...], widths: tuple[int, ...],
          **style: str) -> None:
    """``rows`` as fpdf2 sets a table: the first row the bold header, the first
    column left-aligned and the others right-aligned."""
    with pdf.table(col_widths=widths, width=sum(widths), align="LEFT", line_height=16,
                   text_align=("LEFT",) + ("RIGHT",) * (len(widths) - 1), **style) as cells:
        for values in rows:
            row = cells.row()
            for value in values:
                row.cell(value)


def main() -> None:
    pdf = FPDF(unit="pt", format="A4")
    pdf.set_creator("textloom tools/make_sample.py")
    pdf.set_creation_date(datetime(2026, 1, 1, tzinfo=timezone.utc))  # reproducible bytes
    pdf.add_font("DejaVu", "", str(FONTS / "DejaVuSans.ttf"))
    pdf.add_font("DejaVu", "B", str(FONTS / "DejaVuSans-Bold.ttf"))
    pdf.add_font("DejaVuSerif", "", str(FONTS / "DejaVuSerif.ttf"))
    pdf.add_font("DejaVuSerif", "B", str(FONTS / "DejaVuSerif-Bold.ttf"))
    pdf.add_font("DejaVuSerif", "I", str(FONTS / "DejaVuSerif-Italic.ttf"))
    pdf.set_margins(72, 72)

    pdf.add_page()
    pdf.set_font("DejaVu", "B", 20)
    pdf.cell(0, 28, "textloom sample document", new_x="LMARGIN", new_y="NEXT")
    pdf.set_font("DejaVuSerif", "", 11)
    pdf.multi_cell(0, 15, PARAGRAPH * 2, align="L")
    pdf.ln(6)
    pdf.cell(0, 15, "A word cut at the end of a line comes back as one: exam-",
             new_x="LMARGIN", new_y="NEXT")
    pdf.cell(0, 15, "ple text follows on the next line.", new_x="LMARGIN", new_y="NEXT")
    pdf.ln(6)
    for item in ("glyphs with boxes and fonts", "lines, blocks and words", "reading order"):
        pdf.cell(0, 15, "\u2022 " + item, new_x="LMARGIN", new_y="NEXT")
    pdf.ln(6)
    pdf.multi_cell(0, 15, "Each page also comes out as **Markdown**, with headings, lists "
                   "and __emphasis__ marked.", align="L", markdown=True)

    pdf.add_page()
    pdf.set_font("DejaVu", "B", 16)
    pdf.cell(0, 24, "Two columns under one heading", new_x="LMARGIN", new_y="NEXT")
    pdf.set_font("DejaVuSerif", "", 10)
    top = pdf.get_y() + 8
    width = (pdf.w - 144 - 24) / 2
    bottom = top
    for column, text in enumerate(("Left column. " + PARAGRAPH * 3, "Right column. " + PARAGRAPH * 3)):
        pdf.set_xy(72 + column * (width + 24), top)
        pdf.multi_cell(width, 13, text, align="L")
        bottom = max(bottom, pdf.get_y())
    pdf.set_xy(72, bottom + 18)
    pdf.multi_cell(0, 13, "Below the columns, a ruled table with its header in bold:", align="L")
    pdf.ln(6)
    table(pdf, RULED_TABLE, (120, 120, 100))

    pdf.add_page(orientation="L")
    pdf.set_font("DejaVu", "", 12)
    pdf.multi_cell(0, 16, "A landscape page that the viewer shows turned by 90 degrees.", align="L")
    pdf.ln(12)
    pdf.multi_cell(0, 16, "Its table is set in white space alone:", align="L")
    pdf.ln(4)
    table(pdf, SPACED_TABLE, (120, 80, 80), borders_layout="NONE")

    # The last page also carries /Rotate 90, so the demo shows a rotated page.
    import pypdfium2 as pdfium

    doc = pdfium.PdfDocument(bytes(pdf.output()))
    doc[2].set_rotation(90)
    doc.save(str(OUT))


if __name__ == "__main__":
    main()
