"""Work on input files in worker processes, with results in input order.

Each file starts as one piece; its first piece may answer with more pieces
(page chunks of a big file), which go to whichever workers are free. Pieces
are handed out by file order, so the oldest file finishes first and its
output streams while later files run. At most a few files per worker are in
flight, so memory stays flat over any number of inputs.

Every worker runs one piece at a time over its own pipe, so the pool knows
which file a worker is on: a worker that dies (a PDF that crashes PDFium) or
that passes the file's time limit is killed and replaced, and that file, and
only that file, fails.
"""

from __future__ import annotations

import heapq
import importlib
import multiprocessing
import os
import signal
import sys
import threading
import time
from collections import deque
from collections.abc import Callable, Iterable, Iterator
from dataclasses import dataclass, field
from multiprocessing.connection import Connection, wait
from multiprocessing.process import BaseProcess
from typing import Any, NamedTuple

Pages = list[int]
# work(path, options, pages) -> (output, more pieces); pages is None for a file's
# first piece, and only the first piece may ask for more.
Work = Callable[[str, Any, "Pages | None"], "tuple[bytes, list[Pages]]"]
Describe = Callable[[BaseException], str]


class Event(NamedTuple):
    """A piece of a file's output (``done`` false), or the end of the file (``done``
    true, ``error`` set when it failed; the output of a failed file stops early)."""

    path: str
    output: bytes
    error: str | None
    done: bool


@dataclass
class _File:
    path: str
    position: int  # in the input order
    pieces: list[_Piece] = field(default_factory=list)
    complete: bool = False  # the first piece has answered: no more pieces will come
    emitted: int = 0
    error: str | None = None
    started: float | None = None


@dataclass
class _Piece:
    file: _File
    number: int
    pages: Pages | None
    output: bytes | None = None


@dataclass
class _Worker:
    process: BaseProcess
    conn: Connection
    piece: _Piece | None = None


def _serve(conn: Connection, work: Work, options: Any, describe: Describe) -> None:
    """A worker's loop: one piece in, its output or its error out."""
    signal.signal(signal.SIGINT, signal.SIG_IGN)  # the main process handles Ctrl-C
    parent = os.getppid()
    while True:
        try:
            # Forked siblings hold copies of this pipe's other end, so a main
            # process that was killed may never close it: watch the parent too.
            while not conn.poll(1.0):
                if os.getppid() != parent:
                    return
            message = conn.recv()
        except (EOFError, OSError):
            return
        if message is None:
            return
        path, pages = message
        try:
            reply: tuple[str, Any] = ("ok", work(path, options, pages))
        except Exception as error:  # each file's error is reported, the worker goes on
            reply = ("error", describe(error))
        conn.send(reply)


def _context(module: str) -> Any:
    """How workers start. Forking a single-threaded main process that has imported
    the work module is the cheapest by far (a fresh interpreter importing
    pypdfium2 costs a large part of a second); a process with threads must not
    fork, so it uses a fork server, and systems without either spawn."""
    if sys.platform.startswith("linux") and threading.active_count() == 1:
        importlib.import_module(module)
        return multiprocessing.get_context("fork")
    if "forkserver" in multiprocessing.get_all_start_methods():
        context = multiprocessing.get_context("forkserver")
        context.set_forkserver_preload([module])
        return context
    return multiprocessing.get_context("spawn")


def _receive(conn: Connection) -> tuple[str, Any] | None:
    """A worker's reply, or None when it died without one."""
    try:
        if conn.poll():
            reply: tuple[str, Any] = conn.recv()
            return reply
    except (EOFError, OSError):
        pass
    return None


def _death(process: BaseProcess) -> str:
    process.join(5)
    code = process.exitcode
    if code is not None and code < 0:
        try:
            return f"worker process died ({signal.Signals(-code).name})"
        except ValueError:
            return f"worker process died (signal {-code})"
    return f"worker process died (exit status {code})"


