"""The command line end to end, in subprocesses: the sample's text, page ranges
and usage errors, every format against the API, JSON Lines, several files with
bad ones in order, --jobs 2 against --jobs 1, a killed worker, the time and memory limits,
progress only on a terminal, render, info --jsonl. (The console script,
--pages, info and render's size are run by test_readme.py.)"""

from __future__ import annotations

import fcntl
import json
import math
import os
import pty
import re
import shutil
import signal
import struct
import subprocess
import sys
import termios
import time
from pathlib import Path

import pytest
from PIL import Image as PilImage

import textloom
from textloom._batch.page_output import format_page, to_json
from textloom._options import ReadOptions, parse_page_ranges

import pdfgen
from conftest import CORPUS, SAMPLE, cli, troubled_pdf
from make_sample import PARAGRAPH, RULED_TABLE, SPACED_TABLE

# What tools/make_sample.py wrote, page by page: lines that stand alone, then
# the page's words in reading order.
BULLETS = ["\u2022 glyphs with boxes and fonts", "\u2022 lines, blocks and words",
           "\u2022 reading order"]
HYPHENATED = ["A word cut at the end of a line comes back as one: exam-",
              "ple text follows on the next line."]
SAMPLE_TEXT = [
    (["textloom sample document", *HYPHENATED, *BULLETS],
     ["textloom sample document", PARAGRAPH * 2, *HYPHENATED, *BULLETS,
      "Each page also comes out as Markdown, with headings, lists and emphasis marked."]),
    (["Two columns under one heading"],
     ["Two columns under one heading", "Left column.", PARAGRAPH * 3, "Right column.",
      PARAGRAPH * 3, "Below the columns, a ruled table with its header in bold:",
      *sum(RULED_TABLE, ())]),
    (["A landscape page that the viewer shows turned by 90 degrees."],
     ["A landscape page that the viewer shows turned by 90 degrees.",
      "Its table is set in white space alone:", *sum(SPACED_TABLE, ())]),
]


def pages_text(path: Path) -> list[str]:
    with textloom.open(path) as doc:
        return [page.get_text(sort="reading") for page in doc]


def many_pages(path: Path, count: int, lines: int = 3) -> Path:
    writer = pdfgen.PdfWriter()
    for number in range(count):
        page = writer.page()
        for line in range(lines):
            page.text(40, 760 - 14 * line, f"page {number + 1} line {line + 1} of some text to read")
    writer.save(path)
    return path


@pytest.fixture(scope="module")
def big_pdf(tmp_path_factory) -> Path:
    """Busy a worker for a second or more, so a test can act while it reads."""
    return many_pages(tmp_path_factory.mktemp("big") / "big.pdf", 600, lines=50)


SUMMARY = re.compile(r"textloom: (\d+) files, (\d+) pages, (\d+) failed, [\d.]+ s(, .*)?\n")


def test_sample_text():
    done = cli()
    assert done.returncode == 0 and SUMMARY.fullmatch(done.stderr.decode()).groups()[:3] == ("1", "3", "0")
    assert done.stdout.decode() == "".join(text + "\f" for text in pages_text(SAMPLE))
    *pages, tail = done.stdout.decode().split("\f")
    assert tail == "" and len(pages) == len(SAMPLE_TEXT)
    for text, (lines, words) in zip(pages, SAMPLE_TEXT):
        assert set(lines) <= set(text.splitlines())
        assert text.split() == " ".join(words).split()


def test_reading_order_by_default(corpus):
    path = corpus / "latex-two-column.pdf"  # a page "xycut" reads otherwise
    assert cli(path, "--pages", "1").stdout.decode() == pages_text(path)[0] + "\f"


@pytest.mark.parametrize("ranges, selected", [
    ("1-3,7,10-N", [0, 1, 2, 6, 9, 10, 11]),
    ("N-", [11]), ("11-", [10, 11]), ("3,1,3", [2, 0]), ("2-3,1-2", [1, 2, 0]),
    ("10-20", [9, 10, 11]), ("13", []),
])
def test_page_ranges_select(ranges, selected):
    assert parse_page_ranges(ranges).select(12) == selected


