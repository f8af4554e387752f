"""Writes src/textloom/sample-scan.pdf, the bundled scan: the first page of the
bundled sample (tools/make_sample.py) as an office scanner saves it, an image
only (1 bit a pixel at 300 dpi), with no text layer. The README's
scanned-pages section reads it by OCR.
Run: .venv/bin/python tools/make_scan_sample.py
"""

from __future__ import annotations

import time
from pathlib import Path

import textloom

OUT = Path(__file__).resolve().parents[1] / "src" / "textloom" / "sample-scan.pdf"
DPI = 300  # what office scanners default to for text, and what OCR reads best
NEW_YEAR = time.gmtime(1767225600)  # 2026-01-01 UTC, as the sample's date: reproducible bytes
INK = 128  # grey levels below the middle of 0..255 are ink, as a scanner's fixed threshold


def main() -> None:
    with textloom.open(textloom.sample_path()) as doc:
        grey = doc[0].render(dpi=DPI, grayscale=True).to_pil()
    bilevel = grey.point(lambda level: 0 if level < INK else 255).convert("1")
    bilevel.save(OUT, format="PDF", resolution=DPI, producer="textloom tools/make_scan_sample.py",
                 creationDate=NEW_YEAR, modDate=NEW_YEAR)


if __name__ == "__main__":
    main()
