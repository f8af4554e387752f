"""textloom.ray.read_pdfs and textloom extract on a generated corpus of 200
PDFs (short ones, one of 600 pages, broken and encrypted ones, and one whose
second page PDFium cannot load): every page exactly once, the text the
command line prints, failures as rows, splitting that changes nothing, both
engines writing the same table, a page past the memory limit on Ray, a run
killed and resumed, and the guards of the output folder."""

from __future__ import annotations

import json
import logging
import os
import signal
import subprocess
import sys
import time
from pathlib import Path

import pyarrow as pa
import pyarrow.parquet as pq
import pytest
import ray

import textloom
from textloom._batch.failures import describe
from textloom._batch.inputs import list_inputs
from textloom._batch.pool import Pool
from textloom._batch.rows import read_ipc, schema
from textloom._batch.rows_work import plan_rows, rows_piece
from textloom._cli import main
from textloom._options import ReadOptions
from textloom.ray import read_pdfs

import pdfset
from conftest import cli, troubled_pdf

# Ray's own modules warn of their own deprecated settings.
pytestmark = pytest.mark.filterwarnings("ignore::DeprecationWarning:ray.*")

DAMAGED = "damaged.pdf"  # three pages, the second one unloadable
DAMAGED_ERROR = "page 2: PDFium cannot load the page"
ORDER = [("path", "ascending"), ("page", "ascending")]


@pytest.fixture(scope="module")
def corpus(tmp_path_factory) -> pdfset.PdfSet:
    made = pdfset.make_pdf_set(tmp_path_factory.mktemp("corpus"), files=199)
    (made.folder / DAMAGED).write_bytes(troubled_pdf("text", "missing", "text"))
    return made


@pytest.fixture(scope="module")
def cluster():
    ray.init(address="local", num_cpus=2, include_dashboard=False, log_to_driver=False,
             logging_level=logging.WARNING)
    yield
    ray.shutdown()


@pytest.fixture(scope="module")
def printed(corpus) -> dict[tuple[str, int | None], str]:
    """What the command line prints of each page (text) or file (its error), one worker."""
    done = cli("text", corpus.folder, "--jsonl", "--jobs", "1")
    records = [json.loads(line) for line in done.stdout.splitlines()]
    return {(record["file"], record.get("page")): record.get("text", record.get("error"))
            for record in records}


def rows_of(dataset) -> pa.Table:
    return pa.concat_tables(ray.get(dataset.to_arrow_refs())).sort_by(ORDER)


def pages_of(table: pa.Table) -> list[tuple[str, int | None]]:
    return list(zip(table["path"].to_pylist(), table["page"].to_pylist()))


def expected_pages(corpus: pdfset.PdfSet, *, encrypted_too: bool = False) -> list[tuple[str, int | None]]:
    pages = dict(corpus.pages, **{str(corpus.folder / DAMAGED): 3})
    if encrypted_too:
        pages.update(dict.fromkeys(corpus.encrypted, 2))
    unreadable = corpus.broken + ([] if encrypted_too else corpus.encrypted)
    return sorted([(path, page) for path, count in pages.items() for page in range(1, count + 1)]
                  + [(path, None) for path in unreadable], key=lambda row: (row[0], row[1] or 0))


def test_read_pdfs_gives_each_page_once_as_the_command_line_prints_it(cluster, corpus, printed):
    table = rows_of(read_pdfs(corpus.folder))
    assert table.schema == schema("text")
    assert pages_of(table) == expected_pages(corpus)
    rows = {(row["path"], row["page"]): row for row in table.to_pylist()}
    assert len(printed) == len(rows)
    for (path, page), text in printed.items():
        row = rows[path, page]
        if row["error"] is not None:  # broken and encrypted files, the damaged page: the same error
            assert (row["error"], row["text"], row["width"]) == (text, None, None)
        else:
            assert (row["text"], row["error"], row["width"], row["height"], row["rotation"]) == (
                text, None, 612.0, 792.0, 0)
    damaged = table.filter(pa.compute.equal(table["path"], str(corpus.folder / DAMAGED)))
    assert damaged["error"].to_pylist() == [None, DAMAGED_ERROR, None]
    assert damaged["error_kind"].to_pylist() == [None, "pdf", None]


