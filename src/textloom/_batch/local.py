"""The local engine of ``textloom extract``: this machine's worker pool,
giving the rows of each file as one Arrow table, file after file in input
order (with ``_file_rows``, as the Ray engine's tables carry it)."""

from __future__ import annotations

from collections.abc import Iterator

import pyarrow as pa

from textloom._batch.failures import Failure, describe
from textloom._batch.pool import run_in_order
from textloom._batch.rows import with_file_rows
from textloom._batch.rows_work import plan_rows, rows_piece
from textloom._batch.units import rows_of
from textloom._options import ReadOptions, RunOptions


def local_tables(files: list[str], options: ReadOptions, run: RunOptions) -> Iterator[pa.Table]:
    """The rows of each file, and a row for each page or file that failed."""
    outputs: list[bytes] = []
    failures: list[Failure] = []
    for event in run_in_order(files, plan_rows, rows_piece, options, describe, jobs=run.jobs,
                              timeout=run.timeout, memory_limit=run.memory_limit):
        outputs.append(event.output)
        failures += [failure for _, failure in event.failures]
        if event.done:
            rows = rows_of(options.format, outputs, failures)
            yield with_file_rows(rows, rows.num_rows)
            outputs, failures = [], []