@pytest.mark.parametrize("args, message", [
    (["--pages", "0"], "pages count from 1"),
    (["--pages", "1,,2"], "bad page range ''"),
    (["--pages", "x-3"], "bad page range 'x-3'"),
    (["--jobs", "0"], "jobs must be a whole number above 0, not 0"),
    (["--bogus"], "unrecognized arguments"),
    (["txt", str(SAMPLE)], "unknown command 'txt' (did you mean 'text'?)"),
    ([str(SAMPLE.parent / "_cli")], "no PDF files found under"),
    (["extract", str(SAMPLE)], "-o/--output"),
    (["extract", str(SAMPLE), "-o", "out", "--engine", "spark"], "invalid choice"),
    (["extract", str(SAMPLE), "-o", "out", "--format", "rawdict"], 'unknown format "rawdict"'),
    (["extract", str(SAMPLE), "-o", "out", "--address", "auto"], "goes with --engine ray"),
    (["render", str(SAMPLE)], "--page"),
    (["render", str(SAMPLE), "--page", "1", "--scale", "2", "--dpi", "100"], "not allowed"),
])
def test_usage_errors_exit_2(args, message):
    done = cli(*args)
    assert done.returncode == 2 and done.stdout == b""
    assert message in done.stderr.decode()


@pytest.mark.parametrize("fmt", ["text", "blocks", "words", "dict", "rawdict", "pdftext"])
def test_jsonl_parses_back_to_the_api_result(fmt):
    done = cli("text", SAMPLE, "--jsonl", "--format", fmt, "--dehyphenate", "-q")
    assert (done.returncode, done.stderr) == (0, b"")
    records = [json.loads(line) for line in done.stdout.decode().splitlines()]
    with textloom.open(SAMPLE) as doc:
        for record, page in zip(records, doc, strict=True):
            result = (page.pdftext_blocks(sort="reading") if fmt == "pdftext" else
                      page.get_text(fmt, sort="reading", dehyphenate=True))
            assert record == {"file": str(SAMPLE), "page": page.index + 1, "width": page.width,
                              "height": page.height, "rotation": page.rotation,
                              "needs_ocr": False, fmt: json.loads(json.dumps(result))}


def test_markdown_of_whole_files(tmp_path):
    # Heading levels rank over the whole file: page 12's heading is "##" only
    # beside page 1's larger one, which a worker's piece of pages would not see.
    path = tmp_path / "headed.pdf"
    writer = pdfgen.PdfWriter()
    for number in range(12):
        page = writer.page()
        page.text(40, 700, f"Heading {number + 1}", size=24 if number == 0 else 18 if number == 11 else 10)
        page.text(40, 600, f"page {number + 1} body text, long enough to set the body size")
    writer.save(path)
    with textloom.open(path) as doc:
        expected = doc.to_markdown()
        chunks = doc.to_markdown(pages=[10, 11], page_chunks=True)
    assert "\n## Heading 12\n" in expected
    done = cli(path, "--format", "markdown", "--jobs", "2", "-q")
    assert (done.returncode, done.stderr, done.stdout.decode()) == (0, b"", expected)
    done = cli(path, "--format", "markdown", "--jsonl", "--pages", "11-12", "-q")
    assert [json.loads(line) for line in done.stdout.splitlines()] == [
        {"file": str(path), "page": chunk["page"] + 1, "label": None, "metadata": chunk["metadata"],
         "toc_items": [], "needs_ocr": False, "tables": [], "text": chunk["text"]} for chunk in chunks]
    assert chunks[1]["text"].startswith("# Heading 12\n")


def test_json_has_null_for_non_finite_numbers():
    assert to_json({"bbox": (1.5, math.nan, -math.inf), "t": "é"}) == '{"bbox":[1.5,null,null],"t":"é"}'


