"""Command line: ``python -m textloom [options] [PDF ...]``.

Prints the text of every page of each PDF (the bundled sample when none is
given) in one of the get_text schemas, in the chosen reading order.
"""

from __future__ import annotations

import argparse
import json
import sys
from pathlib import Path

import pypdfium2 as pdfium

from textloom import _native, document_address, use_pdfium

SAMPLE = Path(__file__).with_name("sample.pdf")
FORMATS = ("text", "blocks", "words", "dict", "rawdict")


def _format_page(page, args) -> str:
    result = page.get_text(args.format, sort=args.sort, dehyphenate=args.dehyphenate)
    if args.format == "text":
        return result
    if args.format in ("blocks", "words"):
        return "".join(
            " ".join(f"{v:.2f}" for v in row[:4]) + " " + " ".join(str(v) for v in row[5:])
            + " " + json.dumps(row[4], ensure_ascii=False) + "\n"
            for row in result)
    return json.dumps(result, ensure_ascii=False) + "\n"


def show(path: Path, args, out) -> None:
    pdf = pdfium.PdfDocument(str(path))
    try:
        addr = document_address(pdf)
        for index in range(len(pdf)):
            page = _native.load_page(addr, index)
            print(f"=== {path.name} page {index + 1}: {page.width:.1f} x {page.height:.1f} pt, "
                  f"rotation {page.rotation}, {page.n_glyphs} glyphs", file=out)
            out.write(_format_page(page, args))
    finally:
        pdf.close()


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="textloom", description=__doc__.splitlines()[0])
    parser.add_argument("pdf", nargs="*", type=Path, help="PDF files (default: the bundled sample)")
    parser.add_argument("--format", choices=FORMATS, default="text", help="output schema")
    parser.add_argument("--sort", choices=("none", "simple", "xycut"), default="xycut",
                        help="reading order of blocks (default: xycut)")
    parser.add_argument("--dehyphenate", action="store_true",
                        help="join words split by a hyphen at a line end")
    args = parser.parse_args(argv)
    use_pdfium()
    status = 0
    for path in args.pdf or [SAMPLE]:
        try:
            show(path, args, sys.stdout)
        except (pdfium.PdfiumError, OSError, RuntimeError) as error:
            print(f"{path}: {error}", file=sys.stderr)
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
