"""What a worker process does for ``textloom extract`` and ``textloom.ray``.

A file's first piece plans it: opens it and answers with the pages to
extract (the command line's page ranges, each page once). Every later piece
is a part of those pages and answers with their rows as Arrow IPC bytes; a
page that fails is a row with its error, and the part goes on.
"""

from __future__ import annotations

import os
from array import array
from dataclasses import dataclass

import pyarrow

from textloom._cli_jobs import describe, open_cached
from textloom._cli_pages import PageRanges
from textloom._rows import RowBuilder
from textloom._types import Sort

# Imported before workers start, not by each of them. pyarrow imports pandas,
# when installed, on its first array (most of a second): done here too, once.
pyarrow.array([], pyarrow.int32())

# Test-only hook: a worker whose environment names a file here exits (status
# 70) when asked for that file's pages, as a worker does when a PDF crashes
# PDFium. The tests of worker deaths set it; nothing else should.
EXIT_ON = "TEXTLOOM_TEST_EXIT_ON"


@dataclass(frozen=True)
class ExtractOptions:
    """What every page of a run is asked for; picklable, handed to each worker."""

    format: str = "text"
    sort: Sort = "xycut"
    pages: PageRanges | None = None
    password: str | None = None
    dehyphenate: bool = False


def chosen_pages(data: bytes) -> list[int]:
    """The 0-based pages a plan answered with."""
    pages = array("i")
    pages.frombytes(data)
    return pages.tolist()


def extract_piece(path: str, options: ExtractOptions,
                  pages: list[int] | None) -> tuple[bytes, list[list[int]]]:
    """A plan of ``path`` (``pages`` None), or the rows of ``pages`` (0-based)."""
    document = open_cached(path, options.password, False)
    if pages is None:
        count = len(document)
        chosen = options.pages.select(count) if options.pages else range(count)
        return array("i", dict.fromkeys(chosen)).tobytes(), []
    if os.environ.get(EXIT_ON) == os.path.basename(path):
        os._exit(70)
    rows = RowBuilder(options.format)
    for index in pages:
        try:
            rows.add_page(path, document[index], options.sort, options.dehyphenate)
        except Exception as error:  # this page fails, the others go on
            rows.add_error(path, index + 1, describe(error))
    return rows.ipc(), []
