"""What settling PDFium's substitute fonts before page loads costs (textloom._substitutes).

- One settling alone, the fonts unsettled before each (--settles times), CPU
  time of this thread; and the growth of the process's RSS over ten times as
  many settlings while a document whose substituted text was rendered stays open
  (PDFium keeps each settling's glyph until that document closes), and then
  with that document closed.
- Every corpus page, read once to warm PDFium's caches, then --rounds times
  with settling as shipped and as many times with settling replaced by
  nothing, alternating (the fastest of each kept): words of a new Page of an
  open Document ("text only": the fonts stay settled, so a flag
  test per load), and a render at scale 1 followed by the words of a new Page
  ("render, then words": one settling per page); totals over the corpus and
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


def per_page(documents: list[textloom.Document], render: bool,
             rounds: int) -> tuple[list[float], list[float]]:
    """Per page, the fastest of ``rounds`` reads with settling and without,
    alternating, after one read of each page that warms PDFium's caches."""
    shipped = _handle.settle

    def read(document: textloom.Document, index: int) -> None:
        if render:
            document[index].render()
        document[index].get_text("words")

    with_settle, without = [], []
    for document in documents:
        for index in range(len(document)):
            read(document, index)
            times: dict[bool, list[float]] = {True: [], False: []}
            for _ in range(rounds):
                for settling in (True, False):
                    _handle.settle = shipped if settling else (lambda: None)  # type: ignore[assignment]
                    try:
                        times[settling].append(cpu_us(lambda: read(document, index)))
                    finally:
                        _handle.settle = shipped  # type: ignore[assignment]
            with_settle.append(min(times[True]))
            without.append(min(times[False]))
    return with_settle, without


def rss_kib() -> int:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * resource.getpagesize() // 1024


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
    before = rss_kib()
    for _ in range(args.settles * 10):
        settle_once()
    grown = rss_kib() - before
    print(f"RSS growth over {args.settles * 10} settlings with {SUBSTITUTED.name} rendered "
          f"and open: {grown} KiB ({grown * 1024 / (args.settles * 10):.0f} bytes each)")
    holder.close()
    before = rss_kib()
    for _ in range(args.settles * 10):
        settle_once()
    print(f"RSS growth over as many settlings with no such document open: {rss_kib() - before} KiB")
    pages = sum(len(document) for document in documents)
    for render in (False, True):
        with_settle, without = per_page(documents, render, args.rounds)
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
