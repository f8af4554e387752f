"""PDF pages as a Ray Data dataset: ``read_pdfs``, for corpora beyond one machine.

Needs ``textloom[ray]`` (Ray Data and pyarrow); ``import textloom`` never
imports this module. The engine behind it is ``textloom._batch.ray_engine``,
the same one ``textloom extract --engine ray`` runs.
"""

from __future__ import annotations

import os
from collections.abc import Iterable
from typing import TYPE_CHECKING

from textloom._options import DEFAULT_SORT, DEFAULT_TIMEOUT, ROW_FORMATS, ReadOptions, RunOptions, check_count
from textloom._types import Sort

if TYPE_CHECKING:
    import ray.data

__all__ = ["read_pdfs"]


def read_pdfs(paths: str | os.PathLike[str] | Iterable[str | os.PathLike[str]], *,
              format: str = "text", sort: Sort = DEFAULT_SORT, pages: str | None = None,
              password: str | bytes | None = None, dehyphenate: bool = False, offpage: bool = False,
              forms: bool = True, pages_per_task: int = 64, timeout: float = DEFAULT_TIMEOUT,
              max_memory: str | int | None = None) -> ray.data.Dataset:
    """A row per page of the PDFs at ``paths``, as a Ray Data dataset.

    ``paths``: a file, a directory (every ``*.pdf`` below it), a glob, or a
    list of them; local, or URIs of a filesystem pyarrow reads (``s3://``,
    ``gs://``, ...). A path given twice is read once.
    ``format``: "text", "words" or "dict"; ``sort``: the reading order, as
    ``Page.get_text`` takes it ("reading" by default); ``pages``: 1-based
    ranges like ``1-3,7,10-N`` (a page named twice gives one row);
    ``password`` of encrypted files; ``dehyphenate`` joins words split at
    line ends; ``offpage`` keeps the words wholly outside the crop box;
    ``forms=False`` leaves out the values of filled form fields;
    ``timeout``: seconds one page may take in PDFium;
    ``max_memory``: what PDFium may hold per worker (``"2G"``, or bytes;
    default: the worker's share of its machine's memory).
    ``pages_per_task``: files with more pages are split into parts of this
    many, run as separate tasks.

    Columns: "path" (string), "page" (int32, 1-based), "width", "height"
    (float64), "rotation" (int32), the payload ("text" a string; for "words"
    the list columns x0, y0, x1, y1, text, block, line, word; for "dict" a
    JSON string "dict"), "error" and "error_kind" (strings, null on success).
    A file that cannot be opened is one row with a null "page" and its
    error; a page that fails (PDFium rejects it, it crashes its PDFium
    child, runs out of memory or passes ``timeout``) is its row with the
    error, and the file's other pages come out as ever. Rows come in no
    particular order.

    Each Ray task costs some milliseconds of its own, so a task should hold
    a good fraction of a second of work: on light pages, raise
    ``pages_per_task``. On a machine of few cores, Ray Data's per-operator
    reservation (``DataContext.op_resource_reservation_enabled``) may hold
    the extraction to one task at a time; ``textloom extract`` turns it off
    for its own dataset.
    """
    from textloom._batch.inputs import list_inputs
    from textloom._batch.ray_engine import pages_dataset

    # Checked here: in the workers a wrong value would fail every page, one by one.
    options = ReadOptions.checked(formats=ROW_FORMATS, format=format, sort=sort, pages=pages,
                                  password=password, dehyphenate=dehyphenate, offpage=offpage,
                                  forms=forms)
    run = RunOptions.checked(1, timeout, max_memory)
    files = list(dict.fromkeys(list_inputs(paths)))
    return pages_dataset(files, options, run, pages_per_task=check_count("pages_per_task", pages_per_task),
                         file_rows=False)
