"""Cost per character of the dictionary results on very large pages.

Generates one page each of about 10k, 100k and 400k characters (lines of
Helvetica words in columns) with tools/pdfgen.py, then times get_text("dict"),
get_text("rawdict") and pdftext_blocks() (median CPU time of --rounds calls,
the result dropped outside the timing) and prints nanoseconds per character.
get_text("text") runs the same layout and builds one string, so "dict - text"
is what building the Python objects costs.

Run: .venv/bin/python bench/big_page_bench.py [--rounds N] [--no-gc]
"""

from __future__ import annotations

import argparse
import gc
import statistics
import sys
import time
from functools import partial
from pathlib import Path

import pypdfium2 as pdfium

import textloom
from textloom import _native

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools"))
import pdfgen

SIZES = (10_000, 100_000, 400_000)
LINE = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor "
        "incididunt ut labore et")  # 100 characters
CALLS = {
    "text": lambda page: page.get_text("text"),
    "dict": lambda page: page.get_text("dict"),
    "rawdict": lambda page: page.get_text("rawdict"),
    "pdftext_blocks": lambda page: page.pdftext_blocks(),
}


def big_page(n_chars: int) -> bytes:
    """A page holding n_chars characters in lines of 100, size 4, in columns."""
    writer = pdfgen.PdfWriter()
    page = writer.page(width=14_000, height=14_000)
    per_column = 2_700
    for i in range(n_chars // len(LINE)):
        column, row = divmod(i, per_column)
        page.text(20 + 240 * column, 13_980 - 5 * row, LINE, size=4)
    return writer.tobytes()


def median_ns(call, rounds: int) -> float:
    """Median CPU time of building the result; dropping it is not timed."""
    call()
    times = []
    for _ in range(rounds):
        start = time.thread_time_ns()
        result = call()
        times.append(time.thread_time_ns() - start)
        del result
    return statistics.median(times)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--no-gc", action="store_true",
                        help="switch the cyclic collector off for the whole run (the floor)")
    args = parser.parse_args()
    if args.no_gc:
        gc.disable()
    textloom.use_pdfium()
    print(f"Python {sys.version.split()[0]}, collector "
          f"{'enabled' if gc.isenabled() else 'disabled'}, thresholds {gc.get_threshold()}")
    print(f"{'chars':>8s} " + " ".join(f"{name:>15s}" for name in CALLS) + f" {'dict - text':>12s}"
          + "   (ns per char)")
    for n_chars in SIZES:
        pdf = pdfium.PdfDocument(big_page(n_chars))
        page = _native.load_page(textloom.document_address(pdf), 0)
        costs = {name: median_ns(partial(call, page), args.rounds) / page.n_glyphs
                 for name, call in CALLS.items()}
        print(f"{page.n_glyphs:8d} " + " ".join(f"{costs[name]:15.1f}" for name in CALLS)
              + f" {costs['dict'] - costs['text']:12.1f}")
        pdf.close()


if __name__ == "__main__":
    main()
