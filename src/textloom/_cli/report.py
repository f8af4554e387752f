"""Everything the command line writes to stderr: a line per failure, the
summary line at the end of a run, notes, and the progress bar (tqdm, on a
terminal only). Data goes to stdout or the output; nothing else prints.
"""

from __future__ import annotations

import sys
import time
from typing import Any

from textloom._batch.failures import Failure


def line(text: str) -> None:
    """One line on stderr, prefixed with the program's name."""
    print(f"textloom: {text}", file=sys.stderr, flush=True)


def note(text: str) -> None:
    """A line on stderr about what a command wrote (not an error: no prefix)."""
    print(text, file=sys.stderr, flush=True)


class Reporter:
    """A run's progress bar, its failure lines and its summary."""

    def __init__(self, total: int, *, quiet: bool) -> None:
        self.quiet = quiet
        self.began = time.monotonic()
        self.files = self.pages = self.failed = 0
        self.bar: Any = None
        if not quiet and sys.stderr.isatty():
            try:
                from tqdm import tqdm
            except ImportError:  # installed without its dependencies: no bar
                return
            tqdm.monitor_interval = 0  # no monitor thread: workers are forked later
            self.bar = tqdm(total=total, unit="file", file=sys.stderr, leave=False)

    def _write(self, text: str) -> None:
        if self.bar is not None:
            self.bar.write(f"textloom: {text}", file=sys.stderr)
        else:
            line(text)

    def failure(self, failure: Failure) -> None:
        """A failed page or file: its line (file, then the message, which names the page)."""
        self.failed += 1
        self._write(f"{failure.path}: {failure.message}")

    def file_done(self, pages: int) -> None:
        self.files += 1
        self.pages += pages
        if self.bar is not None:
            self.bar.update()

    def close(self, extra: str = "", *, summary: bool = True) -> None:
        """Ends the bar and writes the summary (files, pages read, failures, time)
        unless ``summary`` is false: a run that did not end is not summed up."""
        if self.bar is not None:
            self.bar.close()
        if self.quiet or not summary:
            return
        seconds = time.monotonic() - self.began
        rate = f", {self.pages / seconds:.1f} pages/s" if seconds > 0 and self.pages else ""
        line(f"{self.files} files, {self.pages} pages, {self.failed} failed, "
             f"{seconds:.2f} s{rate}{extra}")
