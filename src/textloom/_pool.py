"""Work on input files in worker processes, with results in input order.

Each file starts as one piece; its first piece may answer with more pieces
(page chunks of a big file), which go to whichever workers are free. Pieces
are handed out by file order, so the oldest file finishes first and its
output streams while later files run. At most a few files per worker are in
flight, so memory stays flat over any number of inputs.

An input may also come with its pages chosen (a part of a file that a
planner split off): it is then one piece that asks for no more.

A ``Pool`` outlives its runs: a caller that hands it work again and again
(one Ray task after another) keeps its worker processes, and so PDFium and
the imports, warm.

Every worker has its own pipe and runs its pieces in the order sent, so the
pool knows which file a worker is on: a worker that dies (a PDF that crashes
PDFium) or passes the file's time limit is replaced, and that file, and only
that file, fails; the pieces queued behind it go to other workers. Each
worker gets its next piece before it finishes the current one, so it never
waits for the main process in between.
"""

from __future__ import annotations

import heapq
import importlib
import math
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
Item = str | tuple[str, Pages]  # a file, or a file with its pages chosen
# work(path, options, pages) -> (output, more pieces); pages is None for a file's
# first piece, and only the first piece may ask for more.
Work = Callable[[str, Any, Pages | None], tuple[bytes, list[Pages]]]
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
    complete: bool = False  # no more pieces will come: its first piece answered, or it came with its pages
    emitted: int = 0
    error: str | None = None
    started: float | None = None  # monotonic time its first piece began; the limit counts from it


@dataclass
class _Piece:
    file: _File
    number: int
    pages: Pages | None  # None: the file's first piece, which chooses the pages
    output: bytes | None = None  # set when done; emptied once written


@dataclass
class _Worker:
    process: BaseProcess
    conn: Connection
    pieces: deque[_Piece] = field(default_factory=deque)  # the first one is running
    broken: bool = False  # a send failed: it is dead, its sentinel will tell

    @property
    def running(self) -> _Piece | None:
        return self.pieces[0] if self.pieces else None


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


DEPTH = 2  # pieces sent to a worker at once: the running one and the next


