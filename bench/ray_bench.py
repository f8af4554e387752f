"""Scale-out costs: pages per second of one process, of ``textloom extract``
on the local engine and on Ray, Ray's overhead against the local engine with
its start-up apart, the RSS of the workers at the start and the end of long
runs, and a paper estimate of 10 million pages on 64 cores.

Two corpora: the 200 files of tools/pdfset.py (short generated PDFs, one of
600 pages, broken and encrypted ones; light pages) and ten copies of the
117-page pdfTeX book of ../shared/corpus (real pages).

One process runs the workers' own steps (plan, then the rows of each part)
in this interpreter, nothing written. The engines write Parquet. The local
engine runs as the command line does, in a subprocess; Ray runs in this
process on a Ray started once (``ray.init(num_cpus=2)``), so its worker
processes are warm after the first run, as on a cluster that has been up a
while; the first, cold run is reported apart. Two measures of each run:
pages per second from the summary line (first input to last row, Ray
already started), and CPU time per page of every process the run used (the
local subprocess and its workers, less its interpreter's start and
imports; this process and all its descendants for Ray: driver, raylet, GCS,
workers, PDFium children). The cores are shared
with other work, which makes wall time noisy; CPU time is not. Runs
alternate between the engines round by round; the best of each is kept.

Run: .venv/bin/python bench/ray_bench.py [--rounds N] [--copies N]
"""

from __future__ import annotations

import argparse
import contextlib
import io
import logging
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools"))
import pdfset  # noqa: E402

from textloom._batch.inputs import list_inputs  # noqa: E402
from textloom._batch.rows_work import plan_whole, rows_piece  # noqa: E402
from textloom._cli import main  # noqa: E402
from textloom._options import ReadOptions  # noqa: E402

RATE = re.compile(r"([\d.]+) pages/s")
BOOK = Path(__file__).resolve().parents[2] / "shared" / "corpus" / "latex-book-geotopo.pdf"
TICK = os.sysconf("SC_CLK_TCK")


def children_cpu() -> float:
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def one_process(folder: Path, pages_per_task: int = 64) -> tuple[int, float, float]:
    """Pages, wall seconds and CPU seconds of the workers' steps run here, one after another."""
    options = ReadOptions()
    began, cpu = time.perf_counter(), time.process_time()
    pages = 0
    for path in list_inputs(folder):
        try:
            (chosen,) = plan_whole(path, options)
        except Exception:  # a file that fails to open is one error row
            continue
        for start in range(0, len(chosen), pages_per_task):
            rows_piece(path, options, chosen[start:start + pages_per_task])
        pages += len(chosen)
    return pages, time.perf_counter() - began, time.process_time() - cpu


def descendants(pid: int) -> list[int]:
    found, queue = [], [pid]
    while queue:
        parent = queue.pop()
        try:
            children = Path(f"/proc/{parent}/task/{parent}/children").read_text().split()
        except OSError:
            continue
        found += map(int, children)
        queue += map(int, children)
    return found


def process_cpu(pid: int) -> float:
    try:
        fields = Path(f"/proc/{pid}/stat").read_text().rpartition(")")[2].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / TICK


def tree_cpu() -> dict[int, float]:
    """CPU seconds of this process and every process below it (Ray's among them)."""
    return {pid: process_cpu(pid) for pid in [os.getpid(), *descendants(os.getpid())]}


def local_run(folder: Path, out: Path, pages_per_task: int) -> tuple[float, float]:
    """Pages per second and CPU seconds of a local-engine run (with the interpreter's start)."""
    cpu = children_cpu()
    done = subprocess.run([sys.executable, "-m", "textloom", "extract", str(folder), "-o", str(out),
                           "--overwrite", "--jobs", "2", "--pages-per-task", str(pages_per_task)],
                          capture_output=True, text=True, timeout=600)
    return float(RATE.findall(done.stderr)[-1]), children_cpu() - cpu


def ray_run(folder: Path, out: Path, pages_per_task: int) -> tuple[float, float]:
    """Pages per second and CPU seconds of a Ray-engine run, in this process."""
    before = tree_cpu()
    captured = io.StringIO()
    with contextlib.redirect_stderr(captured):
        main(["extract", str(folder), "-o", str(out), "--overwrite", "--engine", "ray",
              "--pages-per-task", str(pages_per_task)])
    after = tree_cpu()
    cpu = sum(seconds - before.get(pid, 0.0) for pid, seconds in after.items())
    return float(RATE.findall(captured.getvalue())[-1]), cpu


def compare(label: str, folder: Path, work: Path, pages: int, pages_per_task: int,
            rounds: int) -> tuple[float, float]:
    """Prints both engines' figures; returns Ray's overhead by wall time and by CPU time.
    The CPU of a local run counts without its interpreter's start and imports
    (those of a run over one one-page file), which a Ray run in this process
    does not pay."""
    (work / "one").mkdir(exist_ok=True)
    pdfset.write_pages(work / "one" / "one.pdf", 1, 1, "one")
    start = min(local_run(work / "one", work / "local-one", pages_per_task)[1] for _ in range(rounds))
    local, ray = [], []
    for _ in range(rounds):
        rate, cpu = local_run(folder, work / "local", pages_per_task)
        local.append((rate, cpu - start))
        ray.append(ray_run(folder, work / "ray", pages_per_task))
    rate = (max(r for r, _ in local), max(r for r, _ in ray))
    cpu = (min(c for _, c in local) / pages * 1000, min(c for _, c in ray) / pages * 1000)
    overhead = (rate[0] / rate[1] - 1, cpu[1] / cpu[0] - 1)
    print(f"{label}, {pages_per_task} pages a task: local engine {rate[0]:.0f} pages/s, "
          f"{cpu[0]:.2f} ms CPU a page; Ray {rate[1]:.0f} pages/s, {cpu[1]:.2f} ms CPU a page; "
          f"Ray's overhead {overhead[0]:+.0%} in time, {overhead[1]:+.0%} in CPU "
          f"(runs, pages/s: local {', '.join(f'{r:.0f}' for r, _ in local)}; "
          f"Ray {', '.join(f'{r:.0f}' for r, _ in ray)})")
    return overhead


