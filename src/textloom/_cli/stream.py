"""Running files through the worker pool and streaming their output, for
``textloom text`` and ``textloom info``: bytes in input order to the output,
a failed page's JSON row in its place (with ``--jsonl``), every failure a
line on stderr, the summary at the end.

Each piece of output (whole pages, whole records) reaches the output in one
write that a signal does not cut. ``-o FILE`` is written beside FILE under a
temporary name and renamed over it at the end, so a run that cannot write
leaves an earlier FILE as it was.
"""

from __future__ import annotations

import argparse
import contextlib
import os
import sys
import tempfile
from collections.abc import Iterator, Sequence
from typing import IO

from textloom._batch.failures import describe
from textloom._batch.inputs import list_inputs
from textloom._batch.page_output import format_failure
from textloom._batch.pool import Plan, Work, run_in_order
from textloom._cli.errors import EXIT_FAILED, EXIT_OK, OutputError, UsageError
from textloom._cli.interrupt import Interrupted, guard
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


def write_error(error: OSError, name: str) -> OutputError:
    """The one line for output that cannot be written: the reason, then where."""
    reason = error.strerror or str(error)
    return OutputError(f"{reason[:1].lower()}{reason[1:]} writing {name}")


@contextlib.contextmanager
def output(path: str | None) -> Iterator[IO[bytes]]:
    """stdout, or the file at ``path``, written under a temporary name beside it
    and renamed over it when the run ends (interrupted too: what it wrote is
    whole); a run that fails on the way leaves ``path`` untouched."""
    if path is None:
        try:
            yield sys.stdout.buffer
        except BrokenPipeError:  # the reader went away: not a failure to report
            raise
        except OSError as error:
            raise write_error(error, "stdout") from None
        return
    try:
        fd, temporary = tempfile.mkstemp(dir=os.path.dirname(path) or ".",
                                         prefix=f".{os.path.basename(path)}.", suffix=".tmp")
    except OSError as error:
        raise OutputError(f"{error.filename or path}: {error.strerror or error}") from None
    renamed = False
    try:
        with os.fdopen(fd, "wb") as out:
            try:
                yield out
            except Interrupted:
                out.flush()
                _commit(temporary, path)
                renamed = True
                raise
            out.flush()
        _commit(temporary, path)
        renamed = True
    except OSError as error:
        raise write_error(error, path) from None
    finally:
        if not renamed:
            with contextlib.suppress(OSError):
                os.remove(temporary)


def _commit(temporary: str, path: str) -> None:
    """Puts the finished output at ``path``, with the mode a new file gets."""
    umask = os.umask(0)
    os.umask(umask)
    os.chmod(temporary, 0o666 & ~umask)
    os.replace(temporary, path)


def write_whole(out: IO[bytes], data: bytes) -> None:
    """Writes all of ``data`` and flushes. A signal that arrives while a pipe is
    full makes a buffered write return early, having written only part."""
    rest = memoryview(data)
    while rest:
        rest = rest[out.write(rest):]
    out.flush()


def stream(files: list[str], plan: Plan, work: Work | None, options: ReadOptions,
           run: RunOptions, out: IO[bytes], *, quiet: bool, hits: list[int] | None = None) -> int:
    """Runs the files and writes their output; returns the exit status. ``hits``
    gets the number of things the pieces found added to its one item."""
    reporter = Reporter(len(files), quiet=quiet)
    pages = 0
    events = run_in_order(files, plan, work, options, describe, jobs=run.jobs,
                          timeout=run.timeout, memory_limit=run.memory_limit)
    try:
        with contextlib.closing(events):  # leaving early stops the workers
            for event in events:
                chunks, written = [], 0
                for offset, failure in event.failures:
                    chunks.append(event.output[written:offset])
                    written = offset
                    reporter.failure(failure)
                    if options.jsonl:
                        chunks.append(format_failure(failure).encode("utf-8", "surrogateescape"))
                chunks.append(event.output[written:])
                with guard.whole():
                    write_whole(out, b"".join(chunks))
                pages += event.pages
                if hits is not None:
                    hits[0] += event.hits
                if event.done:
                    reporter.file_done(pages)
                    pages = 0
    except Interrupted:
        reporter.close(" (interrupted)")
        raise
    except BaseException:
        reporter.close(summary=False)
        raise
    reporter.close()
    return EXIT_FAILED if reporter.failed else EXIT_OK
