"""Search with boxes against the peers, per page: textloom's ``Page.search``
(glyphs extracted, laid out, matched), PyMuPDF's ``Page.search_for`` and
pdfplumber's ``Page.search``, for a plain word and for a pattern, timed page
by page and interleaved, each page's first search in each library (pdfplumber
keeps what it parsed of a page; timing again would time its cache); and how
many matches each finds (textloom counts whole words for the plain word; PyMuPDF counts any
case-insensitive substring; pdfplumber its own way).

Run in the peers' environment (see bench/peers_bench.py), with textloom built
into it:

    /work/venv-peers/bin/python bench/search_bench.py [PDF ...]
"""

from __future__ import annotations

import argparse
import statistics
import time
from pathlib import Path

import pdfplumber
import pymupdf

import textloom

CORPUS = Path(__file__).resolve().parents[1] / ".." / "shared" / "corpus"
WORD = "the"
PATTERN = r"[0-9]{4}"  # years and other four-digit numbers


def timed(call) -> tuple[float, int]:
    began = time.perf_counter()
    found = call()
    return time.perf_counter() - began, len(found)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="*", type=Path)
    options = parser.parse_args()
    files = options.files or sorted(CORPUS.glob("*.pdf"))
    for label, query, regex in (("word", WORD, False), ("pattern", PATTERN, True)):
        times: list[list[float]] = [[], [], []]
        counts = [0, 0, 0]
        for path in files:
            try:
                doc = textloom.open(path)
            except textloom.PdfError:
                continue
            with doc, pymupdf.open(path) as peer, pdfplumber.open(path) as other:
                for index in range(len(doc)):
                    calls = [lambda: doc[index].search(query, regex=regex, words=not regex),
                             (lambda: []) if regex else (lambda: peer[index].search_for(query)),
                             lambda: other.pages[index].search(query, regex=regex)]
                    for k, call in enumerate(calls):
                        seconds, found = timed(call)
                        times[k].append(seconds)
                        counts[k] += found
        median = [statistics.median(t) * 1e3 for t in times]
        mupdf = "n/a (no patterns)" if regex else f"{median[1]:.2f} ms, {counts[1]} found"
        print(f"{label} {query!r}, {len(times[0])} pages, median per page: textloom "
              f"{median[0]:.2f} ms, {counts[0]} found; PyMuPDF {mupdf}; pdfplumber "
              f"{median[2]:.2f} ms, {counts[2]} found")


if __name__ == "__main__":
    main()
