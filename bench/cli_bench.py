"""The Python host's costs: `import textloom`, Page.get_text against the native
call on the same page, and the command line's --jobs 2 against --jobs 1.

Wall times of the command line alternate between the job counts round by
round, so both see the same machine load; medians are reported. The start-up
cost (interpreter, pypdfium2's import, the first worker) is measured on its
own, on a one-page document, since it bounds what more workers can gain on
short runs.

Run: .venv/bin/python bench/cli_bench.py [--rounds N]
"""

from __future__ import annotations

import argparse
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import pypdfium2 as pdfium

import textloom
from textloom import _native

CORPUS = Path(__file__).resolve().parents[2] / "shared" / "corpus"
BOOK = CORPUS / "latex-book-geotopo.pdf"


def fastest_ratio(first, second, rounds: int) -> float:
    """Fastest time of first() over fastest time of second(), the calls
    interleaved: on shared cores the fastest run is the one least disturbed."""
    first(), second()
    times: tuple[list[int], list[int]] = ([], [])
    for _ in range(rounds):
        for call, kept in ((first, times[0]), (second, times[1])):
            start = time.perf_counter_ns()
            call()
            kept.append(time.perf_counter_ns() - start)
    return min(times[0]) / min(times[1])


def import_time(rounds: int) -> None:
    """Cumulative import time of textloom from -X importtime, in a fresh interpreter each round."""
    times = []
    for _ in range(rounds):
        done = subprocess.run([sys.executable, "-X", "importtime", "-c", "import textloom"],
                              capture_output=True, text=True, check=True)
        line = [row for row in done.stderr.splitlines() if row.rstrip().endswith("| textloom")][0]
        times.append(int(line.split("|")[1]))
    print(f"import textloom: median {statistics.median(times) / 1000:.1f} ms "
          f"(min {min(times) / 1000:.1f}, max {max(times) / 1000:.1f}) over {rounds} interpreters")


def get_text_overhead(rounds: int) -> None:
    """Page.get_text / RsPage.get_text on the same page, per page of the book."""
    with textloom.open(BOOK) as doc, pdfium.PdfDocument(str(BOOK)) as pdf:
        address = textloom.document_address(pdf)
        for option in ("text", "words", "dict"):
            ratios = []
            for page in doc:
                native = _native.load_page(address, page.index)
                ratios.append(fastest_ratio(lambda: page.get_text(option, sort="xycut"),
                                            lambda: native.get_text(option, "xycut"), rounds))
            print(f"Page.get_text({option!r}) / native: median {statistics.median(ratios):.4f}, "
                  f"worst page {max(ratios):.4f} ({len(ratios)} pages)")


def cli_seconds(inputs: list[Path], jobs: int) -> float:
    command = [sys.executable, "-m", "textloom", "text", *map(str, inputs), "--jobs", str(jobs), "-q"]
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, check=False)
    return time.perf_counter() - start


def jobs_ratio(name: str, inputs: list[Path], rounds: int) -> None:
    times: dict[int, list[float]] = {1: [], 2: []}
    for _ in range(rounds):
        for jobs in (1, 2):
            times[jobs].append(cli_seconds(inputs, jobs))
    one, two = statistics.median(times[1]), statistics.median(times[2])
    print(f"{name}: --jobs 1 {one:.3f} s, --jobs 2 {two:.3f} s, speed-up {one / two:.2f}x")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    import_time(args.rounds * 3)
    get_text_overhead(args.rounds * 5)
    with tempfile.TemporaryDirectory() as folder:
        one_page = Path(folder) / "one-page.pdf"
        with pdfium.PdfDocument(str(CORPUS / "latex-minimal.pdf")) as pdf:
            pdf.save(one_page)
        jobs_ratio("start-up, one one-page file", [one_page], args.rounds)
    jobs_ratio(f"the {BOOK.name} book (117 pages)", [BOOK], args.rounds)
    jobs_ratio("all corpus files", sorted(CORPUS.glob("*.pdf")), args.rounds)
    jobs_ratio("the book 8 times over", [BOOK] * 8, max(3, args.rounds // 2))


if __name__ == "__main__":
    main()
