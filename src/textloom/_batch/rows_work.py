"""What a worker process does for ``textloom extract`` and ``textloom.ray``:
plan a file (its pages, each once, in pieces) and give the rows of a piece
as Arrow IPC bytes. A page that fails is a failure beside the rows; its
error row is made by whoever gathers the rows, as for any failure.
"""

from __future__ import annotations

import pyarrow

from textloom._batch.failures import describe
from textloom._batch.pieces import split_pages
from textloom._batch.pool import Answer, Pages, page_started
from textloom._batch.rows import RowBuilder
from textloom._batch.work import open_cached, selected_pages
from textloom._options import ReadOptions

# Imported before workers start, not by each of them. pyarrow imports pandas,
# when installed, on its first array (most of a second): done here too, once.
pyarrow.array([], pyarrow.int32())


def plan_rows(path: str, options: ReadOptions) -> list[Pages]:
    """The file's selected pages in pieces."""
    return split_pages(selected_pages(path, options))


def plan_whole(path: str, options: ReadOptions) -> list[Pages]:
    """The file's selected pages as one piece, for a planner that cuts them itself."""
    return [selected_pages(path, options)]


def rows_piece(path: str, options: ReadOptions, pages: Pages) -> Answer:
    """The rows of ``pages`` (0-based) as Arrow IPC bytes, and the pages that failed."""
    document = open_cached(path, options)
    rows = RowBuilder(options.format)
    failures = []
    for index in pages:
        page_started(index)
        try:
            rows.add_page(path, document[index], options)
        except Exception as error:  # this page fails, the others go on
            failures.append((0, describe(error, path, index)))
    return Answer(rows.ipc(), failures, len(pages) - len(failures))
