"""PDF pages as a Ray Data dataset: ``read_pdfs``, for corpora beyond one machine.

Needs ``textloom[ray]`` (Ray Data and pyarrow); ``import textloom`` never
imports this module.

The dataset runs in two steps of Ray tasks. The first plans blocks of files
(which pages each gives) and packs their parts into tasks of about
``pages_per_task`` pages; a streaming repartition makes each task its own
block, so the second step spreads one big file's parts over the cluster as it
does small files. In every Ray worker PDFium runs in a child process that
lives as long as the worker (the command line's worker pool, one process
wide), one document at a time: a PDF that crashes PDFium or passes the time
limit costs its part's rows an error and a new child, never the task. (Ray
retries tasks whose worker died, without end; no PDF can cause that here.)
"""

from __future__ import annotations

import os
import pickle
from collections.abc import Iterable
from typing import TYPE_CHECKING, Any

from textloom._cli_format import SORTS
from textloom._cli_pages import parse_page_ranges
from textloom._optional import import_optional
from textloom._types import Sort

if TYPE_CHECKING:
    import pyarrow as pa
    import ray.data

    from textloom._extract_jobs import ExtractOptions
    from textloom._pool import Pool

__all__ = ["read_pdfs"]

# Files planned by one task. Opening a file costs a small part of extracting
# it, and every Ray task costs some 20 ms of a worker's CPU on its own: few
# planning tasks, each soon done.
PLAN_FILES = 256
# What a task's PDFium child may hold, told to Ray's scheduler. Being the one
# difference between the two steps' resources, it also keeps Ray Data from
# fusing them into one task, which would run a big file's parts one by one.
TASK_MEMORY = 256 << 20

_pool: tuple[tuple[ExtractOptions, float], Pool] | None = None


def _worker_pool(options: ExtractOptions, timeout: float) -> Pool:
    """This Ray worker's PDFium child, kept from task to task while the options stay."""
    global _pool
    from textloom._cli_jobs import describe
    from textloom._extract_jobs import extract_piece
    from textloom._pool import Pool

    key = (options, timeout)
    if _pool is None or _pool[0] != key:
        if _pool is not None:
            _pool[1].shutdown()
        _pool = (key, Pool(extract_piece, options, describe, jobs=1, timeout=timeout))
    return _pool[1]


def _plan_tasks(files: pa.Table, options: ExtractOptions, pages_per_task: int,
                timeout: float) -> pa.Table:
    """A block of files -> a row per task: its work units, pickled."""
    import pyarrow as pa

    from textloom._extract_units import pack, plan_units

    pool = _worker_pool(options, timeout)
    units = plan_units(pool.run(files.column("path").to_pylist()), options, pages_per_task)
    tasks = [pickle.dumps(task) for task in pack(units, pages_per_task)]
    return pa.table({"units": pa.array(tasks, pa.binary())})


def _run_tasks(tasks: pa.Table, options: ExtractOptions, timeout: float, file_rows: bool) -> pa.Table:
    """Tasks -> their pages' rows, with ``_file_rows`` or without."""
    import pyarrow as pa

    from textloom._extract_units import unit_tables
    from textloom._rows import FILE_ROWS, schema

    units = [unit for task in tasks.column("units").to_pylist() for unit in pickle.loads(task)]
    tables = list(unit_tables(units, _worker_pool(options, timeout).run))
    empty = schema(options.format).append(pa.field(FILE_ROWS, pa.int32())).empty_table()
    rows = pa.concat_tables([empty, *tables])
    return rows if file_rows else rows.drop_columns([FILE_ROWS])


_KIND_NAMES = {"pages": "a string of page ranges or None", "password": "a string or None",
               "dehyphenate": "True or False"}


def check_sort(sort: Sort) -> None:
    if isinstance(sort, str) and sort not in ("", *SORTS):
        raise ValueError(f"unknown sort {sort!r}")


