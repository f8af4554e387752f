"""Failures of a batch: a page, or a whole file, that could not be read, with
the kind of failure and one message a user can act on.

A page's message names it once, from 1 ("page 2: PDFium cannot load the
page"); a file's names no page. Kinds, for machines:

- "pdf": PDFium rejects the file or the page;
- "password": the file needs a password, or another one;
- "io": the file cannot be read (missing, unreadable);
- "selection": the page ranges name no page of the file;
- "timeout": a page took longer than the time limit;
- "memory": a page needed more than the worker's memory limit;
- "crash": the worker process died on the page;
- "dependency": what the page needs is not installed (an OCR engine, its language);
- "internal": anything else (a fault of textloom: please report it).
"""

from __future__ import annotations

import signal
from collections.abc import Callable
from multiprocessing.process import BaseProcess
from typing import NamedTuple

from textloom._errors import PasswordError, PdfError
from textloom._options import format_size


class Failure(NamedTuple):
    """One page (``page`` from 0) or one file (``page`` None) that failed."""

    path: str
    page: int | None
    kind: str
    message: str


class NoPagesError(ValueError):
    """The page ranges asked for select no page of the file."""


_memory_limit: int | None = None  # the worker's own limit, for its messages


def set_memory_limit(limit: int | None) -> None:
    """Tells this worker process's failures the memory limit it runs under."""
    global _memory_limit
    _memory_limit = limit


def _out_of_memory(limit: int | None) -> str:
    return "out of memory" + (f" (limit {format_size(limit)})" if limit is not None else "")


def _on_page(page: int | None, reason: str) -> str:
    if page is None or reason.startswith(f"page {page + 1}:"):
        return reason
    return f"page {page + 1}: {reason}"


def describe(error: BaseException, path: str, page: int | None) -> Failure:
    """The failure an exception raised while reading ``path`` (``page``) stands for."""
    kind, reason = "internal", f"{type(error).__name__}: {error}".replace("\n", " ")
    if isinstance(error, PasswordError):
        kind, reason = "password", error.reason
    elif isinstance(error, PdfError):
        kind, reason = "pdf", error.reason
    elif isinstance(error, NoPagesError):
        kind, reason = "selection", str(error)
    elif isinstance(error, ImportError):
        kind, reason = "dependency", str(error)
    elif isinstance(error, MemoryError):
        kind, reason = "memory", _out_of_memory(_memory_limit)
    elif isinstance(error, OSError) and error.strerror:
        kind, reason = "io", error.strerror[0].lower() + error.strerror[1:]
    return Failure(path, page, kind, _on_page(page, reason))


def death_failure(process: BaseProcess, memory_limit: int | None) -> Callable[[str, int | None], Failure]:
    """The failure of the page a worker died on. Under a memory limit PDFium
    ends the process with SIGABRT when an allocation fails; that is the
    limit's doing far more often than any other abort, so it is told as such."""
    process.join(5)
    code = process.exitcode
    kind, reason = "crash", f"worker process died (exit status {code})"
    if code is not None and code < 0:
        if -code == signal.SIGABRT and memory_limit is not None:
            kind, reason = "memory", _out_of_memory(memory_limit)
        else:
            try:
                reason = f"worker process died ({signal.Signals(-code).name})"
            except ValueError:
                reason = f"worker process died (signal {-code})"
    return lambda path, page: Failure(path, page, kind, _on_page(page, reason))


def timeout_failure(timeout: float) -> Callable[[str, int | None], Failure]:
    """The failure of a page that passed the time limit."""
    reason = f"timed out after {timeout:g} s"
    return lambda path, page: Failure(path, page, "timeout", _on_page(page, reason))