class Pool:
    """Up to ``jobs`` worker processes running ``work`` with ``options``; each
    input may take ``timeout`` seconds from its first piece on."""

    def __init__(self, work: Work, options: Any, describe: Describe, *, jobs: int,
                 timeout: float) -> None:
        self.work, self.options, self.describe = work, options, describe
        self.jobs, self.timeout = jobs, timeout
        self.context = _context(work.__module__)
        self.workers: list[_Worker] = []
        self.ready: list[tuple[int, int, _Piece]] = []  # heap by (file position, piece)

    def push(self, piece: _Piece) -> None:
        heapq.heappush(self.ready, (piece.file.position, piece.number, piece))

    def _start_worker(self) -> _Worker:
        parent, child = self.context.Pipe()
        process = self.context.Process(
            target=_serve, args=(child, self.work, self.options, self.describe), daemon=True)
        process.start()
        child.close()
        worker = _Worker(process, parent)
        self.workers.append(worker)
        return worker

    def _retire(self, worker: _Worker, reason: str | None) -> None:
        """Stops a worker; its running piece's file fails with ``reason`` (when the
        worker died on it), and the pieces queued behind it go back to the heap."""
        if worker.process.is_alive():
            worker.process.kill()
        worker.process.join(5)
        worker.conn.close()
        self.workers.remove(worker)
        if worker.pieces and reason is not None:
            failed = worker.pieces.popleft().file
            failed.error = failed.error or reason
        for piece in worker.pieces:
            self.push(piece)

    def _begin(self, piece: _Piece) -> None:
        if piece.file.started is None:
            piece.file.started = time.monotonic()

    def dispatch(self) -> None:
        """Hands out ready pieces: to idle workers first, then as next pieces while
        there are more pieces than workers (near the end, a piece queued behind a
        slow one would keep a worker that is about to be free waiting)."""
        while self.ready:
            depth = DEPTH if len(self.ready) >= len(self.workers) else 1
            usable = [w for w in self.workers if not w.broken and len(w.pieces) < depth]
            worker = min(usable, key=lambda w: len(w.pieces), default=None)
            if (worker is None or worker.pieces) and len(self.workers) < self.jobs:
                worker = self._start_worker()
            if worker is None:
                return
            _, _, piece = heapq.heappop(self.ready)
            if piece.file.error is not None:
                continue
            try:
                worker.conn.send((piece.file.path, piece.pages))
            except OSError:  # died while idle: its sentinel reports it
                worker.broken = True
                self.push(piece)
                continue
            worker.pieces.append(piece)
            if len(worker.pieces) == 1:
                self._begin(piece)

    def _deadline(self, worker: _Worker) -> float:
        running = worker.running
        started = running.file.started if running is not None else None
        return math.inf if started is None else started + self.timeout

    def collect(self) -> None:
        """Waits until a worker answers, dies or passes its file's time limit."""
        for worker in [w for w in self.workers if w.broken]:
            self._retire(worker, _death(worker.process))
        if not any(worker.pieces for worker in self.workers):
            return
        soonest = min(self._deadline(worker) for worker in self.workers)
        waiting = None if soonest == math.inf else max(0.0, soonest - time.monotonic())
        answered = set(wait([w.conn for w in self.workers if w.pieces]
                            + [w.process.sentinel for w in self.workers], waiting))
        now = time.monotonic()
        for worker in list(self.workers):
            if worker.conn in answered or worker.process.sentinel in answered:
                reply = _receive(worker.conn)
                if reply is None:
                    self._retire(worker, _death(worker.process))
                else:
                    self._settle(worker, *reply)
            elif now >= self._deadline(worker):
                self._retire(worker, f"timed out after {self.timeout:g} s")

    def _settle(self, worker: _Worker, status: str, value: Any) -> None:
        piece = worker.pieces.popleft()
        if worker.pieces:
            self._begin(worker.pieces[0])
        file = piece.file
        if file.error is not None:  # the file failed elsewhere meanwhile
            return
        if status == "error":
            file.error = value
            return
        piece.output, more = value
        if piece.pages is None:
            for pages in more:
                extra = _Piece(file, len(file.pieces), pages)
                file.pieces.append(extra)
                self.push(extra)
            file.complete = True

    def run(self, items: Iterable[Item]) -> Iterator[Event]:
        """Runs ``work`` over ``items`` and yields each file's output pieces, then
        its end, in input order."""
        window: deque[_File] = deque()
        inputs = enumerate(items)
        try:
            while True:
                while len(window) < 4 * self.jobs:
                    entry = next(inputs, None)
                    if entry is None:
                        break
                    position, item = entry
                    path, pages = (item, None) if isinstance(item, str) else item
                    file = _File(path, position, complete=pages is not None)
                    file.pieces.append(_Piece(file, 0, pages))
                    window.append(file)
                    self.push(file.pieces[0])
                if not window:
                    return
                self.dispatch()
                self.collect()
                yield from _emit(window)
        finally:
            # Workers still on pieces of this run (of a failed file, or of a run
            # left early) would answer into the next one: stop them.
            self.ready.clear()
            for worker in [w for w in self.workers if w.pieces]:
                worker.pieces.clear()
                self._retire(worker, None)

    def shutdown(self) -> None:
        for worker in list(self.workers):
            if not worker.pieces and not worker.broken:
                try:
                    worker.conn.send(None)
                    worker.process.join(1)
                except OSError:
                    pass
            worker.pieces.clear()
            self._retire(worker, None)


def _emit(window: deque[_File]) -> Iterator[Event]:
    """The finished output at the head of the window, in input order."""
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
            return
        window.popleft()
        yield Event(head.path, b"", head.error, True)


def run_in_order(paths: Iterable[Item], work: Work, options: Any, describe: Describe, *,
                 jobs: int, timeout: float) -> Iterator[Event]:
    """Runs ``work`` over ``paths`` on up to ``jobs`` worker processes and yields
    each file's output pieces, then its end, in input order."""
    pool = Pool(work, options, describe, jobs=jobs, timeout=timeout)
    try:
        yield from pool.run(paths)
    finally:
        pool.shutdown()
