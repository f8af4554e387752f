"""Runs stopped by a signal, killed between the steps of a commit, starved of
disk, or given odd file names: whole records, each page committed once, an
earlier output kept, and every input accounted for."""

from __future__ import annotations

import json
import os
import random
import resource
import signal
import subprocess
import sys
import time
from pathlib import Path

import pyarrow.parquet as pq
import pytest

import textloom
from textloom._batch import outdir
from textloom._batch.names import original_name
from textloom._cli import main

import pdfset
from conftest import cli

SAMPLE = textloom.sample_path()


@pytest.fixture(scope="module")
def many(tmp_path_factory) -> Path:
    """120 three-page files, a run of a second or two on two workers, after a
    long one whose pieces are each bigger than a pipe takes at once."""
    folder = tmp_path_factory.mktemp("many")
    pdfset.write_pages(folder / "a-long.pdf", 60, 50, "long")
    data = SAMPLE.read_bytes()
    for number in range(120):
        (folder / f"doc-{number:03d}.pdf").write_bytes(data)
    return folder


def _started(*args: str | Path, **kwargs) -> subprocess.Popen[bytes]:
    return subprocess.Popen([sys.executable, "-m", "textloom", *map(str, args)],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kwargs)


@pytest.mark.parametrize("signum, status", [(signal.SIGINT, 130), (signal.SIGTERM, 143)])
def test_a_signal_ends_the_stream_between_records_with_the_summary(many, signum, status):
    rng = random.Random(signum)
    for _ in range(3):
        with _started("text", many, "--jsonl", "--jobs", "2") as run:
            assert run.stdout is not None
            first = run.stdout.read(1)  # the run is under way; then the pipe fills
            time.sleep(rng.uniform(0.0, 0.5))
            run.send_signal(signum)
            out = first + run.stdout.read()
            err = run.stderr.read() if run.stderr else b""
        assert run.returncode == status
        assert out.endswith(b"\n")
        assert all(json.loads(line)["page"] for line in out.splitlines())  # no half a record
        assert err.decode().splitlines()[-1].endswith("(interrupted)")


def test_a_closed_pipe_ends_the_run_quietly(many):
    with _started("text", many, "--jobs", "2") as run:
        assert run.stdout is not None
        run.stdout.read(100)
        run.stdout.close()
        assert run.wait(timeout=60) == 1
        assert run.stderr is not None and run.stderr.read() == b""  # no summary, no traceback


def _extract_interrupted_at(step: str, commit: int, folder: Path, out: Path, monkeypatch) -> int:
    """Runs extract with Ctrl-C arriving just after the ``commit``-th call of
    ``step`` (what CPython does when the signal lands in that call); returns
    the exit status."""
    owner = outdir.OutputDir if step == "_append" else outdir
    original = getattr(owner, step)
    calls = 0

    def interrupted(*args):
        nonlocal calls
        original(*args)
        calls += 1
        if calls == commit:
            raise KeyboardInterrupt

    monkeypatch.setattr(owner, step, interrupted)
    status = main(["extract", str(folder), "-o", str(out), "--rows-per-file", "9", "--jobs", "1",
                   "--quiet"])
    monkeypatch.undo()
    return status


# After the part's rename, before its manifest line; after the line's sync.
@pytest.mark.parametrize("step, commits", [("_sync_folder", range(1, 4)), ("_append", range(2, 5))])
def test_an_interrupt_at_any_commit_leaves_each_page_once(many, tmp_path, monkeypatch, step, commits):
    folder = tmp_path / "in"
    folder.mkdir()
    for path in sorted(many.glob("doc-*.pdf"))[:8]:  # 24 pages: parts of 3, 3 and 2 files
        (folder / path.name).symlink_to(path)
    for commit in commits:  # the manifest's first line holds the options
        out = tmp_path / f"out-{commit}"
        assert _extract_interrupted_at(step, commit, folder, out, monkeypatch) == 130
        for run in ("interrupted", "resumed"):
            table = pq.read_table(out) if any(out.glob("part-*")) else None
            pages = [] if table is None else list(zip(table["path"].to_pylist(),
                                                      table["page"].to_pylist()))
            assert len(pages) == len(set(pages)), (commit, run)
            assert main(["extract", str(folder), "-o", str(out), "--quiet"]) == 0
        assert len(pages) == 24


