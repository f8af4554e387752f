"""Page ranges of the command line: ``1-3,7,10-N``, 1-based, ``N`` the last page."""

from __future__ import annotations

import re
from dataclasses import dataclass

LAST = 0  # stands for "N" in a bound; real page numbers start at 1

_ITEM = re.compile(r"(\d+|N)(?:(-)(\d+|N)?)?")


@dataclass(frozen=True)
class PageRanges:
    """Items (first, last) with 1-based bounds, ``LAST`` meaning the document's last page."""

    items: tuple[tuple[int, int], ...]

    def select(self, count: int) -> list[int]:
        """0-based indices of the pages of a ``count``-page document, in the order
        given; pages past its end are skipped."""
        indices: list[int] = []
        for first, last in self.items:
            first, last = first or count, last or count
            indices.extend(range(first - 1, min(last, count)))
        return indices


def parse_page_ranges(text: str) -> PageRanges:
    """Parses ``1-3,7,10-N`` (``N-`` and ``5-`` run to the end); ValueError names a bad item."""
    items = []
    for item in (part.strip() for part in text.split(",")):
        match = _ITEM.fullmatch(item)
        if match is None:
            raise ValueError(f"bad page range {item!r}: expected N, N-M or N- (N a page or 'N')")
        first_token, dash, last_token = match.groups()
        if any(token not in (None, "N") and int(token) == 0 for token in (first_token, last_token)):
            raise ValueError(f"bad page range {item!r}: pages count from 1")
        first = LAST if first_token == "N" else int(first_token)
        last = first if not dash else LAST if last_token in (None, "N") else int(last_token)
        if LAST not in (first, last) and last < first:
            raise ValueError(f"bad page range {item!r}: the range runs backwards")
        items.append((first, last))
    return PageRanges(tuple(items))