def test_rows_of_words_and_blocks():
    words = cli(SAMPLE, "--format", "words", "--pages", "1").stdout.decode().splitlines()
    blocks = cli(SAMPLE, "--format", "blocks").stdout.decode().splitlines()
    with textloom.open(SAMPLE) as doc:
        expected_words = doc[0].get_text("words", sort="reading")
        expected_blocks = [(page.index + 1, block) for page in doc
                           for block in page.get_text("blocks", sort="reading")]
    assert [row.split("\t") for row in words] == [
        ["1", *(f"{v:.2f}" for v in word[:4]), *map(str, word[5:]), word[4]] for word in expected_words]
    assert [row.split("\t") for row in blocks] == [
        [str(number), *(f"{v:.2f}" for v in block[:4]), str(block[5]),
         block[4].replace("\\", "\\\\").replace("\n", "\\n")] for number, block in expected_blocks]


def test_several_files_with_bad_ones_keep_their_order(tmp_path):
    bad = tmp_path / "bad.pdf"
    bad.write_text("not a PDF")
    copy = shutil.copy(SAMPLE, tmp_path / "copy.pdf")
    missing = tmp_path / "missing.pdf"
    done = cli(SAMPLE, bad, missing, copy, "--jsonl", "--jobs", "2")
    copy = str(copy)
    assert done.returncode == 1
    records = [json.loads(line) for line in done.stdout.splitlines()]
    assert [(r["file"], r.get("page"), r.get("error"), r.get("error_kind")) for r in records] == [
        (str(SAMPLE), 1, None, None), (str(SAMPLE), 2, None, None), (str(SAMPLE), 3, None, None),
        (str(bad), None, "not a PDF, or damaged beyond repair (PDFium: data format error)", "pdf"),
        (str(missing), None, "no such file or directory", "io"),
        (copy, 1, None, None), (copy, 2, None, None), (copy, 3, None, None)]
    *failures, summary = done.stderr.decode().splitlines(keepends=True)
    assert failures == [
        f"textloom: {bad}: not a PDF, or damaged beyond repair (PDFium: data format error)\n",
        f"textloom: {missing}: no such file or directory\n"]
    assert SUMMARY.fullmatch(summary).groups()[:3] == ("4", "6", "2")


def test_two_jobs_write_what_one_job_writes(tmp_path):
    folder = tmp_path / "inputs"
    folder.mkdir()
    many_pages(folder / "a-long.pdf", 30)  # more pages than a piece: split over workers
    shutil.copy(SAMPLE, folder / "b-sample.pdf")
    inputs = [folder] + sorted(CORPUS.glob("*.pdf"))
    one, two = (cli(*inputs, "--format", "words", "--jobs", jobs, "-q") for jobs in ("1", "2"))
    assert one.returncode == two.returncode and one.stderr == two.stderr
    assert one.stdout == two.stdout
    options = ReadOptions(format="words")
    with textloom.open(folder / "a-long.pdf") as doc:
        expected = "".join(format_page(page, "", options) for page in doc)
    assert one.stdout.decode().startswith(expected)


def children(pid: int) -> list[int]:
    found = []
    for task in Path(f"/proc/{pid}/task").iterdir():
        found += map(int, (task / "children").read_text().split())
    return found


def _kill_the_worker_on(big_pdf: Path, out: Path) -> tuple[int, bytes, list[dict]]:
    """A run over the sample, ``big_pdf`` and the sample again with its only
    worker killed once it reads ``big_pdf``: exit status, stderr, records."""
    with subprocess.Popen(
            [sys.executable, "-m", "textloom", SAMPLE, big_pdf, SAMPLE, "--jobs", "1", "--jsonl",
             "-o", out], stderr=subprocess.PIPE) as process:
        # Until the only worker is on the big file (-o writes beside its target until the end).
        while not any(str(big_pdf).encode() in part.read_bytes()
                      for part in out.parent.glob(f".{out.name}.*.tmp")):
            time.sleep(0.002)
        for pid in children(process.pid):
            os.kill(pid, signal.SIGKILL)
        err = process.stderr.read()
        status = process.wait(timeout=300)
    return status, err, [json.loads(line) for line in out.read_bytes().splitlines()]