def test_a_folder_with_an_input_recorded_twice_is_repaired(many, tmp_path):
    out = tmp_path / "out"
    files = [str(many / "doc-000.pdf"), str(many / "doc-001.pdf")]
    assert main(["extract", *files, "-o", str(out), "--rows-per-file", "1", "--quiet"]) == 0
    # What an earlier version left after an interrupt: doc-000 in a second part too.
    manifest = out / "_textloom_manifest.jsonl"
    first = json.loads(manifest.read_text().splitlines()[1])
    (out / "part-000007.parquet").write_bytes((out / first["part"]).read_bytes())
    with manifest.open("a") as journal:
        journal.write(json.dumps({"part": "part-000007.parquet", "inputs": first["inputs"]}) + "\n")
    assert len(pq.read_table(out)) == 9
    again = cli("extract", *files, "-o", out)
    assert again.returncode == 0
    assert "1 inputs written twice by an earlier run now kept once" in again.stderr.decode()
    assert len(pq.read_table(out)) == 6
    assert cli("extract", *files, "-o", out).stderr.decode().count("kept once") == 0


def _limited(size: int):
    return lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))


def test_a_full_disk_is_one_line_and_loses_nothing(many, tmp_path):
    keep = tmp_path / "keep.txt"
    keep.write_bytes(b"earlier output\n")
    done = cli("text", many, "-o", keep, preexec_fn=_limited(20_000))
    assert (done.returncode, keep.read_bytes()) == (1, b"earlier output\n")
    assert done.stderr.decode().splitlines() == [f"textloom: file too large writing {keep}"]
    assert sorted(os.listdir(tmp_path)) == ["keep.txt"]  # no temporary left
    assert cli("text", many, "-o", keep, "--quiet").returncode == 0
    assert keep.read_bytes().count(b"\f") == 420

    out, docs = tmp_path / "pages", many / "doc-*.pdf"  # parts that fit, a manifest that does not
    starved = cli("extract", docs, "-o", out, "--rows-per-file", "30", preexec_fn=_limited(8_000))
    assert starved.returncode == 1
    message = starved.stderr.decode().splitlines()[-1]
    assert message.startswith("textloom: file too large writing ") and "Traceback" not in message
    lines = (out / "_textloom_manifest.jsonl").read_text().split("\n")[:-1]  # a cut line never counts
    recorded = [json.loads(line).get("part") for line in lines]
    assert sorted(path.name for path in out.glob("part-*")) == sorted(filter(None, recorded))
    assert 0 < len(pq.read_table(out)) < 360
    assert cli("extract", docs, "-o", out).returncode == 0
    table = pq.read_table(out)
    pages = list(zip(table["path"].to_pylist(), table["page"].to_pylist()))
    assert len(pages) == len(set(pages)) == 360


def test_a_busy_output_folder_is_a_failed_run_not_a_usage_error(many, tmp_path):
    out = tmp_path / "out"
    with _started("extract", many, "-o", out, "--jobs", "1") as first:
        while not (out / "_textloom_manifest.jsonl").exists():
            time.sleep(0.01)
        second = cli("extract", many, "-o", out)
        first.communicate(timeout=120)
    assert second.returncode == 1
    assert second.stderr.decode() == f"textloom: another textloom extract is writing to {out}\n"


def test_odd_names_map_back_to_their_bytes_and_odd_files_are_error_rows(tmp_path):
    folder = tmp_path / "in"
    folder.mkdir()
    names = [b"stray \xff\xfe.pdf", b'quote " and\nnewline.pdf', b"-dash.pdf", b"n" * 246 + b".pdf"]
    for name in names:
        (Path(os.fsdecode(os.path.join(os.fsencode(folder), name)))).write_bytes(SAMPLE.read_bytes())
    os.mkfifo(folder / "fifo.pdf")
    (folder / "folder.pdf").mkdir()
    (folder / "empty.pdf").write_bytes(b"")
    done = cli("text", folder, "--jsonl", timeout=60)
    assert done.returncode == 1
    rows = [json.loads(line) for line in done.stdout.splitlines()]
    good = {os.path.basename(os.fsencode(row["file"])) for row in rows if "error" not in row}
    assert good == set(names)
    assert {os.path.basename(row["file"]): row["error"] for row in rows if "error" in row} == {
        "fifo.pdf": "not a regular file", "folder.pdf": "not a regular file",
        "empty.pdf": "not a PDF, or damaged beyond repair (PDFium: data format error)"}

    assert cli("extract", folder, "-o", tmp_path / "out", timeout=60).returncode == 1
    table = pq.read_table(tmp_path / "out")
    paths = {os.path.basename(os.fsencode(original_name(path)))
             for path, error in zip(table["path"].to_pylist(), table["error"].to_pylist())
             if error is None}
    assert paths == set(names)