class _Pool:
    def __init__(self, work: Work, options: Any, describe: Describe, jobs: int,
                 timeout: float) -> None:
        self.work, self.options, self.describe = work, options, describe
        self.jobs, self.timeout = jobs, timeout
        self.context = _context(work.__module__)
        self.workers: list[_Worker] = []
        self.ready: list[tuple[int, int, _Piece]] = []  # heap by (file position, piece)

    def start_worker(self) -> _Worker:
        parent, child = self.context.Pipe()
        process = self.context.Process(
            target=_serve, args=(child, self.work, self.options, self.describe), daemon=True)
        process.start()
        child.close()
        worker = _Worker(process, parent)
        self.workers.append(worker)
        return worker

    def retire(self, worker: _Worker, kill: bool) -> None:
        if kill:
            worker.process.kill()
        worker.process.join(5)
        worker.conn.close()
        self.workers.remove(worker)

    def push(self, piece: _Piece) -> None:
        heapq.heappush(self.ready, (piece.file.position, piece.number, piece))

    def dispatch(self) -> None:
        idle = [worker for worker in self.workers if worker.piece is None]
        while self.ready:
            if not idle and len(self.workers) < self.jobs:
                idle.append(self.start_worker())
            if not idle:
                return
            _, _, piece = heapq.heappop(self.ready)
            if piece.file.error is not None:
                continue
            worker = idle.pop()
            worker.piece = piece
            worker.conn.send((piece.file.path, piece.pages))
            if piece.file.started is None:
                piece.file.started = time.monotonic()

    def fail(self, worker: _Worker, message: str, kill: bool) -> None:
        piece = worker.piece
        assert piece is not None
        if piece.file.error is None:
            piece.file.error = message
        self.retire(worker, kill)

    def collect(self) -> None:
        """Waits for a worker to answer, die or pass its file's deadline."""
        busy = [worker for worker in self.workers if worker.piece is not None]
        if not busy:
            return
        deadline = min(worker.piece.file.started or 0.0 for worker in busy if worker.piece)
        wait_for = max(0.0, deadline + self.timeout - time.monotonic())
        answered = set(wait([w.conn for w in busy] + [w.process.sentinel for w in busy], wait_for))
        now = time.monotonic()
        for worker in busy:
            piece = worker.piece
            assert piece is not None
            if worker.conn in answered or worker.process.sentinel in answered:
                reply = _receive(worker.conn)
                if reply is None:
                    self.fail(worker, _death(worker.process), kill=False)
                    continue
                status, value = reply
                worker.piece = None
                if piece.file.error is not None:  # the file failed elsewhere meanwhile
                    continue
                if status == "error":
                    piece.file.error = value
                    continue
                piece.output, more = value
                if piece.pages is None:
                    for pages in more:
                        extra = _Piece(piece.file, len(piece.file.pieces), pages)
                        piece.file.pieces.append(extra)
                        self.push(extra)
                    piece.file.complete = True
            elif now >= (piece.file.started or now) + self.timeout:
                self.fail(worker, f"timed out after {self.timeout:g} s", kill=True)

    def shutdown(self) -> None:
        for worker in list(self.workers):
            if worker.piece is None:
                try:
                    worker.conn.send(None)
                except OSError:
                    pass
            self.retire(worker, kill=worker.piece is not None)


def run_in_order(paths: Iterable[str], work: Work, options: Any, describe: Describe, *,
                 jobs: int, timeout: float) -> Iterator[Event]:
    """Runs ``work`` over ``paths`` on up to ``jobs`` worker processes and yields
    each file's output pieces, then its end, in input order."""
    pool = _Pool(work, options, describe, jobs, timeout)
    window: deque[_File] = deque()
    inputs = enumerate(paths)
    exhausted = False
    try:
        while True:
            while not exhausted and len(window) < 4 * jobs:
                entry = next(inputs, None)
                if entry is None:
                    exhausted = True
                    break
                file = _File(entry[1], entry[0])
                file.pieces.append(_Piece(file, 0, None))
                window.append(file)
                pool.push(file.pieces[0])
            while window:
                head = window[0]
                while (head.error is None and head.emitted < len(head.pieces)
                       and head.pieces[head.emitted].output is not None):
                    piece = head.pieces[head.emitted]
                    output, piece.output = piece.output or b"", b""
                    head.emitted += 1
                    if output:
                        yield Event(head.path, output, None, False)
                if head.error is None and not (head.complete and head.emitted == len(head.pieces)):
                    break
                window.popleft()
                yield Event(head.path, b"", head.error, True)
            if not window and exhausted:
                return
            pool.dispatch()
            pool.collect()
    finally:
        pool.shutdown()