def test_a_killed_worker_fails_its_page_only(big_pdf, tmp_path):
    for attempt in range(5):
        status, err, records = _kill_the_worker_on(big_pdf, tmp_path / f"out{attempt}.jsonl")
        big = [r for r in records if r["file"] == str(big_pdf)]
        assert [r["page"] for r in records if r["file"] == str(SAMPLE)] == [1, 2, 3, 1, 2, 3]
        assert [r["page"] for r in big] == list(range(1, 601))  # in order, none lost
        if status == 1:
            break
        # Killed between two pieces of the file: no page was running, none fails.
        assert status == 0 and not any("error" in r for r in big)
    else:
        pytest.fail("the worker was never killed on a page")
    (killed,) = [r for r in big if "error" in r]
    message = f"page {killed['page']}: worker process died (SIGKILL)"
    assert (killed["error"], killed["error_kind"]) == (message, "crash")
    failure, summary = err.decode().splitlines(keepends=True)
    assert failure == f"textloom: {big_pdf}: {message}\n" and SUMMARY.fullmatch(summary)


@pytest.fixture(scope="module")
def damaged(tmp_path_factory) -> Path:
    """Three pages, the second of which PDFium cannot load."""
    path = tmp_path_factory.mktemp("damaged") / "damaged.pdf"
    path.write_bytes(troubled_pdf("text", "missing", "text"))
    return path


@pytest.mark.parametrize("jsonl", [False, True])
def test_a_damaged_page_costs_only_itself(damaged, jsonl):
    done = cli(damaged, *(["--jsonl"] if jsonl else []), "-q")
    assert done.returncode == 1
    message = "page 2: PDFium cannot load the page"
    assert done.stderr.decode() == f"textloom: {damaged}: {message}\n"
    if not jsonl:
        assert done.stdout == b"page 1\n\fpage 3\n\f"
        return
    records = [json.loads(line) for line in done.stdout.splitlines()]
    assert [(r["page"], r.get("text"), r.get("error"), r.get("error_kind")) for r in records] == [
        (1, "page 1\n", None, None), (2, None, message, "pdf"), (3, "page 3\n", None, None)]


@pytest.mark.parametrize("fanout, limit, message, kind", [
    ("fanout:6", ["--timeout", "0.5"], "timed out after 0.5 s", "timeout"),  # parses for seconds
    ("fanout:8", ["--max-memory", "512M"], "out of memory (limit 512M)", "memory"),  # for ever
])
def test_a_page_past_a_limit_fails_alone(tmp_path, fanout, limit, message, kind):
    slow = tmp_path / "slow.pdf"
    slow.write_bytes(troubled_pdf("text", fanout, "text"))
    done = cli(slow, SAMPLE, *limit, "--jobs", "2", "--format", "rawdict", "--jsonl")
    assert done.returncode == 1
    failure, summary = done.stderr.decode().splitlines(keepends=True)
    assert failure == f"textloom: {slow}: page 2: {message}\n"
    assert SUMMARY.fullmatch(summary).groups()[:3] == ("2", "5", "1")
    records = [json.loads(line) for line in done.stdout.splitlines()]
    assert [(r["file"], r["page"], r.get("error"), r.get("error_kind")) for r in records] == [
        (str(slow), 1, None, None), (str(slow), 2, f"page 2: {message}", kind), (str(slow), 3, None, None),
        (str(SAMPLE), 1, None, None), (str(SAMPLE), 2, None, None), (str(SAMPLE), 3, None, None)]


def test_selections_and_inputs_that_name_nothing_are_said(tmp_path):
    done = cli(SAMPLE, "--pages", "40", "--jsonl")
    assert done.returncode == 1
    message = "the page range 40 selects none of its 3 pages"
    assert json.loads(done.stdout) == {"file": str(SAMPLE), "error": message, "error_kind": "selection"}
    assert done.stderr.decode().splitlines()[0] == f"textloom: {SAMPLE}: {message}"


