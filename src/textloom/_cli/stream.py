"""Running files through the worker pool and streaming their output, for
``textloom text`` and ``textloom info``: bytes in input order to the output,
a failed page's JSON row in its place (with ``--jsonl``), every failure a
line on stderr, the summary at the end."""

from __future__ import annotations

import argparse
import contextlib
import sys
from collections.abc import Iterator, Sequence
from typing import IO

from textloom._batch.failures import describe
from textloom._batch.inputs import list_inputs
from textloom._batch.page_output import format_failure
from textloom._batch.pool import Plan, Work, run_in_order
from textloom._cli.errors import EXIT_FAILED, EXIT_OK, OutputError, UsageError
from textloom._cli.report import Reporter
from textloom._options import ReadOptions, RunOptions


def input_files(paths: Sequence[str]) -> list[str]:
    """The files under ``paths``; a UsageError when they hold none."""
    files = list_inputs(paths)
    if not files:
        raise UsageError(f"no PDF files found under {', '.join(paths)}")
    return files


def run_options(args: argparse.Namespace) -> RunOptions:
    return RunOptions.checked(args.jobs, args.timeout, args.max_memory)


@contextlib.contextmanager
def output(path: str | None) -> Iterator[IO[bytes]]:
    """stdout, or the file at ``path``; OutputError when it cannot be written."""
    if path is None:
        yield sys.stdout.buffer
        return
    try:
        out = open(path, "wb")
    except OSError as error:
        raise OutputError(f"{error.filename or path}: {error.strerror or error}") from None
    with out:
        yield out


def stream(files: list[str], plan: Plan, work: Work | None, options: ReadOptions,
           run: RunOptions, out: IO[bytes], *, quiet: bool) -> int:
    """Runs the files and writes their output; returns the exit status."""
    reporter = Reporter(len(files), quiet=quiet)
    pages = 0
    try:
        for event in run_in_order(files, plan, work, options, describe, jobs=run.jobs,
                                  timeout=run.timeout, memory_limit=run.memory_limit):
            written = 0
            for offset, failure in event.failures:
                out.write(event.output[written:offset])
                written = offset
                reporter.failure(failure)
                if options.jsonl:
                    out.write(format_failure(failure).encode("utf-8", "replace"))
            out.write(event.output[written:])
            pages += event.pages
            if event.done:
                out.flush()
                reporter.file_done(pages)
                pages = 0
    except BaseException:
        reporter.close(summary=False)
        raise
    reporter.close()
    return EXIT_FAILED if reporter.failed else EXIT_OK
