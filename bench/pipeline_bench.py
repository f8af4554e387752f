"""bench_page over every page of a document: where the native pipeline's time goes.

For every page, the fastest of --rounds bench_page calls for each phase (the
phases are timed by the wall clock, which also counts time lost to other
processes on shared cores). Reports the share of layout + words in
extraction, (layout_ns + words_ns) / (load_text_ns + chars_ns), median and
worst page; and words end to end
(load_page_ns + load_text_ns + chars_ns + close_ns + layout_ns + words_ns)
against the PDFium floor (load_page_ns + load_text_ns + close_ns): what any
PDFium-based tool pays before it reads a character.

Run: .venv/bin/python bench/pipeline_bench.py [PDF] [--rounds N]
"""

from __future__ import annotations

import argparse
import statistics
from pathlib import Path

import pypdfium2 as pdfium
from text_bench import CORPUS  # bench/ is the script's folder

import textloom
from textloom import _native

PHASES = ("load_page_ns", "load_text_ns", "chars_ns", "close_ns", "layout_ns", "words_ns")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pdf", nargs="?", type=Path, default=CORPUS / "latex-book-geotopo.pdf")
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    textloom.use_pdfium()
    pdf = pdfium.PdfDocument(str(args.pdf))
    addr = textloom.document_address(pdf)
    rows = []
    for index in range(len(pdf)):
        runs = [_native.bench_page(addr, index) for _ in range(args.rounds + 1)][1:]
        # bench_page reads the wall clock; on shared cores the least disturbed
        # run of each phase is its cost
        row = {key: min(run[key] for run in runs) for key in PHASES}
        row["n_words"], row["n_glyphs"] = runs[0]["n_words"], runs[0]["n_glyphs"]
        rows.append(row)
    pdf.close()

    def med(key: str) -> float:
        return statistics.median(r[key] for r in rows)

    print(f"{args.pdf.name}: {len(rows)} pages, median {med('n_glyphs'):.0f} glyphs, "
          f"{med('n_words'):.0f} words per page")
    for key in PHASES:
        print(f"  {key:14s} median {med(key) / 1000:8.1f} us")
    text_pages = [r for r in rows if r["n_glyphs"]]
    share = [(r["layout_ns"] + r["words_ns"]) / (r["load_text_ns"] + r["chars_ns"])
             for r in text_pages]
    worst = max(range(len(share)), key=share.__getitem__)
    print(f"  (layout + words) / (load_text + chars), {len(text_pages)} pages with text: "
          f"median {100 * statistics.median(share):.1f}%, worst {100 * share[worst]:.1f}% "
          f"({text_pages[worst]['n_glyphs']} glyphs)")
    floor = [(sum(r[k] for k in PHASES)) / (r["load_page_ns"] + r["load_text_ns"] + r["close_ns"])
             for r in rows]
    print(f"  words end to end / PDFium floor: median {statistics.median(floor):.2f}x, "
          f"worst {max(floor):.2f}x")


if __name__ == "__main__":
    main()
