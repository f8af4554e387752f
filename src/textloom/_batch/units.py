"""Work units of the Ray engine: the parts files are split into, and how the
workers' answers become rows.

1. Plan each file in a worker (a file that fails here is one row, page null).
2. Cut its pages into parts of at most ``pages_per_task`` pages, and pack the
   parts into tasks of about as many pages (small files share a task).
3. Run each part in a worker of the task's pool: its rows, and a row for
   each page that failed.

Every table handed on carries ``_file_rows``, the number of rows its file
gives in all, so that whoever gathers rows (arriving from any task, in any
order) knows when a file is complete. The local engine runs the same plan
and pieces through one pool and gathers rows file by file, so both give the
same rows.
"""

from __future__ import annotations

from collections import deque
from collections.abc import Callable, Iterable, Iterator
from dataclasses import dataclass

import pyarrow as pa

from textloom._batch.failures import Failure
from textloom._batch.pieces import split_pages
from textloom._batch.pool import Event, Item
from textloom._batch.rows import failure_rows, read_ipc, schema, with_file_rows
from textloom._options import ReadOptions

Run = Callable[[Iterable[Item]], Iterator[Event]]


@dataclass(frozen=True)
class WorkUnit:
    """A part of one input: the file's path or URI, pages (0-based) and the options.

    Picklable, so any worker on any machine can take it; it never holds a
    document. A unit with a ``failure`` stands for a file that failed before
    its pages were known."""

    path: str
    pages: tuple[int, ...]
    file_rows: int  # rows the whole file gives
    options: ReadOptions
    failure: Failure | None = None


def plan_units(plans: Iterator[Event], options: ReadOptions, pages_per_task: int) -> Iterator[WorkUnit]:
    """Units from the events of a run that only plans, in file order."""
    failure: Failure | None = None
    for event in plans:
        failure = failure or next((failure for _, failure in event.failures), None)
        if not event.done:
            continue
        if event.plan is None:
            yield WorkUnit(event.path, (), 1, options, failure)
        else:
            pages = [page for piece in event.plan for page in piece]
            for part in split_pages(pages, pages_per_task):
                yield WorkUnit(event.path, tuple(part), len(pages), options)
        failure = None


def rows_of(format: str, outputs: Iterable[bytes], failures: Iterable[Failure]) -> pa.Table:
    """The rows of a file or part: its pieces' IPC bytes and its failures' rows."""
    tables = [read_ipc(output) for output in outputs if output]
    return pa.concat_tables([schema(format).empty_table(), *tables,
                             failure_rows(format, list(failures))])


def unit_tables(units: Iterable[WorkUnit], run: Run) -> Iterator[pa.Table]:
    """Rows of each unit (with ``_file_rows``), running the parts through ``run``
    (a pool's ``run``); a unit that failed in planning gives its error row."""
    sent: deque[WorkUnit] = deque()
    failed: list[pa.Table] = []

    def parts() -> Iterator[Item]:
        for unit in units:
            if unit.failure is not None:
                failed.append(with_file_rows(failure_rows(unit.options.format, [unit.failure]), 1))
            elif unit.pages:
                sent.append(unit)
                yield unit.path, list(unit.pages)

    outputs: list[bytes] = []
    failures: list[Failure] = []
    for event in run(parts()):
        yield from failed
        failed.clear()
        outputs.append(event.output)
        failures += [failure for _, failure in event.failures]
        if event.done:
            unit = sent.popleft()
            yield with_file_rows(rows_of(unit.options.format, outputs, failures), unit.file_rows)
            outputs, failures = [], []
    yield from failed


def pack(units: Iterable[WorkUnit], pages_per_task: int) -> list[list[WorkUnit]]:
    """Units grouped into tasks of about ``pages_per_task`` pages, so that small
    files share a task and a big file's parts each get their own."""
    tasks: list[list[WorkUnit]] = []
    weight = 0
    for unit in units:
        size = max(1, len(unit.pages))
        if not tasks or weight + size > pages_per_task:
            tasks.append([])
            weight = 0
        tasks[-1].append(unit)
        weight += size
    return tasks
