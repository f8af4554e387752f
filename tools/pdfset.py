"""Writes a folder of PDFs like a corpus in small: many short documents, one
long one, and some that cannot be read. The scale-out tests and the Ray
benchmark run on it.

    python tools/pdfset.py OUT_DIR [--files 200] [--big-pages 600]

``make_pdf_set`` returns what it wrote: the pages of each readable file, the
broken and the encrypted ones (user password ``PASSWORD``).
"""

from __future__ import annotations

import argparse
import sys
from dataclasses import dataclass, field
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import pdfgen  # noqa: E402

PASSWORD = "secret"
BROKEN = {  # name: contents
    "broken-text.pdf": b"this is not a PDF at all\n",
    "broken-empty.pdf": b"",
    "broken-header.pdf": b"%PDF-1.7\n" + bytes(range(256)) * 8,
}


@dataclass
class PdfSet:
    folder: Path
    pages: dict[str, int] = field(default_factory=dict)  # readable file path: page count
    broken: list[str] = field(default_factory=list)
    encrypted: list[str] = field(default_factory=list)


def write_pages(path: Path, pages: int, lines: int, tag: str) -> None:
    writer = pdfgen.PdfWriter()
    for number in range(1, pages + 1):
        page = writer.page()
        for line in range(lines):
            page.text(40, 760 - 14 * line, f"{tag} page {number} line {line + 1}: some words to read")
    writer.save(path)


def _encrypted(path: Path, tag: str) -> None:
    from fpdf import FPDF

    pdf = FPDF(unit="pt", format=(400, 300))
    pdf.set_font("helvetica", size=12)
    for number in (1, 2):
        pdf.add_page()
        pdf.text(50, 50, f"{tag} locked page {number}")
    pdf.set_encryption(owner_password="owner", user_password=PASSWORD)
    pdf.output(str(path))


def make_pdf_set(folder: Path, files: int = 200, big_pages: int = 600, encrypted: int = 3) -> PdfSet:
    """``files`` PDFs in ``folder``: one of ``big_pages`` pages, the broken ones,
    ``encrypted`` locked ones, and the rest of one to four pages."""
    folder.mkdir(parents=True, exist_ok=True)
    made = PdfSet(folder)
    big = folder / "big.pdf"
    write_pages(big, big_pages, 20, "big")
    made.pages[str(big)] = big_pages
    for name, data in BROKEN.items():
        (folder / name).write_bytes(data)
        made.broken.append(str(folder / name))
    for number in range(encrypted):
        path = folder / f"locked-{number:02d}.pdf"
        _encrypted(path, f"locked {number}")
        made.encrypted.append(str(path))
    for number in range(files - 1 - len(BROKEN) - encrypted):
        path = folder / f"doc-{number:03d}.pdf"
        write_pages(path, 1 + number % 4, 12, f"doc {number}")
        made.pages[str(path)] = 1 + number % 4
    return made


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", type=Path)
    parser.add_argument("--files", type=int, default=200)
    parser.add_argument("--big-pages", type=int, default=600)
    args = parser.parse_args()
    made = make_pdf_set(args.folder, args.files, args.big_pages)
    print(f"{len(made.pages)} readable files, {sum(made.pages.values())} pages, "
          f"{len(made.broken)} broken, {len(made.encrypted)} encrypted in {args.folder}")