@pytest.mark.parametrize("quiet", [False, True])
def test_progress_bar_only_on_a_terminal(quiet):
    main, terminal = pty.openpty()
    fcntl.ioctl(terminal, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
    process = subprocess.Popen([sys.executable, "-m", "textloom", SAMPLE, SAMPLE]
                               + (["--quiet"] if quiet else []),
                               stdout=subprocess.DEVNULL, stderr=terminal)
    os.close(terminal)
    shown = b""
    try:
        while chunk := os.read(main, 4096):
            shown += chunk
    except OSError:  # the terminal's other side closed
        pass
    finally:
        os.close(main)
    assert process.wait(timeout=300) == 0
    assert (b"/2 [" in shown) != quiet, shown


def test_render_writes_a_png_of_the_page_size(tmp_path):
    out = tmp_path / "page.png"
    done = cli("render", SAMPLE, "--page", "3", "--dpi", "144", "-o", out)
    assert done.returncode == 0, done.stderr
    with textloom.open(SAMPLE) as doc:
        expected = doc[2].render(dpi=144)
    with PilImage.open(out) as image:
        assert (image.size, image.tobytes()) == ((expected.width, expected.height), expected.data)
    done = cli("render", SAMPLE, "--page", "4", "-o", out)
    assert done.returncode == 1 and done.stderr.decode() == f"textloom: {SAMPLE}: no page 4: it has 3\n"


def test_info_jsonl():
    done = cli("info", SAMPLE, "--jsonl")
    record = json.loads(done.stdout)
    assert done.returncode == 0 and record["metadata"]["creator"] == "textloom tools/make_sample.py"
    assert [(s["width"], s["height"], s["rotation"]) for s in record["page_sizes"]] == [
        (595.280029296875, 841.8900146484375, 0)] * 2 + [(841.8900146484375, 595.280029296875, 90)]


def test_tables_command_and_extract_format_tables(tmp_path):
    import pyarrow.parquet as pq
    from fpdf import FPDF

    pdf = FPDF(unit="pt", format=(400, 300))
    pdf.add_page()
    pdf.set_font("Helvetica", size=10)
    for row in range(4):  # a 3 x 3 grid of cells 80 x 30, ruled
        pdf.line(50, 50 + 30 * row, 290, 50 + 30 * row)
    for col in range(4):
        pdf.line(50 + 80 * col, 50, 50 + 80 * col, 140)
    for row in range(3):
        for col in range(3):
            pdf.text(60 + 80 * col, 70 + 30 * row, f"r{row}c{col}")
    path = tmp_path / "grid.pdf"
    pdf.output(str(path))
    with textloom.open(path) as doc:
        (table,) = doc[0].find_tables()
        chunk = doc.to_markdown(page_chunks=True)[0]
        assert chunk["tables"] == [{"bbox": table.bbox, "rows": 3, "cols": 3}]
    assert cli("text", path, "--format", "markdown").stdout.decode() == table.to_markdown()
    assert b"|" not in cli("text", path, "--format", "markdown", "--no-tables").stdout
    markdown = cli("tables", path).stdout.decode()
    assert markdown == f"{path}, page 1, table 1:\n\n{table.to_markdown()}\n\n"
    (record,) = [json.loads(line) for line in cli("tables", path, "--jsonl").stdout.splitlines()]
    assert (record["page"], record["rows"], record["cols"], record["cells"][4]["text"]) == (
        1, 3, 3, "r1c1")
    assert cli("extract", path, "-o", tmp_path / "out", "--format", "tables").returncode == 0
    (row,) = pq.read_table(tmp_path / "out").to_pylist()
    assert [cell["text"] for cell in json.loads(row["tables"])[0]["cells"]][:3] == [
        "r0c0", "r0c1", "r0c2"]
