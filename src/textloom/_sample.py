"""The sample PDF that ships inside the package (tools/make_sample.py writes it)."""

from __future__ import annotations

from pathlib import Path


def sample_path() -> Path:
    """The path of the bundled sample: three pages (a title page with a paragraph,
    a hyphenated line and a list; two columns under a heading; a landscape page
    turned by 90 degrees)."""
    return Path(__file__).with_name("sample.pdf")