def pages_dataset(files: list[str], options: ExtractOptions, *, pages_per_task: int, timeout: float,
                  file_rows: bool = True) -> ray.data.Dataset:
    """The rows of ``files``, with the ``_file_rows`` column unless told otherwise."""
    data: Any = import_optional("ray.data", "ray")
    import pyarrow as pa

    from textloom._rows import FILE_ROWS, schema

    if not files:
        columns = schema(options.format)
        if file_rows:
            columns = columns.append(pa.field(FILE_ROWS, pa.int32()))
        return data.from_arrow(columns.empty_table())
    blocks = [pa.table({"path": pa.array(files[start:start + PLAN_FILES], pa.string())})
              for start in range(0, len(files), PLAN_FILES)]
    dataset = data.from_arrow(blocks)
    dataset = dataset.map_batches(
        _plan_tasks, batch_format="pyarrow", batch_size=None,
        fn_kwargs={"options": options, "pages_per_task": pages_per_task, "timeout": timeout})
    # One task a block, so that the blocks spread over the workers; Ray Data
    # does this within the planning tasks.
    dataset = dataset.repartition(target_num_rows_per_block=1)
    return dataset.map_batches(
        _run_tasks, batch_format="pyarrow", batch_size=None, memory=TASK_MEMORY,
        fn_kwargs={"options": options, "timeout": timeout, "file_rows": file_rows})


def read_pdfs(paths: str | os.PathLike[str] | Iterable[str | os.PathLike[str]], *,
              format: str = "text", sort: Sort = "xycut", pages: str | None = None,
              password: str | None = None, dehyphenate: bool = False, pages_per_task: int = 64,
              timeout: float = 300) -> ray.data.Dataset:
    """A row per page of the PDFs at ``paths``, as a Ray Data dataset.

    ``paths``: a file, a directory (every ``*.pdf`` below it), a glob, or a
    list of them; local, or URIs of a filesystem pyarrow reads (``s3://``,
    ``gs://``, ...). A path given twice is read once.
    ``format``: "text", "words" or "dict"; ``sort``: the reading order, as
    ``Page.get_text`` takes it; ``pages``: 1-based ranges like ``1-3,7,10-N``
    (a page named twice gives one row);
    ``password`` of encrypted files; ``dehyphenate`` joins words split at
    line ends; ``timeout``: seconds a file's part may take in PDFium.
    ``pages_per_task``: files with more pages are split into parts of this
    many, run as separate tasks.

    Columns: "path" (string), "page" (int32, 1-based), "width", "height"
    (float64), "rotation" (int32), the payload ("text" a string; for "words"
    the list columns x0, y0, x1, y1, text, block, line, word; for "dict" a
    JSON string "dict") and "error" (string, null on success). A file that
    cannot be opened is one row with a null "page" and its error; a part whose
    PDFium child crashed or passed ``timeout`` gives each of its pages a row
    with that error. Rows come in no particular order.

    Each Ray task costs some milliseconds of its own, so a task should hold
    a good fraction of a second of work: on light pages, raise
    ``pages_per_task``. On a machine of few cores, Ray Data's per-operator
    reservation (``DataContext.op_resource_reservation_enabled``) may hold
    the extraction to one task at a time; ``textloom extract`` turns it off
    for its own dataset.
    """
    from textloom._extract_jobs import ExtractOptions
    from textloom._inputs import list_inputs
    from textloom._rows import FORMATS

    if format not in FORMATS:
        raise ValueError(f"unknown format {format!r}: expected one of {', '.join(FORMATS)}")
    check_sort(sort)
    if isinstance(pages_per_task, bool) or not isinstance(pages_per_task, int) or pages_per_task < 1:
        raise ValueError(f"pages_per_task must be a whole number above 0, not {pages_per_task!r}")
    if isinstance(timeout, bool) or not isinstance(timeout, (int, float)) or not timeout > 0:
        raise ValueError(f"timeout must be a number of seconds above 0, not {timeout!r}")
    # Checked here: in the workers a wrong type would fail every page, one by one.
    for name, value, kinds in (("pages", pages, (str, type(None))),
                               ("password", password, (str, type(None))),
                               ("dehyphenate", dehyphenate, bool)):
        if not isinstance(value, kinds):
            raise TypeError(f"{name} must be {_KIND_NAMES[name]}, not {type(value).__name__}")
    options = ExtractOptions(format=format, sort=sort,
                             pages=parse_page_ranges(pages) if pages is not None else None,
                             password=password, dehyphenate=dehyphenate)
    files = list(dict.fromkeys(list_inputs(paths)))
    return pages_dataset(files, options, pages_per_task=pages_per_task, timeout=float(timeout),
                         file_rows=False)
