"""The sample PDF that ships inside the package (tools/make_sample.py writes it)."""

from __future__ import annotations

from typing import TYPE_CHECKING

if TYPE_CHECKING:
    from pathlib import Path


def sample_path() -> Path:
    """The path of the bundled sample: three pages (a title page with a paragraph,
    a hyphenated line and a list; two columns under a heading; a landscape page
    turned by 90 degrees)."""
    from pathlib import Path  # imported here: pathlib costs import textloom a third

    return Path(__file__).with_name("sample.pdf")
