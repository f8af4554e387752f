"""Interrupted and killed runs, measured: Ctrl-C at random moments of
``textloom text --jsonl`` (partial lines, exit statuses), and ``kill -9`` of
``textloom extract`` at several moments and Ctrl-C of it at random moments,
each followed by a rerun (rows kept by each killed run, then all rows,
duplicates).

    python bench/interruptions.py [--copies 48] [--trials 20] [--kills 2,4,6,8]

The inputs are the corpus (../shared/corpus) copied ``--copies`` times, or the
bundled sample when the corpus is absent.
"""

from __future__ import annotations

import argparse
import json
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import pyarrow.parquet as pq

import textloom

CORPUS = Path(__file__).resolve().parents[1] / ".." / "shared" / "corpus"


def inputs(folder: Path, copies: int) -> int:
    sources = sorted(CORPUS.glob("*.pdf")) or [textloom.sample_path()]
    for copy in range(copies):
        for source in sources:
            shutil.copy(source, folder / f"{copy:03d}-{source.name}")
    return copies * len(sources)


def command(*args: str | Path) -> list[str]:
    return [sys.executable, "-m", "textloom", *map(str, args)]


def ctrl_c_trials(folder: Path, trials: int, rng: random.Random) -> None:
    partial = statuses = 0
    for _ in range(trials):
        with subprocess.Popen(command("text", folder, "--jsonl", "--jobs", "2"),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL) as run:
            time.sleep(rng.uniform(0.5, 4.0))
            run.send_signal(signal.SIGINT)
            out, _ = run.communicate()
        statuses += run.returncode == 130
        lines = out.splitlines(keepends=True)
        for line in lines:
            try:
                json.loads(line)
            except ValueError:
                partial += 1
        partial += bool(lines) and not lines[-1].endswith(b"\n")
    print(f"Ctrl-C: {trials} trials, {partial} partial lines, {statuses} exited 130")


def rows(out: Path) -> list[tuple[str, int | None]]:
    if not any(out.glob("part-*.parquet")):
        return []
    table = pq.read_table(out, columns=["path", "page"])
    return list(zip(table["path"].to_pylist(), table["page"].to_pylist()))


def kill_trials(folder: Path, kills: list[float], work: Path) -> None:
    began = time.monotonic()
    subprocess.run(command("extract", folder, "-o", work / "whole", "--quiet"), check=False)
    seconds = time.monotonic() - began
    whole = len(rows(work / "whole"))
    print(f"extract, uninterrupted: {whole} rows in {seconds:.1f} s")
    for moment in kills:
        out = work / f"killed-{moment:g}"
        with subprocess.Popen(command("extract", folder, "-o", out, "--quiet")) as run:
            time.sleep(moment)
            run.send_signal(signal.SIGKILL)
        kept = len(rows(out))
        subprocess.run(command("extract", folder, "-o", out, "--quiet"), check=False)
        final = rows(out)
        print(f"kill -9 at {moment:g} s: kept {kept} rows (about {whole * moment / seconds:.0f} "
              f"done by then); rerun: {len(final)} rows of {whole}, "
              f"{len(final) - len(set(final))} duplicates")


def extract_ctrl_c_trials(folder: Path, trials: int, rng: random.Random, work: Path) -> None:
    """Ctrl-C of extract at a random moment, then the same command again, each in a fresh folder."""
    duplicates = short = 0
    expected = len(rows(work / "whole"))
    for trial in range(trials):
        out = work / f"stopped-{trial}"
        with subprocess.Popen(command("extract", folder, "-o", out, "--rows-per-file", "30",
                                      "--quiet")) as run:
            time.sleep(rng.uniform(0.5, 5.0))
            run.send_signal(signal.SIGINT)
        subprocess.run(command("extract", folder, "-o", out, "--quiet"), check=False)
        final = rows(out)
        duplicates += len(final) - len(set(final))
        short += len(set(final)) != expected
    print(f"extract Ctrl-C then rerun: {trials} trials, {duplicates} duplicate rows, "
          f"{short} folders not complete")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--copies", type=int, default=48)
    parser.add_argument("--trials", type=int, default=20)
    parser.add_argument("--kills", default="2,4,6,8")
    options = parser.parse_args()
    rng = random.Random(7)
    with tempfile.TemporaryDirectory() as work:
        folder = Path(work) / "in"
        folder.mkdir()
        print(f"{inputs(folder, options.copies)} input files")
        ctrl_c_trials(folder, options.trials, rng)
        kill_trials(folder, [float(moment) for moment in options.kills.split(",")], Path(work))
        extract_ctrl_c_trials(folder, options.trials, rng, Path(work))


if __name__ == "__main__":
    main()
