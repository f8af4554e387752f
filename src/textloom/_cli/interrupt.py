"""Ctrl-C and SIGTERM during a run: the run stops between records, never in one.

While a command runs, SIGINT and SIGTERM raise ``Interrupted`` at once, except
inside ``whole()``, where the record being written is finished first and the
signal then takes effect. So stdout never ends in half a JSON line, and a
part of the output folder in flight is written whole or not at all.
"""

from __future__ import annotations

import contextlib
import signal
import threading
from collections.abc import Iterator
from types import FrameType

_SIGNALS = (signal.SIGINT, signal.SIGTERM)


class Interrupted(KeyboardInterrupt):
    """The run was stopped by a signal; its exit status is 128 + the signal's number."""

    def __init__(self, signum: int) -> None:
        super().__init__(signal.Signals(signum).name)
        self.status = 128 + signum


class _Guard:
    def __init__(self) -> None:
        self.pending = 0  # the signal that arrived, 0 for none
        self.writing = 0  # depth of whole() sections

    def _handle(self, signum: int, frame: FrameType | None) -> None:
        # Kept even when raised at once: a signal that lands in a finalizer or
        # a callback has its exception swallowed, and the next section raises it.
        self.pending = signum
        if not self.writing:
            raise Interrupted(signum)

    @contextlib.contextmanager
    def installed(self) -> Iterator[None]:
        """The handlers for one command (the main thread only: others cannot set them)."""
        if threading.current_thread() is not threading.main_thread():
            yield
            return
        self.pending = self.writing = 0
        before = {signum: signal.signal(signum, self._handle) for signum in _SIGNALS}
        try:
            yield
        finally:
            for signum, handler in before.items():
                signal.signal(signum, handler)

    @contextlib.contextmanager
    def whole(self) -> Iterator[None]:
        """A section a signal does not cut: it takes effect when the section ends."""
        self.writing += 1
        try:
            yield
        finally:
            self.writing -= 1
        if self.pending and not self.writing:
            signum, self.pending = self.pending, 0
            raise Interrupted(signum)


guard = _Guard()
