"""Work on input files in worker processes, with results in input order.

Each file starts as a plan (a worker opens it and answers with the pages to
read, cut into pieces by ``pieces.split_pages``); the pieces go to whichever
workers are free. Pieces are handed out by file order, so the
oldest file finishes first and its output streams while later files run. At
most a few files per worker are in flight, so memory stays flat over any
number of inputs. An input may also come with its pages chosen (a part of a
file that a planner split off): it needs no plan then.

Nothing is lost when a page fails. A page whose reading raises is a failure
that the worker reports beside the other pages' output. A worker that dies
(a page that crashes PDFium or exhausts the worker's memory limit) or whose
page passes the time limit is replaced: the pool knows the page it was on
(the worker marks each page it starts in memory it shares with the pool), so
that page, and only that page, fails, and the rest of its piece goes to
other workers. A file fails as a whole only when it cannot be planned.

A ``Pool`` outlives its runs: a caller that hands it work again and again
(one Ray task after another) keeps its worker processes, and so PDFium and
the imports, warm. Each worker gets its next piece before it finishes the
current one, so it never waits for the main process in between.
"""

from __future__ import annotations

import heapq
import importlib
import itertools
import math
import multiprocessing
import os
import signal
import sys
import threading
import time
from collections import deque
from collections.abc import Callable, Generator, Iterable, Iterator
from dataclasses import dataclass, field
from multiprocessing.connection import Connection, wait
from multiprocessing.process import BaseProcess
from typing import Any, NamedTuple

from textloom._batch.failures import Failure, death_failure, set_memory_limit, timeout_failure

Pages = list[int]
Item = str | tuple[str, Pages]  # a file, or a file with its pages chosen


class Answer(NamedTuple):
    """What a piece gives: the output of its pages, its failures, each at the
    offset in ``output`` where its page's output would have been, the number
    of pages it read and of the things it found (``textloom grep``'s matches)."""

    output: bytes
    failures: list[tuple[int, Failure]]
    pages: int = 0
    hits: int = 0


# plan(path, options) -> the pieces of the file's pages to read (0-based, each
# a list), or the file's whole Answer when it needs no pieces; raises for a
# file that fails.
Plan = Callable[[str, Any], "list[Pages] | Answer"]
# work(path, options, pages) -> Answer; calls page_started(index) before each page.
# None for plans that answer for their files whole.
Work = Callable[[str, Any, Pages], Answer]
# describe(error, path, page) -> the failure an exception of a worker stands for.
Describe = Callable[[BaseException, str, int | None], Failure]
# (path, page or None) -> the failure of a worker that died or passed the time limit there.
MakeFailure = Callable[[str, int | None], Failure]


class Event(NamedTuple):
    """A piece of a file's output with the failures inside it (``done`` false),
    or the end of the file (``done`` true); in a run that only plans, the end
    carries the file's plan (None when it failed)."""

    path: str
    output: bytes
    failures: list[tuple[int, Failure]]
    done: bool
    plan: list[Pages] | None = None
    pages: int = 0  # pages read into ``output``
    hits: int = 0  # things found in them


# -- the worker's side --------------------------------------------------------------

_progress: Any = None  # this worker's shared (serial, page) pair, set in _serve
IDLE = -1  # the page of a worker between pieces
OPENING = -2  # the page of a worker that opens or plans a file


def page_started(index: int) -> None:
    """Marks page ``index`` as the one this worker is on (a no-op outside workers)."""
    if _progress is not None:
        _progress[1] = index
        _progress[0] += 1


def _serve(conn: Connection, plan: Plan, work: Work | None, options: Any, describe: Describe,
           progress: Any, memory_limit: int | None) -> None:
    """A worker's loop: one piece in, its answer or its failure out."""
    global _progress
    signal.signal(signal.SIGINT, signal.SIG_IGN)  # the main process handles Ctrl-C
    signal.signal(signal.SIGTERM, signal.SIG_DFL)  # not the main process's handler, if it has one
    if memory_limit is not None:
        _limit_memory(memory_limit)
    set_memory_limit(memory_limit)
    _progress = progress
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
        page_started(OPENING)
        reply: tuple[str, Any]
        try:
            if pages is None:
                reply = ("plan", plan(path, options))
            else:
                assert work is not None, "a plan without work answers for its file whole"
                reply = ("answer", work(path, options, pages))
        except Exception as error:  # a plan that fails fails its file; the worker goes on
            reply = ("failed", describe(error, path, None))
        conn.send(reply)
        progress[1] = IDLE


