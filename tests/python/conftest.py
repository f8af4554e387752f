"""Shared fixtures: the initialised native module, generated and corpus PDFs,
the bundled sample, the glyph_dump tool, and an independent reading of
PDFium's characters through pypdfium2's raw API (the oracle our glyphs are
compared with)."""

from __future__ import annotations

import ctypes
import json
import os
import subprocess
import sys
from collections.abc import Callable, Iterator
from typing import Any
from pathlib import Path

import pypdfium2 as pdfium
import pypdfium2.raw as raw
import pytest
from fpdf import FPDF

import textloom
from textloom import _native

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import pdfgen  # noqa: E402  (tools/pdfgen.py writes the tests' PDFs)

ROOT = Path(__file__).resolve().parents[2]
# The shared test documents: $TEXTLOOM_SHARED, else ../shared beside the
# repository (a worktree one level deeper finds it one level further up).
SHARED = Path(os.environ.get("TEXTLOOM_SHARED") or next(
    (p / "shared" for p in ROOT.parents if (p / "shared" / "corpus").is_dir()), ROOT.parent / "shared"))
CORPUS = SHARED / "corpus"
TABLES = SHARED / "tables"
_ABSENT = f"the shared test documents are not in {SHARED} (set TEXTLOOM_SHARED)"
GLYPH_DUMP = ROOT / "build" / "tests" / "glyph_dump"
SAMPLE = Path(textloom.__file__).with_name("sample.pdf")
# Advance widths of the standard Helvetica (AFM), in thousandths of an em.
HELVETICA = {" ": 278, "-": 333, "2": 556, "=": 584, "A": 667, "B": 667, "E": 667, "G": 778,
             "H": 722, "N": 722, "T": 611, "V": 667, "a": 556, "b": 556, "c": 500, "d": 556,
             "e": 556, "i": 222, "l": 222, "m": 833, "o": 556, "r": 333, "s": 500, "t": 278,
             "w": 722, "x": 500}
SCHEMAS = ["text", "blocks", "words", "dict", "rawdict"]
SORTS = [None, "simple", "xycut"]


def shared_document(path: Path) -> textloom.Document:
    """A shared document opened; the test skips where PDFium cannot open it."""
    try:
        return textloom.open(path)
    except textloom.PdfError:
        pytest.skip("PDFium cannot open it")


def readable_pages(doc: textloom.Document, read: Callable[[textloom.Page], Any]) -> Iterator[Any]:
    """(page, read(page)) for each page of ``doc`` PDFium can load."""
    for page in doc:
        try:
            result = read(page)
        except textloom.PdfError:
            continue  # a page PDFium cannot load
        yield page, result


@pytest.fixture(scope="session")
def corpus() -> Path:
    """../shared/corpus; the test skips, saying why, where it is absent."""
    if not CORPUS.is_dir():
        pytest.skip(_ABSENT)
    return CORPUS


def pytest_collection_modifyitems(items) -> None:
    """Marks "shared" the tests of every module that reads the shared documents, so
    that a run with them absent (make test-fresh) proves those tests skip cleanly."""
    for item in items:
        module = getattr(item, "module", None)
        if module is not None and {"CORPUS", "TABLES", "corpus_files"} & set(vars(module)) \
                or "corpus" in getattr(item, "fixturenames", ()):
            item.add_marker("shared")


def cli(*args: str | Path, timeout: float = 300, **kwargs) -> subprocess.CompletedProcess[bytes]:
    """The command line in a subprocess, its output captured."""
    return subprocess.run([sys.executable, "-m", "textloom", *map(str, args)],
                          capture_output=True, timeout=timeout, **kwargs)


def corpus_files() -> list:
    """The corpus PDFs to parametrise over, or one skipped case where they are absent."""
    if not CORPUS.is_dir():
        return [pytest.param(None, marks=pytest.mark.skip(reason=_ABSENT), id="no-corpus")]
    return sorted(CORPUS.glob("*.pdf"))


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


def page_of(*runs, **page_args) -> pdfgen.PdfWriter:
    """A writer of one page holding runs (x, y, text, keyword arguments)."""
    writer = pdfgen.PdfWriter()
    p = writer.page(**page_args)
    for x, y, text, *kwargs in runs:
        p.text(x, y, text, **(kwargs[0] if kwargs else {"size": 10}))
    return writer


def load(native, open_pdf, writer, index=0):
    return native.load_page(open_pdf(writer).addr, index)


