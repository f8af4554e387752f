"""The cost of ``Page.text_signals()`` against the page's extraction.

    python bench/signals_bench.py [FILES...] [--repeat 20]

Per page of the corpus (../shared/corpus, else the bundled sample): the
median time of ``_native.load_page`` and of ``RsPage.text_signals()`` on its
result, and the ratio of their sums.
"""

from __future__ import annotations

import argparse
import statistics
import time
from pathlib import Path

import textloom
from textloom import _native

CORPUS = Path(__file__).resolve().parents[1] / ".." / "shared" / "corpus"


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="*", type=Path)
    parser.add_argument("--repeat", type=int, default=20)
    options = parser.parse_args()
    files = options.files or sorted(CORPUS.glob("*.pdf")) or [textloom.sample_path()]
    load_total = signals_total = 0.0
    pages = 0
    for path in files:
        with textloom.open(path) as doc:
            address = textloom.document_address(doc._handle.pdf())
            for index in range(len(doc)):
                loads, signals = [], []
                for _ in range(options.repeat):
                    began = time.perf_counter()
                    page = _native.load_page(address, index)
                    loaded = time.perf_counter()
                    page.text_signals()
                    loads.append(loaded - began)
                    signals.append(time.perf_counter() - loaded)
                load_total += statistics.median(loads)
                signals_total += statistics.median(signals)
                pages += 1
    print(f"{pages} pages: extraction {load_total * 1e3:.2f} ms, text_signals "
          f"{signals_total * 1e3:.2f} ms ({signals_total / load_total * 100:.1f}% of extraction)")


if __name__ == "__main__":
    main()