def _limit_memory(limit: int) -> None:
    """Caps this process's data memory (heap and anonymous mappings, what
    PDFium's parse of a hostile page grows) before PDFium is entered; past it
    an allocation fails, and PDFium ends the process."""
    try:
        import resource
    except ImportError:  # not a POSIX system: no limit to set
        return
    _, hard = resource.getrlimit(resource.RLIMIT_DATA)
    if hard != resource.RLIM_INFINITY:
        limit = min(limit, hard)
    resource.setrlimit(resource.RLIMIT_DATA, (limit, hard))


def start_context(module: str) -> Any:
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


# -- the pool's side ----------------------------------------------------------------


@dataclass
class _File:
    path: str
    position: int  # in the input order
    pieces: list[_Piece] = field(default_factory=list)  # in output order
    planned: bool = False  # its pieces are all known
    emitted: int = 0
    plan: list[Pages] | None = None  # its plan, in a run that only plans


@dataclass
class _Piece:
    file: _File
    pages: Pages | None  # None: the file's plan
    answer: Answer | None = None  # set when done; emptied once written


@dataclass
class _Worker:
    process: BaseProcess
    conn: Connection
    progress: Any  # shared (serial, page) of the page it is on
    pieces: deque[_Piece] = field(default_factory=deque)  # the first one is running
    broken: bool = False  # a send failed: it is dead, its sentinel will tell
    serial: int = 0  # the progress serial last seen, and when
    seen: float = 0.0

    @property
    def running(self) -> _Piece | None:
        return self.pieces[0] if self.pieces else None


def _receive(conn: Connection) -> tuple[str, Any] | None:
    """A worker's reply, or None when it died without one."""
    try:
        if conn.poll():
            reply: tuple[str, Any] = conn.recv()
            return reply
    except (EOFError, OSError):
        pass
    return None


DEPTH = 2  # pieces sent to a worker at once: the running one and the next


