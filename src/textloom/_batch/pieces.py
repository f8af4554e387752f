"""The one page splitter: a file's pages cut into the pieces that workers take.

A piece is the unit the pool hands a worker and the unit whose output
streams out in order; the Ray engine packs pieces into tasks. Since a page
that fails costs only itself (not its piece), the size only weighs balance
against messages.
"""

from __future__ import annotations

from collections.abc import Sequence

PAGES_PER_PIECE = 16
"""Pages per piece. A typical page takes about a millisecond to read and a
piece's round trip through a pipe some 0.1 ms, so 16 pages keep messages
near 1% of the work while a 100-page file still spreads over six workers."""


def split_pages(pages: Sequence[int], size: int = PAGES_PER_PIECE) -> list[list[int]]:
    """``pages`` in order, cut into runs of at most ``size``; none for no pages."""
    return [list(pages[start:start + size]) for start in range(0, len(pages), size)]
