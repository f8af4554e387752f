"""textloom against peer libraries, page by page, and pdftext's API on whole documents.

Per page (every page of each document, in one run), the median over pages of
each call's CPU time, and its ratio to textloom's call of the same group:

- words: textloom ``Page.get_text("words")``, PyMuPDF ``get_text("words")``,
  pdfplumber ``extract_words()``;
- plain text: textloom ``Page.get_text()``, PyMuPDF ``get_text()``, pdftext
  ``plain_text_output``, pypdfium2 ``get_text_range()``;
- dict: textloom ``Page.get_text("dict")``, PyMuPDF ``get_text("dict")``,
  pdftext ``dictionary_output`` and ``textloom.compat.pdftext``'s, each with
  links and with ``disable_links=True``.

Each library opens the document once and every timed call includes that
library's page load, except pdftext and its compat twin: their functions take
a path, so each per-page call opens the file (the run prints what an opening
costs). Whole documents: pdftext's three calls against the compat module's,
each the median of --rounds runs. Times are CPU time of this process
(the cores are shared); calls are interleaved, each library warmed up first.

The peers live in their own environment, never in the project's .venv
(bench/requirements-peers.txt pins it; pdftext pins pypdfium2 5.10.1, and
pdfplumber 0.11.9 is the newest release that accepts it):
    python3.11 -m venv /work/venv-peers
    /work/venv-peers/bin/pip install -r bench/requirements-peers.txt
    /work/venv-peers/bin/pip install --no-build-isolation --no-deps \\
        --config-settings=build-dir=build/peers .
    /work/venv-peers/bin/python bench/peers_bench.py [PDF ...] [--rounds N] > bench/PEERS.md
The same environment runs the comparison with pdftext itself:
    /work/venv-peers/bin/python -m pytest bench/pdftext_peer_check.py
"""

from __future__ import annotations

import argparse
import platform
import statistics
import time
from collections.abc import Callable
from functools import partial
from importlib.metadata import version
from pathlib import Path
from typing import Any

from text_bench import CORPUS  # bench/ is the script's folder

DEFAULT = [CORPUS / "latex-book-geotopo.pdf", CORPUS / "table-nics.pdf"]

Call = Callable[[int], Any]


def cpu_seconds(call: Callable[[], Any]) -> float:
    start = time.process_time()
    call()
    return time.process_time() - start


def per_page(groups: dict[str, dict[str, Call]], pages: int, rounds: int) -> dict[str, list[float]]:
    """For every call, its median time per page over ``rounds`` interleaved rounds."""
    calls = {name: call for group in groups.values() for name, call in group.items()}
    for call in calls.values():
        call(0)  # warm-up: fonts, caches, lazy imports
    times: dict[str, list[float]] = {name: [] for name in calls}
    for index in range(pages):
        samples: dict[str, list[float]] = {name: [] for name in calls}
        for _ in range(rounds):
            for name, call in calls.items():
                samples[name].append(cpu_seconds(lambda: call(index)))
        for name in calls:
            times[name].append(statistics.median(samples[name]))
    return times


def page_groups(path: Path) -> tuple[dict[str, dict[str, Call]], Callable[[], None]]:
    """The timed calls of each group, the first of each being the reference, and
    what closes the documents."""
    import pdfplumber
    import pymupdf
    import pypdfium2 as pdfium
    from pdftext.extraction import dictionary_output, plain_text_output

    import textloom
    from textloom.compat import pdftext as compat

    name = str(path)
    ours = textloom.open(path)
    mupdf = pymupdf.open(name)
    plumber = pdfplumber.open(name)
    pdf = pdfium.PdfDocument(name)

    def plumber_words(index: int) -> Any:
        page = plumber.pages[index]
        words = page.extract_words()
        page.close()  # drops its cached objects, as a streaming user would
        return words

    def pdfium_text(index: int) -> str:
        page = pdf[index]
        textpage = page.get_textpage()
        text = textpage.get_text_range()
        textpage.close()
        page.close()
        return str(text)

    groups: dict[str, dict[str, Call]] = {
        "words": {
            "textloom get_text(\"words\")": lambda i: ours[i].get_text("words"),
            "PyMuPDF get_text(\"words\")": lambda i: mupdf[i].get_text("words"),
            "pdfplumber extract_words()": plumber_words,
        },
        "plain text": {
            "textloom get_text()": lambda i: ours[i].get_text(),
            "PyMuPDF get_text()": lambda i: mupdf[i].get_text(),
            "pdftext plain_text_output": lambda i: plain_text_output(name, page_range=[i]),
            "compat plain_text_output": lambda i: compat.plain_text_output(name, page_range=[i]),
            "pypdfium2 get_text_range()": pdfium_text,
        },
        "dict": {
            "textloom get_text(\"dict\")": lambda i: ours[i].get_text("dict"),
            "PyMuPDF get_text(\"dict\")": lambda i: mupdf[i].get_text("dict"),
            "pdftext dictionary_output": lambda i: dictionary_output(name, page_range=[i]),
            "compat dictionary_output": lambda i: compat.dictionary_output(name, page_range=[i]),
            "pdftext dictionary_output, no links": lambda i: dictionary_output(
                name, page_range=[i], disable_links=True),
            "compat dictionary_output, no links": lambda i: compat.dictionary_output(
                name, page_range=[i], disable_links=True),
        },
    }

    def close() -> None:
        ours.close()
        mupdf.close()
        plumber.close()
        pdf.close()

    return groups, close


