"""get_text("words") end to end against peer libraries, page by page.

Every library opens the document once, then each page is timed with its own
page load included: textloom load_page + get_text("words"); PyMuPDF
page.get_text("words"); pdfplumber page.extract_words(); pdftext
dictionary_output for that page (it has no words call and takes a path, so
its time includes opening the file; links are disabled so it opens it once).

The peers live in their own environment, never in the project's:
    python3 -m venv .venv-peers
    .venv-peers/bin/pip install pdftext pdfplumber pymupdf scikit-build-core cmake ninja
    .venv-peers/bin/pip install --no-build-isolation --no-deps \
        --config-settings=build-dir=build/peers .
    .venv-peers/bin/python bench/peers_bench.py
"""

from __future__ import annotations

import argparse
import statistics
import time
from pathlib import Path

CORPUS = Path(__file__).resolve().parents[2] / "shared" / "corpus"
DEFAULT = [CORPUS / "latex-book-geotopo.pdf", CORPUS / "table-nics.pdf"]


def per_page_times(n_pages: int, call, pages: list[int]) -> list[float]:
    call(pages[0])  # warm-up: fonts, caches, lazy imports
    out = []
    for index in pages:
        start = time.perf_counter()
        call(index)
        out.append(time.perf_counter() - start)
    return out


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pdf", nargs="*", type=Path, default=DEFAULT)
    parser.add_argument("--max-pages", type=int, default=40,
                        help="pages per document for the slow peers (evenly spaced)")
    args = parser.parse_args()

    import pymupdf
    import pdfplumber
    import pypdfium2 as pdfium
    from pdftext.extraction import dictionary_output

    import textloom
    from textloom import _native

    textloom.use_pdfium()
    for path in args.pdf:
        pdf = pdfium.PdfDocument(str(path))
        n = len(pdf)
        step = max(1, n // args.max_pages)
        pages = list(range(0, n, step))
        addr = textloom.document_address(pdf)
        mupdf = pymupdf.open(str(path))
        plumber = pdfplumber.open(str(path))

        def plumber_words(i):
            page = plumber.pages[i]
            page.extract_words()
            page.close()  # drop its cached objects, as a streaming user would

        results = {
            "textloom": per_page_times(n, lambda i: _native.load_page(addr, i).get_text("words"), pages),
            "PyMuPDF": per_page_times(n, lambda i: mupdf[i].get_text("words"), pages),
            "pdftext": per_page_times(
                n, lambda i: dictionary_output(str(path), page_range=[i], disable_links=True), pages),
            "pdfplumber": per_page_times(n, plumber_words, pages),
        }
        ours = statistics.median(results["textloom"])
        print(f"\n{path.name}: {len(pages)} of {n} pages, median seconds per page")
        for name, times in results.items():
            med = statistics.median(times)
            print(f"  {name:10s} {med * 1e3:9.3f} ms   {med / ours:7.1f}x textloom")
        plumber.close()
        mupdf.close()
        pdf.close()


if __name__ == "__main__":
    main()
