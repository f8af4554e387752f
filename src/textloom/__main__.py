"""Command line: ``python -m textloom [PDF ...]``.

For every page of each PDF (the bundled sample when none is given), prints
the page's size, rotation and glyph count as the native module extracts them.
"""

from __future__ import annotations

import argparse
import sys
from pathlib import Path

import pypdfium2 as pdfium

from textloom import _native, document_address, use_pdfium

SAMPLE = Path(__file__).with_name("sample.pdf")


def describe(path: Path, out) -> None:
    pdf = pdfium.PdfDocument(str(path))
    try:
        addr = document_address(pdf)
        print(f"{path.name}: {len(pdf)} pages", file=out)
        for index in range(len(pdf)):
            page = _native.load_page(addr, index)
            print(f"  page {index + 1}: {page.width:.1f} x {page.height:.1f} pt, "
                  f"rotation {page.rotation}, {page.n_glyphs} glyphs", file=out)
    finally:
        pdf.close()


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="textloom", description=__doc__.splitlines()[0])
    parser.add_argument("pdf", nargs="*", type=Path, help="PDF files (default: the bundled sample)")
    args = parser.parse_args(argv)
    use_pdfium()
    status = 0
    for path in args.pdf or [SAMPLE]:
        try:
            describe(path, sys.stdout)
        except (pdfium.PdfiumError, OSError, RuntimeError) as error:
            print(f"{path}: {error}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
