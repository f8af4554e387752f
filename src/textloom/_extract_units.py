"""Work units: the parts files are split into, and how the workers' answers
become rows. Both engines, the command line's worker processes and Ray, run
the same steps, so they give the same rows:

1. plan each file in a worker (a file that fails here is one row, page null);
2. split its pages into parts of at most ``pages_per_task`` pages;
3. run each part in a worker: a part whose worker dies or passes the time
   limit gives a row with that error for each of its pages; other parts of
   the same file are unaffected.

Every table handed on carries ``_file_rows``, the number of rows its file
gives in all, so that whoever gathers rows knows when a file is complete.
"""

from __future__ import annotations

from collections import deque
from collections.abc import Callable, Iterable, Iterator
from dataclasses import dataclass

import pyarrow as pa

from textloom._extract_jobs import ExtractOptions, chosen_pages
from textloom._pool import Event, Item
from textloom._rows import error_rows, read_ipc, with_file_rows

Run = Callable[[Iterable[Item]], Iterator[Event]]


@dataclass(frozen=True)
class WorkUnit:
    """A part of one input: the file's path or URI, pages (0-based) and the options.

    Picklable, so any worker on any machine can take it; it never holds a
    document. A unit with an ``error`` stands for a file that failed before its
    pages were known."""

    path: str
    pages: tuple[int, ...]
    file_rows: int  # rows the whole file gives
    options: ExtractOptions
    error: str | None = None


def plan_units(plans: Iterator[Event], options: ExtractOptions, pages_per_task: int) -> Iterator[WorkUnit]:
    """Units from the events of planning pieces, in file order. A file with no
    page to extract gives none."""
    answer = bytearray()
    for event in plans:
        answer += event.output
        if not event.done:
            continue
        if event.error is not None:
            yield WorkUnit(event.path, (), 1, options, event.error)
        else:
            pages = chosen_pages(bytes(answer))
            for start in range(0, len(pages), pages_per_task):
                yield WorkUnit(event.path, tuple(pages[start:start + pages_per_task]), len(pages), options)
        answer.clear()


def unit_tables(units: Iterable[WorkUnit], run: Run) -> Iterator[pa.Table]:
    """Rows of each unit (with ``_file_rows``), running the parts through ``run``
    (a pool's ``run``); a unit that failed in planning gives its error row."""
    sent: deque[WorkUnit] = deque()
    failed: deque[pa.Table] = deque()

    def parts() -> Iterator[Item]:
        for unit in units:
            if unit.error is not None:
                failed.append(with_file_rows(
                    error_rows(unit.options.format, unit.path, None, unit.error), 1))
            elif unit.pages:
                sent.append(unit)
                yield unit.path, list(unit.pages)

    answer = bytearray()
    for event in run(parts()):
        while failed:
            yield failed.popleft()
        answer += event.output
        if not event.done:
            continue
        unit = sent.popleft()
        table = (error_rows(unit.options.format, unit.path, unit.pages, event.error)
                 if event.error is not None else read_ipc(bytes(answer)))
        answer.clear()
        yield with_file_rows(table, unit.file_rows)
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
