"""to_markdown beside get_text("dict") on the same pages, and the best-known peer.

Over one document (default: the 117-page book), opened once:
- loaded pages: each page's glyphs extracted first, then Page.to_markdown()
  and Page.get_text("dict", sort="reading") timed in turn, --rounds times
  each; per page the fastest run of each, then the median over pages and
  the median of the per-page ratios;
- end to end: a fresh Page per call, so each call extracts the page again
  (to_markdown's links come with the glyphs), after one pass that warms
  PDFium's font caches for both;
- Document.to_markdown over all pages in one call (two layouts a page: the
  survey for body size and running headers, then the writing), per page;
- in an environment where pymupdf4llm is installed, pymupdf4llm.to_markdown
  on the same pages of its own open document, in its light mode
  (use_layout(False)) and, with --peer-layout, its model-based mode: one run
  per page (a third of a second or more each), and one run over the whole
  document beside Document.to_markdown.
Times are CPU time of the calling thread, as the cores are shared.

Run: .venv/bin/python bench/markdown_bench.py [PDF]; for the peer, in the
benchmark environment (see bench/peers_bench.py), with textloom installed there:
    /work/venv-peers/bin/pip install --no-build-isolation --no-deps \\
        --config-settings=build-dir=build/peers .
    /work/venv-peers/bin/python bench/markdown_bench.py
"""

from __future__ import annotations

import argparse
import statistics
import time
from collections.abc import Callable
from pathlib import Path
from typing import Any

import textloom

CORPUS = next((p / "shared" / "corpus" for p in Path(__file__).resolve().parents
               if (p / "shared" / "corpus").is_dir()), Path("../shared/corpus"))
DEFAULT = CORPUS / "latex-book-geotopo.pdf"


def cpu_ms(call: Callable[[], Any], clock: Callable[[], int] = time.thread_time_ns) -> float:
    start = clock()
    call()
    return (clock() - start) / 1e6


def fastest_pairs(calls: dict[str, Callable[[int], Any]], pages: range,
                  rounds: int) -> dict[str, list[float]]:
    """Per page, the fastest of `rounds` runs of each call, the calls taking turns."""
    best: dict[str, list[float]] = {name: [] for name in calls}
    for index in pages:
        runs: dict[str, list[float]] = {name: [] for name in calls}
        for _ in range(rounds):
            for name, call in calls.items():
                runs[name].append(cpu_ms(lambda: call(index)))
        for name in calls:
            best[name].append(min(runs[name]))
    return best


def report(title: str, times: dict[str, list[float]], base: str = "dict",
           clock: str = "CPU time of the thread") -> None:
    print(f"\n{title}: median per page, ms ({clock})")
    for name, values in times.items():
        ratio = statistics.median(v / b for v, b in zip(values, times[base])) if name != base else 1.0
        print(f"  {name:28s} {statistics.median(values):9.3f}   "
              f"{ratio:6.2f}x {base} (median of per-page ratios)")


def bench_textloom(path: Path, rounds: int) -> None:
    with textloom.open(path) as doc:
        n = len(doc)
        pages = range(n)
        loaded = [doc[i] for i in pages]
        for page in loaded:
            page.get_text("text")  # extracts the glyphs (and links) once
        report(f"{path.name}, {n} pages loaded", fastest_pairs({
            "dict": lambda i: loaded[i].get_text("dict", sort="reading"),
            "to_markdown": lambda i: loaded[i].to_markdown(),
        }, pages, rounds))

        for i in pages:  # PDFium's per-document caches, warm for both
            doc[i].get_text("dict", sort="reading")
        report(f"{path.name}, end to end (a fresh page per call)", fastest_pairs({
            "dict": lambda i: doc[i].get_text("dict", sort="reading"),
            "to_markdown": lambda i: doc[i].to_markdown(),
        }, pages, rounds))

        whole = min(cpu_ms(lambda: doc.to_markdown()) for _ in range(rounds))
        print(f"\nDocument.to_markdown over {n} pages: {whole:.1f} ms, {whole / n:.3f} ms a page "
              "(end to end: extraction, survey, writing)")


def bench_peer(path: Path, layout: bool) -> None:
    try:
        import pymupdf
        import pymupdf4llm
    except ImportError:
        print("\npymupdf4llm is not installed here: run this in the benchmark environment")
        return
    with textloom.open(path) as doc:
        loaded = [doc[i] for i in range(len(doc))]
        for page in loaded:
            page.get_text("text")
        modes = [("light", False)] + ([("layout", True)] if layout else [])
        mupdf = pymupdf.open(str(path))
        # CPU time of the process: the peer's model may run on threads of its own.
        clock = time.process_time_ns
        ours = [cpu_ms(lambda: doc[i].to_markdown(), clock) for i in range(len(doc))]
        times: dict[str, list[float]] = {"textloom end to end": ours}
        n = len(doc)
        wholes = {"textloom Document.to_markdown": cpu_ms(lambda: doc.to_markdown(), clock) / n}
        for mode, flag in modes:
            pymupdf4llm.use_layout(flag)
            pymupdf4llm.to_markdown(mupdf, pages=[0])  # warm-up: imports, fonts
            times[f"pymupdf4llm {mode}"] = [
                cpu_ms(lambda: pymupdf4llm.to_markdown(mupdf, pages=[i]), clock) for i in range(n)]
            wholes[f"pymupdf4llm {mode}, whole document"] = cpu_ms(
                lambda: pymupdf4llm.to_markdown(mupdf), clock) / n
        mupdf.close()
        report(f"{path.name}: Markdown against the peer, one run per page", times,
               base="textloom end to end", clock="CPU time of the process")
        print(f"\n{path.name}: one call over all {n} pages, ms a page (CPU time of the process)")
        ours_whole = wholes["textloom Document.to_markdown"]
        for name, value in wholes.items():
            print(f"  {name:36s} {value:9.3f}   {value / ours_whole:7.1f}x textloom")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pdf", nargs="?", type=Path, default=DEFAULT)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--peer-layout", action="store_true",
                        help="also time pymupdf4llm's model-based layout mode")
    args = parser.parse_args()
    bench_textloom(args.pdf, args.rounds)
    bench_peer(args.pdf, args.peer_layout)


if __name__ == "__main__":
    main()