def lines_of(tree) -> list:
    """The lines of a page's tree (its "blocks"), or of a list of blocks."""
    return [line for block in (tree["blocks"] if isinstance(tree, dict) else tree)
            for line in block["lines"]]


def spans_of(tree) -> list:
    return [span for line in lines_of(tree) for span in line["spans"]]


def chars_of(tree) -> list:
    return [char for span in spans_of(tree) for char in span["chars"]]


def linked_pdf(path: Path, password: str | None = None) -> Path:
    """Two pages of 400 x 300 pt; page 1 has a URI link and a link to page 2."""
    pdf = FPDF(unit="pt", format=(400, 300))
    pdf.set_font("helvetica", size=12)
    pdf.add_page()
    pdf.text(50, 50, "first page")
    pdf.link(40, 60, 100, 20, "https://example.org/a")
    pdf.link(40, 100, 80, 30, pdf.add_link(page=2))
    pdf.add_page()
    pdf.text(50, 50, "second page")
    if password:
        pdf.set_encryption(owner_password="owner", user_password=password)
    pdf.output(str(path))
    return path


def form_pdf(appearance: bool = False) -> bytes:
    """A 200 x 100 pt page with one text field (yellow, "Hello form"). Without
    ``appearance`` it has no appearance stream, and only a form-fill environment
    draws it; with it, the field's appearance shows its text."""
    shown = b"BT /Helv 14 Tf 2 8 Td (Hello form) Tj ET"
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [4 0 R] /NeedAppearances true "
        b"/DA (/Helv 0 Tf 0 g) /DR << /Font << /Helv 5 0 R >> >> >> >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Annots [4 0 R] >>",
        b"<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Hello form) /Rect [20 40 180 70] "
        b"/P 3 0 R /DA (/Helv 14 Tf 0 0 1 rg) /F 4 /MK << /BG [1 1 0] >>"
        + (b" /AP << /N 6 0 R >>" if appearance else b"") + b" >>",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        b"<< /Type /XObject /Subtype /Form /BBox [0 0 160 30] /Resources << /Font << /Helv 5 0 R "
        b">> >> /Length %d >>\nstream\n%s\nendstream" % (len(shown), shown),
    ]
    return raw_pdf(objects)


# A filled form: its fields (name, /FT, the rest of the field's dictionary,
# /Rect) and what reading them gives (type, value, read-only).
FORM_FIELDS = [
    ("name", b"/Tx", b"/V (Ada Lovelace)", b"50 700 250 720", ("text", "Ada Lovelace", False)),
    ("notes", b"/Tx", b"/Ff 4096 /V (first line\rsecond line)", b"50 600 300 660",
     ("text", "first line\rsecond line", False)),
    ("agree", b"/Btn", b"/V /Yes /AS /Yes", b"50 560 62 572", ("checkbox", True, False)),
    ("spam", b"/Btn", b"/V /Off /AS /Off", b"80 560 92 572", ("checkbox", False, False)),
    ("color", b"/Ch", b"/Ff 131072 /Opt [(Red) (Green) (Blue)] /V (Green)", b"50 520 200 540",
     ("combo", ["Green"], False)),
    ("tags", b"/Ch", b"/Ff 2097152 /Opt [(a) (b) (c)] /V [(a) (c)] /I [0 2]", b"50 450 200 510",
     ("list", ["a", "c"], False)),
    ("id", b"/Tx", b"/Ff 1 /V (X-42)", b"300 700 400 720", ("text", "X-42", True)),
    ("empty", b"/Tx", b"", b"300 660 400 680", ("text", None, False)),
]
NOTE = "Check this " * 200_000  # megabytes of a note: cut to MAX_TEXT characters


