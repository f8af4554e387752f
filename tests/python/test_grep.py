"""textloom grep on generated pages: the match lines and their flags, counts,
JSON Lines with boxes, and grep's exit statuses."""

from __future__ import annotations

import json
from pathlib import Path

import pytest
from fpdf import FPDF

import textloom
from conftest import cli

LINES = ["alpha beta", "Gamma alphabet", "delta exam-", "ple Alpha"]


@pytest.fixture(scope="module")
def pdf(tmp_path_factory) -> Path:
    """Two pages of the same four lines."""
    doc = FPDF(unit="pt", format=(300, 200))
    doc.set_font("Helvetica", size=12)
    for _ in range(2):
        doc.add_page()
        for number, line in enumerate(LINES):
            doc.text(20, 30 + 20 * number, line)
    path = tmp_path_factory.mktemp("grep") / "lines.pdf"
    doc.output(str(path))
    return path


def grep(*args: str | Path) -> tuple[int, list[str], str]:
    done = cli("grep", *args, "-q")
    return done.returncode, done.stdout.decode().splitlines(), done.stderr.decode()


@pytest.mark.parametrize("flags, shown", [
    ((), ["1: alpha beta", "1: Gamma alphabet"]),  # case matters, words need not be whole
    (("-w",), ["1: alpha beta"]),
    (("-i", "-w"), ["1: alpha beta", "1: ple Alpha"]),
    (("-n", "-w"), ["1:1: alpha beta"]),
    (("--context", "1", "-i", "-w"), ["1: alpha beta Gamma alphabet", "1: delta exam- ple Alpha"]),
    (("-e", "-w", r"\p{Lu}\w+"), ["1: Gamma alphabet", "1: ple Alpha"]),
])
def test_match_lines(pdf: Path, flags: tuple[str, ...], shown: list[str]) -> None:
    pattern = flags[-1] if "-e" in flags else "alpha"
    code, lines, _ = grep(*[f for f in flags if f != pattern], pattern, pdf, "--pages", "1")
    assert (code, lines) == (0, [f"{pdf}:{line}" for line in shown])


def test_a_phrase_across_a_hyphenated_line_end(pdf: Path) -> None:
    assert grep("example alpha", pdf, "-i")[:2] == (0, [f"{pdf}:1: delta exam- ple Alpha",
                                                        f"{pdf}:2: delta exam- ple Alpha"])


def test_counts_and_json_lines_with_boxes(pdf: Path, tmp_path: Path) -> None:
    copy = tmp_path / "copy.pdf"
    copy.write_bytes(pdf.read_bytes())
    assert grep("alpha", copy, pdf, "-c", "--jobs", "2")[:2] == (0, [f"{copy}:4", f"{pdf}:4"])
    code, lines, _ = grep("Gamma", pdf, "--jsonl")
    with textloom.open(pdf) as doc:
        expected = [(index + 1, match) for index in range(2) for match in doc[index].search(
            "Gamma", case=True)]
    records = [json.loads(line) for line in lines]
    assert [(r["page"], r["line"], r["text"], r["start"], r["end"], r["boxes"]) for r in records] \
        == [(page, 2, m.text, m.start, m.end, [list(box) for box in m.boxes]) for page, m in expected]


def test_exit_statuses(pdf: Path, tmp_path: Path) -> None:
    bad = tmp_path / "bad.pdf"
    bad.write_bytes(b"not a pdf")
    assert grep("zeta", pdf)[:2] == (1, [])
    code, lines, stderr = grep("beta", bad, pdf)  # the bad file is said, the good one read
    assert (code, lines) == (2, [f"{pdf}:1: alpha beta", f"{pdf}:2: alpha beta"])
    assert stderr.startswith(f"textloom: {bad}: not a PDF")
    for pattern, message in (("(", "bad pattern at offset 1: missing closing parenthesis: '('"),
                             (" ", "the query is empty: ' '")):
        assert grep("-e", pattern, pdf) == (2, [], f"textloom: {message}\n")
