"""render_page next to PDFium's own render into a buffer, and memory over many renders.

For each page (the first --pages of every document) at scales 1 and 2, in one
run and interleaved: render_page, and the same PDFium calls made through
pypdfium2's raw bindings (load the page, a bitmap over a buffer of the same
size, fill, FPDF_RenderPageBitmap, bytes of the buffer, close). Per page the
median of --rounds calls of each; then the median over pages of the ratio.

Then RSS: after 100 warm-up renders, over 1,000 renders at scale 2 and over
1,000 failing renders (a page past the end, an unusable timeout, a clip too
large to allocate, a time limit that runs out).

Run: .venv/bin/python bench/render_bench.py [PDF ...] [--pages N] [--rounds N]
"""

from __future__ import annotations

import argparse
import ctypes
import math
import statistics
import time
from functools import partial
from pathlib import Path

import pypdfium2 as pdfium
from pypdfium2 import raw
from text_bench import CORPUS, rss_kib  # bench/ is the script's folder

import textloom
from textloom import _native

DEFAULT = [CORPUS / "latex-book-geotopo.pdf", CORPUS / "table-nics.pdf",
           CORPUS / "annotated.pdf", CORPUS / "google-doc.pdf"]


def pdfium_render(pdf, index: int, scale: float) -> bytes:
    """PDFium's own render into a buffer, sized as render_page sizes it."""
    page = raw.FPDF_LoadPage(pdf.raw, index)
    try:
        l, b, r, t = (ctypes.c_float() for _ in range(4))
        if raw.FPDFPage_GetCropBox(page, l, b, r, t) or raw.FPDFPage_GetMediaBox(page, l, b, r, t):
            w, h = abs(r.value - l.value), abs(t.value - b.value)
        else:  # boxes inherited from the page tree: PDFium's bounding box
            rect = raw.FS_RECTF()
            raw.FPDF_GetPageBoundingBox(page, rect)
            w, h = abs(rect.right - rect.left), abs(rect.top - rect.bottom)
        if raw.FPDFPage_GetRotation(page) & 1:
            w, h = h, w
        width = max(1, math.floor(w * scale + 0.5 + 1e-9))
        height = max(1, math.floor(h * scale + 0.5 + 1e-9))
        buffer = ctypes.create_string_buffer(width * height * 3)
        bitmap = raw.FPDFBitmap_CreateEx(width, height, raw.FPDFBitmap_BGR, buffer, width * 3)
        raw.FPDFBitmap_FillRect(bitmap, 0, 0, width, height, 0xFFFFFFFF)
        raw.FPDF_RenderPageBitmap(bitmap, page, 0, 0, width, height, 0,
                                  raw.FPDF_REVERSE_BYTE_ORDER | raw.FPDF_ANNOT)
        raw.FPDFBitmap_Destroy(bitmap)
        return buffer.raw
    finally:
        raw.FPDF_ClosePage(page)


def timed(call) -> int:
    start = time.thread_time_ns()
    call()
    return time.thread_time_ns() - start


def bench_speed(paths: list[Path], pages: int, rounds: int) -> None:
    for scale in (1, 2):
        ratios, ours_all, theirs_all = [], [], []
        for path in paths:
            pdf = pdfium.PdfDocument(str(path))
            addr = textloom.document_address(pdf)
            for index in range(min(pages, len(pdf))):
                ours, theirs = [], []
                ours_call = partial(_native.render_page, addr, index, scale, scale)
                theirs_call = partial(pdfium_render, pdf, index, scale)
                if ours_call()[3] != theirs_call():  # warm-up, and like for like
                    raise SystemExit(f"{path.name} page {index}: the renders differ")
                for _ in range(rounds):
                    ours.append(timed(ours_call))
                    theirs.append(timed(theirs_call))
                ours_all.append(statistics.median(ours))
                theirs_all.append(statistics.median(theirs))
                ratios.append(ours_all[-1] / theirs_all[-1])
            pdf.close()
        print(f"scale {scale}: {len(ratios)} pages; median per page render_page "
              f"{statistics.median(ours_all) / 1e6:.2f} ms, PDFium into a buffer "
              f"{statistics.median(theirs_all) / 1e6:.2f} ms; render_page / PDFium per page: "
              f"median {statistics.median(ratios):.3f}, worst {max(ratios):.3f}")


def bench_memory(path: Path, calls: int) -> None:
    pdf = pdfium.PdfDocument(str(path))
    addr = textloom.document_address(pdf)
    n = len(pdf)

    def fail(i: int) -> None:
        attempts = [
            lambda: _native.render_page(addr, n + i, 2, 2),
            lambda: _native.render_page(addr, i % n, 2, 2, timeout=-1.0),
            lambda: _native.render_page(addr, i % n, 2, 2, clip=(0, 0, 1e7, 1e7)),
            lambda: _native.render_page(addr, i % n, 2, 2, timeout=1e-7),
        ]
        try:
            attempts[i % len(attempts)]()
        except (RuntimeError, ValueError, MemoryError):
            return
        if i % len(attempts) != 3:  # a time limit may be met by a page that renders at once
            raise SystemExit("a failing render succeeded")

    for label, step in (("renders at scale 2", lambda i: _native.render_page(addr, i % n, 2, 2)),
                        ("failing renders", fail)):
        for i in range(100):
            step(i)
        before = rss_kib()
        for i in range(calls):
            step(i)
        after = rss_kib()
        print(f"RSS over {calls} {label} on {path.name} (after 100 warm-up): "
              f"{before} KiB -> {after} KiB ({after - before:+d} KiB)")
    pdf.close()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pdf", nargs="*", type=Path, default=DEFAULT)
    parser.add_argument("--pages", type=int, default=10)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--memory-calls", type=int, default=1_000)
    args = parser.parse_args()
    textloom.use_pdfium()
    bench_speed(args.pdf, args.pages, args.rounds)
    bench_memory(args.pdf[0], args.memory_calls)


if __name__ == "__main__":
    main()