def whole_document(path: Path, rounds: int) -> list[tuple[str, float, float]]:
    """pdftext's functions and the compat module's over the whole document:
    (call, pdftext's median seconds, the compat module's)."""
    from pdftext import extraction

    from textloom.compat import pdftext as compat

    name = str(path)
    calls: list[tuple[str, dict[str, Any]]] = [
        ("dictionary_output", {}),
        ("dictionary_output", {"disable_links": True}),
        ("plain_text_output", {}),
    ]
    rows = []
    for function, kwargs in calls:
        peer = partial(getattr(extraction, function), name, **kwargs)
        ours = partial(getattr(compat, function), name, **kwargs)
        peer()
        ours()
        peer_times, our_times = [], []
        for _ in range(rounds):
            peer_times.append(cpu_seconds(peer))
            our_times.append(cpu_seconds(ours))
        label = function + "".join(f"({k}={v})" for k, v in kwargs.items())
        rows.append((label, statistics.median(peer_times), statistics.median(our_times)))
    return rows


def opening_cost(path: Path) -> float:
    import pypdfium2 as pdfium

    return statistics.median(cpu_seconds(lambda: pdfium.PdfDocument(str(path)).close())
                             for _ in range(21))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pdf", nargs="*", type=Path, default=DEFAULT)
    parser.add_argument("--rounds", type=int, default=3,
                        help="timed calls per page and call (their median counts), and runs "
                             "per whole-document call")
    args = parser.parse_args()

    import textloom

    versions = (f"textloom {textloom.__version__}, PyMuPDF {version('pymupdf')}, pdfplumber "
                f"{version('pdfplumber')}, pdftext {version('pdftext')}, pypdfium2 "
                f"{version('pypdfium2')}; Python {platform.python_version()}")
    print(f"# textloom and its peers\n\nMade by `bench/peers_bench.py --rounds {args.rounds}` "
          f"({versions}). CPU time of the calling process, on cores shared with other work.\n")
    for path in args.pdf:
        groups, close = page_groups(path)
        with textloom.open(path) as document:
            pages = len(document)
        times = per_page(groups, pages, args.rounds)
        close()
        print(f"## {path.name}: {pages} page{'s' * (pages != 1)}\n\n"
              f"Median over the pages of each page's time (the median of {args.rounds} calls); "
              f"an opening of the file costs "
              f"{opening_cost(path) * 1e3:.2f} ms, inside every pdftext and compat call.\n")
        print("| group | call | ms per page | x the group's first |\n|---|---|---:|---:|")
        for group, calls in groups.items():
            reference = statistics.median(times[next(iter(calls))])
            for call in calls:
                median = statistics.median(times[call])
                print(f"| {group} | {call} | {median * 1e3:.3f} | {median / reference:.2f} |")
        print(f"\nWhole document, median of {args.rounds} runs:\n\n"
              "| call | pdftext s | textloom.compat.pdftext s | pdftext / compat |\n|---|---:|---:|---:|")
        for label, peer, ours in whole_document(path, args.rounds):
            print(f"| {label} | {peer:.3f} | {ours:.3f} | {peer / ours:.1f} |")
        print()


if __name__ == "__main__":
    main()
