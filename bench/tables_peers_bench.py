"""Table finding against the peers, end to end per page: textloom's
``find_tables`` (the page's glyphs and rules extracted, then its tables),
PyMuPDF's ``Page.find_tables`` and pdfplumber's ``Page.find_tables``, timed
page by page and interleaved, fastest of ``--rounds``.

Run in the peers' environment (see bench/peers_bench.py), with textloom built
into it:

    /work/venv-peers/bin/python bench/tables_peers_bench.py [PDF ...] [--rounds 3]

By default: the ICDAR 2013 EU documents of ../shared/tables and the corpus's
table documents.
"""

from __future__ import annotations

import argparse
import statistics
import time
from pathlib import Path

import pymupdf
import pdfplumber

import textloom

SHARED = Path(__file__).resolve().parents[1] / ".." / "shared"


def timed(call) -> float:
    began = time.perf_counter()
    call()
    return time.perf_counter() - began


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="*", type=Path)
    parser.add_argument("--rounds", type=int, default=3)
    options = parser.parse_args()
    files = options.files or (sorted((SHARED / "tables" / "icdar2013-eu").glob("*.pdf"))
                              + sorted((SHARED / "corpus").glob("table-*.pdf")))
    ours: list[float] = []
    mupdf: list[float] = []
    plumber: list[float] = []
    for path in files:
        with textloom.open(path) as doc, pymupdf.open(path) as peer, pdfplumber.open(path) as other:
            for index in range(len(doc)):
                best = [float("inf")] * 3
                for _ in range(options.rounds):
                    best[0] = min(best[0], timed(lambda: doc[index].find_tables()))
                    best[1] = min(best[1], timed(lambda: peer[index].find_tables()))
                    best[2] = min(best[2], timed(lambda: other.pages[index].find_tables()))
                    other.pages[index].flush_cache()
                ours.append(best[0])
                mupdf.append(best[1])
                plumber.append(best[2])
    median = [statistics.median(times) * 1e3 for times in (ours, mupdf, plumber)]
    print(f"{len(ours)} pages, median per page: textloom {median[0]:.2f} ms, PyMuPDF {median[1]:.2f} ms "
          f"({median[1] / median[0]:.1f}x), pdfplumber {median[2]:.2f} ms "
          f"({median[2] / median[0]:.1f}x)")


if __name__ == "__main__":
    main()
