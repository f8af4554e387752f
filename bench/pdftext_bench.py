"""pdftext_blocks next to get_text("dict") on the same pages.

Per page the median of --rounds calls of each (interleaved, one run), then the
median over the document's pages of both and of their ratio. Defaults to the
book and table-nics.pdf.

Run: .venv/bin/python bench/pdftext_bench.py [PDF ...] [--rounds N]
"""

from __future__ import annotations

import argparse
import statistics
import time
from pathlib import Path

import pypdfium2 as pdfium
from text_bench import CORPUS  # bench/ is the script's folder

import textloom
from textloom import _native

DEFAULT = [CORPUS / "latex-book-geotopo.pdf", CORPUS / "table-nics.pdf"]
CALLS = {
    "dict": lambda page: page.get_text("dict"),
    "pdftext_blocks": lambda page: page.pdftext_blocks(),
    "pdftext_blocks(keep_chars)": lambda page: page.pdftext_blocks(keep_chars=True),
    "rawdict": lambda page: page.get_text("rawdict"),
}


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pdf", nargs="*", type=Path, default=DEFAULT)
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    textloom.use_pdfium()
    for path in args.pdf:
        pdf = pdfium.PdfDocument(str(path))
        addr = textloom.document_address(pdf)
        per_page = {name: [] for name in CALLS}
        glyphs = []
        for index in range(len(pdf)):
            page = _native.load_page(addr, index)
            glyphs.append(page.n_glyphs)
            times = {name: [] for name in CALLS}
            for call in CALLS.values():
                call(page)
            for _ in range(args.rounds):
                for name, call in CALLS.items():
                    start = time.thread_time_ns()
                    call(page)
                    times[name].append(time.thread_time_ns() - start)
            for name in CALLS:
                per_page[name].append(statistics.median(times[name]))
        pdf.close()
        print(f"{path.name}: {len(glyphs)} pages, median {statistics.median(glyphs):.0f} glyphs")
        for name in CALLS:
            ratio = statistics.median(a / b for a, b in zip(per_page[name], per_page["dict"]))
            print(f"  {name:28s} median per page {statistics.median(per_page[name]) / 1000:9.1f} us"
                  f"   / dict: median {ratio:.2f}x")


if __name__ == "__main__":
    main()