def rss_mib(pid: int) -> float:
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    except OSError:
        pass
    return 0.0


def ray_rss() -> str:
    """RSS of the Ray workers that ran tasks (those with children: the fork
    server, its resource tracker and the PDFium child of the worker pool)."""
    parts = []
    for pid in descendants(os.getpid()):
        try:
            name = Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")[0].decode(errors="replace")
        except OSError:
            continue
        children = descendants(pid)
        if name.startswith("ray::") and children:
            sizes = " + ".join(f"{rss_mib(child):.0f}" for child in children)
            parts.append(f"{name} {rss_mib(pid):.0f} MiB, children {sizes} MiB")
    return "; ".join(parts)


def local_rss(folder: Path, out: Path) -> tuple[dict[int, float], dict[int, float], float]:
    """RSS of the local engine's workers when first and last seen during a run."""
    first: dict[int, float] = {}
    last: dict[int, float] = {}
    began = time.perf_counter()
    with subprocess.Popen([sys.executable, "-m", "textloom", "extract", str(folder), "-o", str(out),
                           "--overwrite", "--jobs", "2"], stderr=subprocess.DEVNULL) as run:
        while run.poll() is None:
            for child in descendants(run.pid):
                size = rss_mib(child)
                if size:
                    first.setdefault(child, size)
                    last[child] = size
            time.sleep(0.1)
    return first, last, time.perf_counter() - began


def main_bench() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--copies", type=int, default=5, help="copies of the corpus for the RSS runs")
    args = parser.parse_args()

    import ray

    work = Path(tempfile.mkdtemp(prefix="ray_bench-"))
    try:
        made = pdfset.make_pdf_set(work / "corpus")
        pages = sum(made.pages.values())
        for copy in range(10):
            (work / "books").mkdir(exist_ok=True)
            shutil.copy(BOOK, work / "books" / f"book-{copy}.pdf")
        print(f"generated: 200 files, {pages} readable pages ({len(made.broken)} broken, "
              f"{len(made.encrypted)} encrypted files); books: 10 x {BOOK.name}; "
              f"{os.cpu_count()} cores, load {os.getloadavg()[0]:.1f}")

        per_page = {}
        for label, folder in (("generated", made.folder), ("books", work / "books")):
            counted, wall, cpu = min((one_process(folder) for _ in range(args.rounds)),
                                     key=lambda run: run[1])
            per_page[label] = (counted, cpu / counted)
            print(f"{label}, one process: {counted / wall:.0f} pages/s, "
                  f"{cpu / counted * 1000:.2f} ms CPU a page")

        began = time.perf_counter()
        ray.init(address="local", num_cpus=2, include_dashboard=False, log_to_driver=False,
                 logging_level=logging.WARNING)
        startup = time.perf_counter() - began
        cold, _ = ray_run(made.folder, work / "ray", 64)
        print(f"ray.init: {startup:.1f} s; first Ray run, workers cold: {cold:.0f} pages/s")
        rss_start = ray_rss()

        for copy in range(args.copies):
            shutil.copytree(made.folder, work / "many" / f"copy-{copy}")
        compare("generated", made.folder, work, pages, 64, args.rounds)
        many = f"generated x {args.copies}"
        overheads = {"generated": compare(many, work / "many", work, args.copies * pages, 64, args.rounds)}
        compare(many, work / "many", work, args.copies * pages, 256, args.rounds)
        overheads["books"] = compare("books", work / "books", work, per_page["books"][0], 64, args.rounds)
        runs = 1 + args.rounds * (1 + 2 * args.copies)
        print(f"Ray workers' RSS after the first run: {rss_start}")
        print(f"... and after {runs * pages} more generated pages and "
              f"{args.rounds * per_page['books'][0]} book pages: {ray_rss()}")
        first, last, seconds = local_rss(work / "many", work / "local-many")
        print(f"local workers' RSS over one run of {args.copies * pages} pages ({seconds:.0f} s), "
              "first and last seen: " + "; ".join(f"{first[pid]:.0f} -> {last[pid]:.0f} MiB"
                                                  for pid in sorted(first)))

        cores, corpus = 64, 10_000_000
        for label, (_, cost) in per_page.items():
            overhead = overheads[label][1]
            rate = cores / cost / (1 + overhead)
            print(f"paper estimate, {label} pages: {corpus:,} pages at {cost * 1000:.2f} ms CPU a page "
                  f"on {cores} cores, with Ray's CPU overhead as measured here ({overhead:+.0%}): "
                  f"{rate:.0f} pages/s, {corpus / rate / 60:.0f} minutes, plus ray.init "
                  f"({startup:.0f} s here) and the workers' first tasks")
        ray.shutdown()
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main_bench()
