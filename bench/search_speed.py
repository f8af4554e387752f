"""A page's first search against its get_text("text"), on pages whose glyphs
are loaded: both lay the page out, search then folds and matches where
get_text writes the text. Per page, interleaved (each first on every other
repeat), the best of some repeats; the median page's times and the ratios.

    .venv/bin/python bench/search_speed.py [PDF] [--query the] [--repeats 15]
"""

from __future__ import annotations

import argparse
import statistics
import time
from pathlib import Path

import textloom

BOOK = Path(__file__).resolve().parents[1] / ".." / "shared" / "corpus" / "latex-book-geotopo.pdf"


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pdf", nargs="?", type=Path, default=BOOK)
    parser.add_argument("--query", default="the")
    parser.add_argument("--repeats", type=int, default=15)
    options = parser.parse_args()
    with textloom.open(options.pdf) as doc:
        pages = list(doc)
        for page in pages:
            page.get_text()  # glyphs loaded: what is timed is the call alone
        text_times, search_times = [], []
        for page in pages:
            best_text = best_search = float("inf")
            for repeat in range(options.repeats):
                page._maps.clear()  # a first search: the page's text map made anew
                # Each call first on every other repeat: the call made first,
                # in the memory the old map freed, runs 1-3% faster here.
                calls = [page.get_text, lambda: page.search(options.query, words=True)]
                if repeat % 2:
                    calls.reverse()
                times = []
                for call in calls:
                    began = time.perf_counter()
                    call()
                    times.append(time.perf_counter() - began)
                text_time, search_time = times if repeat % 2 == 0 else times[::-1]
                best_text, best_search = min(best_text, text_time), min(best_search, search_time)
            text_times.append(best_text)
            search_times.append(best_search)
    ratios = sorted(s / t for s, t in zip(search_times, text_times))
    print(f"{options.pdf.name}, {len(pages)} pages, search {options.query!r} (whole words): "
          f"median page get_text {statistics.median(text_times) * 1e3:.4f} ms, first search "
          f"{statistics.median(search_times) * 1e3:.4f} ms; search/get_text median "
          f"{statistics.median(ratios):.3f}, of the sums {sum(search_times) / sum(text_times):.3f}, "
          f"90th percentile {ratios[int(0.9 * len(ratios))]:.3f}")


if __name__ == "__main__":
    main()
