"""Shared fixtures: the initialised native module, generated and corpus PDFs,
the glyph_dump tool, and an independent reading of PDFium's characters
through pypdfium2's raw API (the oracle our glyphs are compared with)."""

from __future__ import annotations

import ctypes
import json
import subprocess
import sys
from pathlib import Path

import pypdfium2 as pdfium
import pypdfium2.raw as raw
import pytest

import textloom
from textloom import _native

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import pdfgen  # noqa: E402  (tools/pdfgen.py writes the tests' PDFs)

ROOT = Path(__file__).resolve().parents[2]
# ../shared/corpus beside the repository; a worktree one level deeper finds it
# one level further up.
CORPUS = next((p / "shared" / "corpus" for p in ROOT.parents if (p / "shared" / "corpus").is_dir()),
              ROOT.parent / "shared" / "corpus")
GLYPH_DUMP = ROOT / "build" / "tests" / "glyph_dump"


def cli(*args: str | Path, timeout: float = 300, **kwargs) -> subprocess.CompletedProcess[bytes]:
    """The command line in a subprocess, its output captured."""
    return subprocess.run([sys.executable, "-m", "textloom", *map(str, args)],
                          capture_output=True, timeout=timeout, **kwargs)


def corpus_files() -> list[Path]:
    return sorted(CORPUS.glob("*.pdf")) if CORPUS.is_dir() else []


@pytest.fixture(scope="session")
def native():
    textloom.use_pdfium()
    return _native


class OpenPdf:
    """A pypdfium2 document kept alive with its raw address."""

    def __init__(self, source):
        self.path = source if isinstance(source, (str, Path)) else None
        self.pdf = pdfium.PdfDocument(source if self.path is None else str(source))
        self.addr = textloom.document_address(self.pdf)

    def __len__(self):
        return len(self.pdf)


@pytest.fixture
def open_pdf(native, tmp_path):
    """Opens a PdfWriter, bytes or a path; writes generated PDFs to tmp_path."""
    opened = []

    def _open(source):
        if isinstance(source, pdfgen.PdfWriter):
            path = tmp_path / f"generated-{len(opened)}.pdf"
            source.save(path)
            source = path
        doc = OpenPdf(source)
        opened.append(doc)
        return doc

    yield _open
    for doc in opened:
        doc.pdf.close()


def assert_no_growth(step, rounds: int = 500, attempts: int = 3) -> None:
    """Fails when calling step() leaves allocations behind: a leak of one
    object per call shows up as hundreds of blocks in every attempt, while
    caches settling elsewhere in the interpreter stay far below that and
    swing both ways, so one quiet attempt out of three is enough."""
    import gc

    for _ in range(50):
        step()
    growth = []
    for _ in range(attempts):
        gc.collect()
        before = sys.getallocatedblocks()
        for _ in range(rounds):
            step()
        gc.collect()
        growth.append(sys.getallocatedblocks() - before)
        if growth[-1] < rounds // 5:
            return
    pytest.fail(f"{growth} blocks more after {rounds} rounds, in each of {attempts} attempts")


def assert_raises_text(call, exception, message: str) -> None:
    """call() raises exactly `exception` with `message`; a message ending in
    "..." is a prefix that the real text continues."""
    with pytest.raises(exception) as info:
        call()
    assert type(info.value) is exception
    if message.endswith("..."):
        assert str(info.value).startswith(message[:-3]) and len(str(info.value)) > len(message)
    else:
        assert str(info.value) == message


def glyph_dump(path: Path, ligatures: bool = False) -> list[dict]:
    """Runs tools/glyph_dump on a file: one dict per page."""
    if not GLYPH_DUMP.exists():
        pytest.fail(f"{GLYPH_DUMP} is not built (cmake -DTEXTLOOM_TESTS=ON, see README)")
    command = [str(GLYPH_DUMP), textloom.pdfium_library_path(), str(path)]
    if ligatures:
        command.append("--ligatures")
    done = subprocess.run(command, capture_output=True, text=True, timeout=300)
    pages = [json.loads(line) for line in done.stdout.splitlines()]
    if done.returncode != 0 and not any("error" in page for page in pages):
        pytest.fail(f"glyph_dump failed: {done.stderr}")
    return pages


def expected_code(u: int) -> int:
    if u == 2:
        return ord("-")
    if u == 0 or u >= 0xFFFE or 0xD800 <= u <= 0xDFFF:
        return 0xFFFD
    return u


def oracle_glyphs(pdf, index: int) -> dict:
    """PDFium's characters of one page read with pypdfium2's raw API: the
    kept ones (CR/LF and generated spaces dropped) with their codes and
    page-space origins, and the page's crop box."""
    page = pdf[index]
    try:
        l, b, r, t = (ctypes.c_float() for _ in range(4))
        rect = raw.FS_RECTF()
        if raw.FPDFPage_GetCropBox(page.raw, l, b, r, t) or raw.FPDFPage_GetMediaBox(
                page.raw, l, b, r, t):
            crop = (l.value, b.value, r.value, t.value)
        elif raw.FPDF_GetPageBoundingBox(page.raw, rect):
            crop = (rect.left, rect.bottom, rect.right, rect.top)
        else:
            crop = (0.0, 0.0, 612.0, 792.0)
        textpage = page.get_textpage()
        try:
            n = raw.FPDFText_CountChars(textpage.raw)
            kept = []
            x, y = ctypes.c_double(), ctypes.c_double()
            for i in range(max(n, 0)):
                u = raw.FPDFText_GetUnicode(textpage.raw, i)
                if u in (10, 13):
                    continue
                if u == 32 and raw.FPDFText_IsGenerated(textpage.raw, i) == 1:
                    continue
                raw.FPDFText_GetCharOrigin(textpage.raw, i, x, y)
                kept.append((i, expected_code(u), x.value - crop[0], crop[3] - y.value))
            return {"crop": crop, "n_chars": max(n, 0), "glyphs": kept}
        finally:
            textpage.close()
    finally:
        page.close()
