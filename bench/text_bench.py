"""Per-page cost of the text methods against extraction and the PDFium floor.

For every page of each document: load_page (end to end, and its own phase
timings), each get_text schema and words_arrays on the loaded page (median of
--rounds calls), and get_text("words") end to end (load_page + the call). The
PDFium floor of a page is load_page_ns + load_text_ns + close_ns: what any
PDFium-based tool pays before it does anything with the characters.
Then RSS over 10,000 load_page calls and 10,000 get_text("dict") calls on one page.

Run: .venv/bin/python bench/text_bench.py [PDF ...]
"""

from __future__ import annotations

import argparse
import statistics
import time
from pathlib import Path

import pypdfium2 as pdfium

import textloom
from textloom import _native

# ../shared/corpus beside the repository (or beside the folder of worktrees).
CORPUS = next((p / "shared" / "corpus" for p in Path(__file__).resolve().parents
               if (p / "shared" / "corpus").is_dir()), Path("../shared/corpus"))
DEFAULT = [CORPUS / "latex-book-geotopo.pdf", CORPUS / "table-nics.pdf"]
SCHEMAS = ("text", "blocks", "words", "dict", "rawdict")


def best_of(call, rounds: int) -> int:
    """Median wall time of `call` in nanoseconds (after one warm-up call)."""
    call()
    times = []
    for _ in range(rounds):
        start = time.perf_counter_ns()
        call()
        times.append(time.perf_counter_ns() - start)
    return int(statistics.median(times))


def rss_kib() -> int:
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def bench_document(path: Path, rounds: int) -> None:
    pdf = pdfium.PdfDocument(str(path))
    addr = textloom.document_address(pdf)
    rows = []
    for index in range(len(pdf)):
        floors = []

        def load():
            loaded = _native.load_page(addr, index)
            t = loaded.timings
            floors.append(t["load_page_ns"] + t["load_text_ns"] + t["close_ns"])
            return loaded

        row = {"load_page": best_of(load, rounds), "floor": statistics.median(floors)}
        page = load()
        row["glyphs"] = page.n_glyphs
        for schema in SCHEMAS:
            row[schema] = best_of(lambda: page.get_text(schema), rounds)
        row["words_arrays"] = best_of(lambda: page.words_arrays(), rounds)
        row["words_e2e"] = best_of(lambda: _native.load_page(addr, index).get_text("words"), rounds)
        rows.append(row)
    pdf.close()

    def med(key):
        return statistics.median(r[key] for r in rows)

    print(f"\n{path.name}: {len(rows)} pages, median {med('glyphs'):.0f} glyphs per page")
    print(f"  {'median per page':28s} {'us':>9s}")
    for key in ("load_page", "floor", *SCHEMAS, "words_arrays", "words_e2e"):
        print(f"  {key:28s} {med(key) / 1000:9.1f}")
    ratio = [r["words"] / r["words_arrays"] for r in rows if r["words_arrays"]]
    print(f"  get_text('words') / words_arrays: median {statistics.median(ratio):.2f}x")
    for schema in ("text", "words"):
        share = [r[schema] / r["load_page"] for r in rows]
        print(f"  {schema!r} adds to load_page: median {100 * statistics.median(share):.1f}%, "
              f"worst {100 * max(share):.1f}%")
    floor = [r["words_e2e"] / r["floor"] for r in rows if r["floor"]]
    print(f"  words end to end / PDFium floor: median {statistics.median(floor):.2f}x, "
          f"worst {max(floor):.2f}x")


def bench_memory(path: Path, calls: int) -> None:
    pdf = pdfium.PdfDocument(str(path))
    addr = textloom.document_address(pdf)
    for _ in range(200):  # let allocator pools settle first
        _native.load_page(addr, 0).get_text("dict")
    before = rss_kib()
    for _ in range(calls):
        _native.load_page(addr, 0)
    after_load = rss_kib()
    page = _native.load_page(addr, 0)
    for _ in range(calls):
        page.get_text("dict")
    after_dict = rss_kib()
    pdf.close()
    print(f"\nRSS on {path.name} page 1: {before} KiB; after {calls} load_page "
          f"{after_load} KiB ({after_load - before:+d}); after {calls} get_text('dict') "
          f"{after_dict} KiB ({after_dict - after_load:+d})")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pdf", nargs="*", type=Path, default=DEFAULT)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--memory-calls", type=int, default=10_000)
    args = parser.parse_args()
    textloom.use_pdfium()
    for path in args.pdf:
        bench_document(path, args.rounds)
    bench_memory(args.pdf[0], args.memory_calls)


if __name__ == "__main__":
    main()