def test_a_page_past_the_memory_limit_fails_alone_on_ray(cluster, corpus, tmp_path):
    hungry = tmp_path / "hungry.pdf"
    hungry.write_bytes(troubled_pdf("text", "fanout:8", "text"))  # PDFium's parse grows for ever
    table = rows_of(read_pdfs([hungry, corpus.folder / "doc-001.pdf"], max_memory="512M"))
    assert sorted(zip(table["path"].to_pylist(), table["page"].to_pylist(), table["error"].to_pylist())) == [
        (str(corpus.folder / "doc-001.pdf"), 1, None), (str(corpus.folder / "doc-001.pdf"), 2, None),
        (str(hungry), 1, None), (str(hungry), 2, "page 2: out of memory (limit 512M)"),
        (str(hungry), 3, None)]


def test_splitting_big_files_changes_no_row(cluster, corpus):
    paths = [corpus.folder / "big.pdf", corpus.folder / "doc-005.pdf", corpus.broken[0]]
    split, whole = (rows_of(read_pdfs(paths, format="words", pages="2-N", pages_per_task=size))
                    for size in (7, 1000))
    assert split.equals(whole)
    assert split.schema == schema("words")
    assert pages_of(split)[:2] == [(str(paths[0]), 2), (str(paths[0]), 3)]
    assert split.num_rows == 599 + 1 + 1  # doc-005 has 2 pages, so it gives page 2 only
    with textloom.open(paths[0]) as doc:
        words = doc[599].get_text("words")
    last = split.slice(598, 1).to_pylist()[0]
    assert last["page"] == 600
    assert list(zip(*(last[key] for key in ("x0", "y0", "x1", "y1", "text", "block", "line", "word")))
                ) == words


def test_both_engines_write_the_same_table(cluster, corpus, tmp_path):
    common = ["extract", corpus.folder, "--format", "dict", "--password", pdfset.PASSWORD]
    local = cli(*common, "-o", tmp_path / "local", "--jobs", "2")
    assert main([*map(str, common), "-o", str(tmp_path / "ray"), "--engine", "ray"]) == 1
    assert local.returncode == 1
    pages = sum(corpus.pages.values()) + 2 * len(corpus.encrypted) + 2
    summary = local.stderr.decode().splitlines()[-1]
    assert summary.startswith(f"textloom: 200 files, {pages} pages, {len(corpus.broken) + 1} failed, ")
    tables = [pq.read_table(tmp_path / name).sort_by(ORDER) for name in ("local", "ray")]
    assert tables[0].equals(tables[1])
    assert tables[0].schema == schema("dict")
    assert pages_of(tables[0]) == expected_pages(corpus, encrypted_too=True)
    row = tables[0].filter(pa.compute.equal(tables[0]["path"], corpus.encrypted[0])).to_pylist()[1]
    with textloom.open(corpus.encrypted[0], password=pdfset.PASSWORD) as doc:
        assert json.loads(row["dict"]) == json.loads(json.dumps(doc[1].get_text("dict")))


def test_a_killed_run_resumes_with_each_page_once(corpus, tmp_path):
    out = tmp_path / "out"
    command = [sys.executable, "-m", "textloom", "extract", str(corpus.folder), "-o", str(out),
               "--rows-per-file", "40", "--jobs", "2"]
    with subprocess.Popen(command, stderr=subprocess.PIPE) as run:
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline and run.poll() is None:
            manifest = out / "_textloom_manifest.jsonl"
            if manifest.exists() and len(manifest.read_bytes().splitlines()) >= 4:
                break
            time.sleep(0.01)
        run.send_signal(signal.SIGKILL)
        assert run.wait() == -signal.SIGKILL  # killed half way, not finished
    written = len(pq.read_table(out))
    assert 0 < written < len(expected_pages(corpus))
    (out / "part-999999.parquet").write_bytes((out / "part-000000.parquet").read_bytes())  # never committed
    again = cli("extract", corpus.folder, "-o", out, "--jobs", "2")
    assert again.returncode == 1
    assert f"files already in {out}" in again.stderr.decode().splitlines()[-1]
    assert pages_of(pq.read_table(out).sort_by(ORDER)) == expected_pages(corpus)


