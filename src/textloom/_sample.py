"""The sample PDFs that ship inside the package (tools/make_sample.py and
tools/make_scan_sample.py write them)."""

from __future__ import annotations

from typing import TYPE_CHECKING

if TYPE_CHECKING:
    from pathlib import Path


def sample_path(*, scan: bool = False) -> Path:
    """The path of the bundled sample: three pages (a title page with a paragraph,
    a hyphenated line and a list; two columns under a heading; a landscape page
    turned by 90 degrees). With ``scan``, its first page scanned: an image only
    (1 bit a pixel at 300 dpi), without text, which text calls read by OCR."""
    from pathlib import Path  # imported here: pathlib costs import textloom a third

    return Path(__file__).with_name("sample-scan.pdf" if scan else "sample.pdf")