class Pool:
    """Up to ``jobs`` worker processes that ``plan`` files and ``work`` on their
    pages with ``options``; one page may take ``timeout`` seconds, and a worker
    may hold ``memory_limit`` bytes of data (None: no limit)."""

    def __init__(self, plan: Plan, work: Work | None, options: Any, describe: Describe, *,
                 jobs: int, timeout: float, memory_limit: int | None = None) -> None:
        self.plan, self.work, self.options, self.describe = plan, work, options, describe
        self.jobs, self.timeout, self.memory_limit = jobs, timeout, memory_limit
        self.context = start_context(plan.__module__)
        self.workers: list[_Worker] = []
        self.ready: list[tuple[int, int, _Piece]] = []  # heap by (file position, arrival)
        self.arrival = itertools.count()
        self.plan_only = False  # the current run only plans its files

    def push(self, piece: _Piece) -> None:
        heapq.heappush(self.ready, (piece.file.position, next(self.arrival), piece))

    def _start_worker(self) -> _Worker:
        parent, child = self.context.Pipe()
        progress = self.context.Array("q", [0, IDLE], lock=False)
        process = self.context.Process(
            target=_serve, daemon=True,
            args=(child, self.plan, self.work, self.options, self.describe, progress,
                  self.memory_limit))
        process.start()
        child.close()
        worker = _Worker(process, parent, progress)
        self.workers.append(worker)
        return worker

    def _retire(self, worker: _Worker, failure: MakeFailure | None) -> None:
        """Stops a worker. When it stopped on a piece (``failure`` says why),
        the page it was on fails and the rest of that piece goes back to the
        heap; the pieces queued behind it go back too."""
        page = int(worker.progress[1])
        if worker.process.is_alive():
            worker.process.kill()
        worker.process.join(5)
        worker.conn.close()
        self.workers.remove(worker)
        if worker.pieces and failure is not None and page != IDLE:
            self._fail_running(worker.pieces.popleft(), failure, page)
        for piece in worker.pieces:
            self.push(piece)

    def _fail_running(self, piece: _Piece, failure: MakeFailure, page: int) -> None:
        """Puts the failure of ``page`` where ``piece`` was in its file's output,
        between the pages before and after it, which run again."""
        file = piece.file
        path = file.path
        if piece.pages is None:  # its plan: the file fails
            piece.answer = Answer(b"", [(0, failure(path, None))])
            file.planned = True
            return
        if page not in piece.pages:  # before its first page: in opening the file
            piece.answer = Answer(b"", [(0, failure(path, index)) for index in piece.pages])
            return
        cut = piece.pages.index(page)
        before, after = piece.pages[:cut], piece.pages[cut + 1:]
        parts = [_Piece(file, pages) for pages in (before, after) if pages]
        failed = _Piece(file, [page], Answer(b"", [(0, failure(path, page))]))
        at = file.pieces.index(piece)
        file.pieces[at:at + 1] = ([parts[0]] if before else []) + [failed] + parts[1 if before else 0:]
        for part in parts:
            self.push(part)

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
            try:
                worker.conn.send((piece.file.path, piece.pages))
            except OSError:  # died while idle: its sentinel reports it
                worker.broken = True
                self.push(piece)
                continue
            if not worker.pieces:
                worker.seen = time.monotonic()
            worker.pieces.append(piece)

    def _deadline(self, worker: _Worker, now: float) -> float:
        """When the page the worker is on passes the time limit: a page counts
        from when the pool first saw the worker on it."""
        if not worker.pieces:
            return math.inf
        serial = int(worker.progress[0])
        if serial != worker.serial:
            worker.serial, worker.seen = serial, now
        return worker.seen + self.timeout

    def collect(self) -> None:
        """Waits until a worker answers, dies or passes a page's time limit."""
        for worker in [w for w in self.workers if w.broken]:
            self._retire(worker, death_failure(worker.process, self.memory_limit))
        if not any(worker.pieces for worker in self.workers):
            return
        now = time.monotonic()
        soonest = min(self._deadline(worker, now) for worker in self.workers)
        waiting = None if soonest == math.inf else max(0.0, soonest - now)
        answered = set(wait([w.conn for w in self.workers if w.pieces]
                            + [w.process.sentinel for w in self.workers], waiting))
        now = time.monotonic()
        for worker in list(self.workers):
            if worker.conn in answered or worker.process.sentinel in answered:
                reply = _receive(worker.conn)
                if reply is None:
                    self._retire(worker, death_failure(worker.process, self.memory_limit))
                else:
                    self._settle(worker, *reply)
            elif now >= self._deadline(worker, now):
                self._retire(worker, timeout_failure(self.timeout))

    def _settle(self, worker: _Worker, status: str, value: Any) -> None:
        piece = worker.pieces.popleft()
        worker.seen = time.monotonic()
        file = piece.file
        if status == "answer":
            piece.answer = value
            return
        if isinstance(value, Answer):  # a plan that answered for the whole file
            piece.answer = value
        else:
            piece.answer = Answer(b"", [] if status == "plan" else [(0, value)])
        if status == "plan" and self.plan_only and not isinstance(value, Answer):
            file.plan = value
        elif status == "plan" and not isinstance(value, Answer):
            at = file.pieces.index(piece) + 1
            parts = [_Piece(file, pages) for pages in value if pages]
            file.pieces[at:at] = parts
            for part in parts:
                self.push(part)
        file.planned = True

    def run(self, items: Iterable[Item], *, plan_only: bool = False) -> Iterator[Event]:
        """Plans ``items``, works on their pages and yields each file's output
        pieces, then its end, in input order; with ``plan_only``, each file's
        end with its plan (and a file that failed, its failure)."""
        self.plan_only = plan_only
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
                    file = _File(path, position, planned=pages is not None)
                    file.pieces.append(_Piece(file, pages))
                    window.append(file)
                    self.push(file.pieces[0])
                if not window:
                    return
                self.dispatch()
                self.collect()
                yield from _emit(window)
        finally:
            # Workers still on pieces of this run (a run left early) would
            # answer into the next one: stop them.
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
        while head.emitted < len(head.pieces) and head.pieces[head.emitted].answer is not None:
            piece = head.pieces[head.emitted]
            answer, piece.answer = piece.answer, Answer(b"", [])
            head.emitted += 1
            if answer is not None and (answer.output or answer.failures or answer.pages):
                yield Event(head.path, answer.output, answer.failures, False, None, answer.pages,
                            answer.hits)
        if not (head.planned and head.emitted == len(head.pieces)):
            return
        window.popleft()
        yield Event(head.path, b"", [], True, head.plan)


def run_in_order(items: Iterable[Item], plan: Plan, work: Work | None, options: Any,
                 describe: Describe,
                 *, jobs: int, timeout: float, memory_limit: int | None = None
                 ) -> Generator[Event, None, None]:
    """Runs ``plan`` and ``work`` over ``items`` on up to ``jobs`` worker processes
    and yields each file's output pieces, then its end, in input order."""
    pool = Pool(plan, work, options, describe, jobs=jobs, timeout=timeout,
                memory_limit=memory_limit)
    try:
        yield from pool.run(items)
    finally:
        pool.shutdown()