def filled_form_pdf() -> bytes:
    """A page of the form fields of FORM_FIELDS (none with an appearance stream,
    but the check boxes' on and off states), a radio group "size" of two buttons
    with "L" on, a widget of no field, a free-text annotation, a comment with an
    author and a date, and a highlight."""
    objects = [b"", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>", b"",
               b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
               stream(b"/Type /XObject /Subtype /Form /BBox [0 0 12 12]", b"")]
    state = b"/AP << /N << /Yes 5 0 R /Off 5 0 R >> >> /MK << >>"
    fields, annots = [], []
    for name, kind, rest, rect, _ in FORM_FIELDS:
        extra = state if kind == b"/Btn" else b""
        objects.append(b"<< /Type /Annot /Subtype /Widget /FT %s /T (%s) %s /Rect [%s] /P 3 0 R "
                       b"/DA (/Helv 10 Tf 0 g) /F 4 %s >>" % (kind, name.encode(), rest, rect, extra))
        fields.append(len(objects))
    radio = len(objects) + 1
    objects.append(b"<< /FT /Btn /Ff 49152 /T (size) /V /L /Kids [%d 0 R %d 0 R] >>" % (radio + 1, radio + 2))
    for on, state_name, x in ((False, b"S", 50), (True, b"L", 80)):
        objects.append(b"<< /Type /Annot /Subtype /Widget /Parent %d 0 R /Rect [%d 420 %d 432] /P 3 0 R "
                       b"/AS /%s /AP << /N << /%s 5 0 R /Off 5 0 R >> >> /F 4 >>"
                       % (radio, x, x + 12, state_name if on else b"Off", state_name))
        annots.append(len(objects))
    fields.append(radio)
    others = [b"<< /Type /Annot /Subtype /Widget /Rect [0 0 10 10] /P 3 0 R >>",
              b"<< /Type /Annot /Subtype /FreeText /Rect [300 500 500 530] /Contents (Free note) "
              b"/DA (/Helv 12 Tf 0 g) >>",
              b"<< /Type /Annot /Subtype /Text /Rect [500 700 520 720] /Contents (%s) /T (Reviewer) "
              b"/M (D:20240102030405Z) >>" % NOTE.encode(),
              b"<< /Type /Annot /Subtype /Highlight /Rect [50 300 150 320] "
              b"/QuadPoints [50 320 150 320 50 300 150 300] >>"]
    for body in others:
        objects.append(body)
        annots.append(len(objects))
    objects[0] = (b"<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [%s] /DA (/Helv 0 Tf 0 g) "
                  b"/DR << /Font << /Helv 4 0 R >> >> >> >>"
                  % b" ".join(b"%d 0 R" % n for n in fields))
    widgets = [n for n in fields if n != radio] + annots
    objects[2] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Annots [%s] >>"
                  % b" ".join(b"%d 0 R" % n for n in sorted(widgets)))
    return raw_pdf(objects)


def raw_pdf(objects: list[bytes]) -> bytes:
    """A PDF of ``objects`` (numbered from 1, the catalog first), with its xref."""
    out = bytearray(b"%PDF-1.7\n")
    offsets = []
    for number, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


def stream(dictionary: bytes, data: bytes) -> bytes:
    return b"<< %s /Length %d >>\nstream\n%s\nendstream" % (dictionary, len(data), data)


def troubled_pdf(*pages: str) -> bytes:
    """Pages of text ("page N"), but "missing" is a page whose object is gone
    (PDFium counts it and cannot load it), and "fanout:K" a page that draws a
    form that draws the form below it ten times, K levels deep: 10**K draws,
    which PDFium parses for seconds (K = 6) or until memory runs out (K = 8)."""
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b""]
    font = len(objects) + 1
    objects.append(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    kids = []
    for number, kind in enumerate(pages, start=1):
        if kind == "missing":
            kids.append(b"999 0 R")
            continue
        resources = b"/Font << /F1 %d 0 R >>" % font
        content = b"BT /F1 12 Tf 72 700 Td (page %d) Tj ET" % number
        if kind.startswith("fanout:"):
            objects.append(stream(b"/Type /XObject /Subtype /Form /BBox [0 0 612 792]",
                                  b"0 0 m 10 10 l S"))
            for _ in range(int(kind.split(":")[1])):
                draws = b" ".join(b"q 1 0 0 1 %d 0 cm /X Do Q" % i for i in range(10))
                objects.append(stream(b"/Type /XObject /Subtype /Form /BBox [0 0 612 792] "
                                      b"/Resources << /XObject << /X %d 0 R >> >>" % len(objects),
                                      draws))
            resources += b" /XObject << /X %d 0 R >>" % len(objects)
            content += b" /X Do"
        objects.append(stream(b"", content))
        objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                       b"/Resources << %s >> >>" % (len(objects), resources))
        kids.append(b"%d 0 R" % len(objects))
    objects[1] = b"<< /Type /Pages /Kids [%s] /Count %d >>" % (b" ".join(kids), len(pages))
    return raw_pdf(objects)


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
        else:  # neither box: PDFium's own (pages of the corpus have it)
            assert raw.FPDF_GetPageBoundingBox(page.raw, rect)
            crop = (rect.left, rect.bottom, rect.right, rect.top)
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
