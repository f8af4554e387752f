"""textloom.ray.read_pdfs and textloom extract on a generated corpus of 200
PDFs (short ones, one of 600 pages, broken and encrypted ones, and one whose
worker exits, through the test-only hook): every page exactly once, the
text the command line prints, failures as rows, splitting that changes
nothing, both engines writing the same table, a run killed and resumed, and
the guards of the output folder."""

from __future__ import annotations

import json
import logging
import os
import signal
import subprocess
import sys
import time
from array import array
from pathlib import Path

import pyarrow as pa
import pyarrow.parquet as pq
import pytest
import ray

import textloom
from textloom._cli import main
from textloom._cli_jobs import describe
from textloom._extract_jobs import EXIT_ON, ExtractOptions, extract_piece
from textloom._inputs import list_inputs
from textloom._pool import Pool
from textloom._rows import read_ipc, schema
from textloom.ray import read_pdfs

import pdfset
from conftest import cli

# Ray's own modules warn of their own deprecated settings.
pytestmark = pytest.mark.filterwarnings("ignore::DeprecationWarning:ray.*")

EXITING = "exit-worker.pdf"  # its worker exits when asked for its pages
EXIT_ERROR = "worker process died (exit status 70)"
ORDER = [("path", "ascending"), ("page", "ascending")]


@pytest.fixture(scope="module")
def corpus(tmp_path_factory) -> pdfset.PdfSet:
    made = pdfset.make_pdf_set(tmp_path_factory.mktemp("corpus"), files=199)
    pdfset.write_pages(made.folder / EXITING, 3, 5, "exiting")
    return made


@pytest.fixture(scope="module")
def cluster():
    ray.init(address="local", num_cpus=2, include_dashboard=False, log_to_driver=False,
             logging_level=logging.WARNING, runtime_env={"env_vars": {EXIT_ON: EXITING}})
    yield
    ray.shutdown()


@pytest.fixture(scope="module")
def printed(corpus) -> dict[tuple[str, int | None], str]:
    """What the command line prints of each page (text) or file (its error), one worker."""
    done = cli("text", corpus.folder, "--jsonl", "--sort", "xycut", "--jobs", "1")
    records = [json.loads(line) for line in done.stdout.splitlines()]
    return {(record["file"], record.get("page")): record.get("text", record.get("error"))
            for record in records}


def rows_of(dataset) -> pa.Table:
    return pa.concat_tables(ray.get(dataset.to_arrow_refs())).sort_by(ORDER)


def pages_of(table: pa.Table) -> list[tuple[str, int | None]]:
    return list(zip(table["path"].to_pylist(), table["page"].to_pylist()))


def expected_pages(corpus: pdfset.PdfSet, *, encrypted_too: bool = False) -> list[tuple[str, int | None]]:
    pages = dict(corpus.pages, **{str(corpus.folder / EXITING): 3})
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
    for (path, page), text in printed.items():
        if Path(path).name == EXITING:
            continue
        row = rows[path, page]
        if page is None:  # broken and encrypted files: one row, the command line's error
            assert (row["error"], row["text"], row["width"]) == (text, None, None)
        else:
            assert (row["text"], row["error"], row["width"], row["height"], row["rotation"]) == (
                text, None, 612.0, 792.0, 0)
    exiting = table.filter(pa.compute.equal(table["path"], str(corpus.folder / EXITING)))
    assert exiting["error"].to_pylist() == [EXIT_ERROR] * 3  # and the run went on


def test_splitting_big_files_changes_no_row(cluster, corpus):
    paths = [corpus.folder / "big.pdf", corpus.folder / "doc-005.pdf", corpus.broken[0]]
    split, whole = (rows_of(read_pdfs(paths, format="words", pages="2-N", pages_per_task=size))
                    for size in (7, 1000))
    assert split.equals(whole)
    assert split.schema == schema("words")
    assert pages_of(split)[:2] == [(str(paths[0]), 2), (str(paths[0]), 3)]
    assert split.num_rows == 599 + 1 + 1  # doc-005 has 2 pages, so it gives page 2 only
    with textloom.open(paths[0]) as doc:
        words = doc[599].get_text("words", sort="xycut")
    last = split.slice(598, 1).to_pylist()[0]
    assert last["page"] == 600
    assert list(zip(*(last[key] for key in ("x0", "y0", "x1", "y1", "text", "block", "line", "word")))
                ) == words


def test_both_engines_write_the_same_table(cluster, corpus, tmp_path):
    common = ["extract", corpus.folder, "--format", "dict", "--password", pdfset.PASSWORD]
    local = cli(*common, "-o", tmp_path / "local", "--jobs", "2",
                env={**os.environ, EXIT_ON: EXITING})
    assert main([*map(str, common), "-o", str(tmp_path / "ray"), "--engine", "ray"]) == 1
    assert local.returncode == 1
    pages = sum(corpus.pages.values()) + 2 * len(corpus.encrypted)
    summary = local.stderr.decode().splitlines()[-1]
    assert summary.startswith(f"textloom: 200 files, {pages} pages, 4 failed, ")
    tables = [pq.read_table(tmp_path / name).sort_by(ORDER) for name in ("local", "ray")]
    assert tables[0].equals(tables[1])
    assert tables[0].schema == schema("dict")
    assert pages_of(tables[0]) == expected_pages(corpus, encrypted_too=True)
    row = tables[0].filter(pa.compute.equal(tables[0]["path"], corpus.encrypted[0])).to_pylist()[1]
    with textloom.open(corpus.encrypted[0], password=pdfset.PASSWORD) as doc:
        assert json.loads(row["dict"]) == json.loads(json.dumps(doc[1].get_text("dict", sort="xycut")))


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
    again = cli("extract", corpus.folder, "-o", out, "--jobs", "2", env={**os.environ, EXIT_ON: EXITING})
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
    pool = Pool(extract_piece, ExtractOptions(), describe, jobs=1, timeout=60)
    try:
        plans = [(event.path, event.error, event.output) for event in pool.run([document, "missing.pdf"])]
        assert plans == [(document, None, array("i", [0, 1]).tobytes()), (document, None, b""),
                         ("missing.pdf", "no such file or directory", b"")]
        worker = pool.workers[0].process
        worker.kill()
        worker.join()
        part = list(pool.run([(document, [1])]))
        assert part[-1].error is None
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


@pytest.mark.parametrize("kwargs, exception, message", [
    ({"format": "rawdict"}, ValueError, "unknown format 'rawdict'"),
    ({"sort": "diagonal"}, ValueError, "unknown sort 'diagonal'"),
    ({"pages": "3-1"}, ValueError, "runs backwards"),
    ({"pages_per_task": 0}, ValueError, "pages_per_task must be a whole number above 0"),
    ({"timeout": 0}, ValueError, "timeout must be a number of seconds above 0"),
    ({"timeout": "5"}, ValueError, "timeout must be a number of seconds above 0"),
    ({"pages": 3}, TypeError, "pages must be a string of page ranges or None, not int"),
    ({"password": b"pw"}, TypeError, "password must be a string or None, not bytes"),
    ({"dehyphenate": 1}, TypeError, "dehyphenate must be True or False, not int"),
])
def test_read_pdfs_refuses_bad_arguments_before_any_work(kwargs, exception, message):
    with pytest.raises(exception, match=message):
        read_pdfs("x.pdf", **kwargs)


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

