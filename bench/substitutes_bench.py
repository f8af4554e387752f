"""What settling PDFium's substitute fonts before page loads costs (textloom._substitutes).

- One settling alone, the fonts unsettled before each (--settles times), CPU
  time of this thread; and the process's peak RSS after as many more
  settlings while a document whose substituted text was rendered stays open
  (PDFium keeps each settling's glyph until that document closes).
- Every corpus page, over --rounds rounds (the fastest kept): words of a new
  Page of an open Document ("text only": the fonts stay settled, so a flag
  test per load), and a render at scale 1 followed by the words of a new Page
  ("render, then words": one settling per page), each with settling as
  shipped and with settling replaced by nothing; totals over the corpus and
  the median of the per-page differences.

Run: nice -n 10 .venv/bin/python bench/substitutes_bench.py [--rounds 3]
"""

from __future__ import annotations

import argparse
import resource
import statistics
import time
from collections.abc import Callable
from pathlib import Path

import textloom
from textloom import _handle, _substitutes

CORPUS = next((p / "shared" / "corpus" for p in Path(__file__).resolve().parents
               if (p / "shared" / "corpus").is_dir()), Path("../shared/corpus"))
SUBSTITUTED = CORPUS / "malformed-1.pdf"  # its SimSun is drawn with the sans substitute


def cpu_us(call: Callable[[], object]) -> float:
    start = time.thread_time_ns()
    call()
    return (time.thread_time_ns() - start) / 1e3


def settle_once() -> None:
    _substitutes.unsettle()
    with textloom.pdfium_lock:
        _substitutes.settle()


def per_page(documents: list[textloom.Document], render: bool, rounds: int) -> list[float]:
    def read(document: textloom.Document, index: int) -> None:
        if render:
            document[index].render()
        document[index].get_text("words")

    return [min(cpu_us(lambda: read(document, index)) for _ in range(rounds))
            for document in documents for index in range(len(document))]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--settles", type=int, default=2000)
    args = parser.parse_args()
    documents = []
    for path in sorted(CORPUS.glob("*.pdf")):
        try:
            documents.append(textloom.open(path))
        except textloom.PdfError:
            continue
    times = sorted(cpu_us(settle_once) for _ in range(args.settles))
    print(f"one settling: median {statistics.median(times):.0f} us, "
          f"90th percentile {times[len(times) * 9 // 10]:.0f} us")
    holder = textloom.open(SUBSTITUTED)
    holder[0].render()
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    for _ in range(args.settles * 10):
        settle_once()
    grown = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
    print(f"peak RSS growth over {args.settles * 10} settlings with {SUBSTITUTED.name} rendered "
          f"and open: {grown} KiB ({grown * 1024 / (args.settles * 10):.0f} bytes each)")
    holder.close()
    pages = sum(len(document) for document in documents)
    shipped = _handle.settle
    for render in (False, True):
        with_settle = per_page(documents, render, args.rounds)
        _handle.settle = lambda: None  # type: ignore[assignment]
        try:
            without = per_page(documents, render, args.rounds)
        finally:
            _handle.settle = shipped  # type: ignore[assignment]
        name = "render, then words" if render else "text only"
        extra = [a - b for a, b in zip(with_settle, without)]
        print(f"{name}: {pages} pages, {sum(without) / 1e3:.1f} ms without settling, "
              f"{sum(with_settle) / 1e3:.1f} ms with ({sum(extra) / 1e3:+.1f} ms, "
              f"{100 * (sum(with_settle) / sum(without) - 1):+.1f}%); per page: median "
              f"{statistics.median(without):.0f} us without, median difference "
              f"{statistics.median(extra):+.0f} us")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