def test_the_output_folder_keeps_its_options_and_follows_changed_inputs(tmp_path):
    folder = tmp_path / "in"
    folder.mkdir()
    pdfset.write_pages(folder / "a.pdf", 2, 3, "a")
    pdfset.write_pages(folder / "b.pdf", 3, 3, "b")
    out = str(tmp_path / "out")
    uri = (folder / "b.pdf").as_uri()
    assert main(["extract", str(folder / "a.pdf"), uri, "-o", out]) == 0
    assert main(["extract", str(folder), "-o", out, "--format", "words"]) == 2  # other options
    assert sorted(pages_of(pq.read_table(out))) == [(str(folder / "a.pdf"), 1), (str(folder / "a.pdf"), 2),
                                                    (uri, 1), (uri, 2), (uri, 3)]
    with open(Path(out) / "_textloom_manifest.jsonl", "ab") as manifest:
        manifest.write(b'{"part":"part-000009.parquet","inputs":[["/x"')  # cut short by a kill
    pdfset.write_pages(folder / "a.pdf", 1, 3, "a changed")
    os.utime(folder / "a.pdf", ns=(1, 1))
    pdfset.write_pages(folder / "c.pdf", 1, 3, "c")
    assert main(["extract", str(folder / "*.pdf"), "-o", out]) == 0
    table = pq.read_table(out).sort_by(ORDER)  # b was written (as its URI) and is skipped
    assert pages_of(table) == [(str(folder / "a.pdf"), 1), (str(folder / "c.pdf"), 1),
                               (uri, 1), (uri, 2), (uri, 3)]
    assert table["text"][0].as_py().startswith("a changed page 1")
    assert all(json.loads(line) for line in (Path(out) / "_textloom_manifest.jsonl").read_text().splitlines())
    assert main(["extract", str(folder), "-o", out, "--format", "words", "--overwrite"]) == 0
    assert pq.read_table(out).schema == schema("words") and len(pq.read_table(out)) == 5


def test_a_kept_pool_serves_run_after_run_and_replaces_a_worker_that_died_idle(corpus):
    document = str(corpus.folder / "doc-001.pdf")
    pool = Pool(plan_rows, rows_piece, ReadOptions(), describe, jobs=1, timeout=60)
    try:
        events = list(pool.run([document, "missing.pdf"]))
        assert [(e.path, e.done, [f.message for _, f in e.failures]) for e in events] == [
            (document, False, []), (document, True, []),
            ("missing.pdf", False, ["no such file or directory"]), ("missing.pdf", True, [])]
        assert read_ipc(events[0].output)["page"].to_pylist() == [1, 2]
        worker = pool.workers[0].process
        worker.kill()
        worker.join()
        part = list(pool.run([(document, [1])]))
        assert not any(event.failures for event in part)
        assert read_ipc(b"".join(event.output for event in part))["page"].to_pylist() == [2]
    finally:
        pool.shutdown()


@pytest.mark.parametrize("setup, message", [
    (lambda out: (out / "part-000000.parquet").write_bytes(b"x"), "part files that no textloom manifest"),
    (lambda out: (out / "_textloom_manifest.jsonl").write_text("{}\n"), "is not a textloom manifest"),
])
def test_an_output_folder_of_something_else_is_refused(tmp_path, capsys, setup, message):
    out = tmp_path / "out"
    out.mkdir()
    setup(out)
    assert main(["extract", str(textloom.__path__[0]), "-o", str(out)]) == 2
    assert message in capsys.readouterr().err


def test_inputs_are_files_folders_globs_and_uris(tmp_path):
    for name in ("a.pdf", "sub/b.PDF", "sub/notes.txt"):
        (tmp_path / name).parent.mkdir(exist_ok=True)
        (tmp_path / name).write_bytes(b"%PDF")
    files = [str(tmp_path / "a.pdf"), str(tmp_path / "sub/b.PDF")]
    assert list_inputs(tmp_path) == files
    assert list_inputs([str(tmp_path / "s*"), str(tmp_path / "missing*.pdf")]) == [
        files[1], str(tmp_path / "missing*.pdf")]
    assert list_inputs(tmp_path.as_uri()) == [Path(f).as_uri() for f in files]
    assert list_inputs(tmp_path.as_uri() + "/*/*.PDF") == [Path(files[1]).as_uri()]

