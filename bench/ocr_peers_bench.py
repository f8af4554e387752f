"""Peers' OCR on the scans bench/ocr_bench.py writes: PyMuPDF's OCR text page
(MuPDF's own Tesseract, on the system's tessdata) and RapidOCR (an ONNX-runtime
engine whose wheel bundles its PP-OCR models), scored as ocr_bench.py scores
textloom, on the same pages.

    .venv/bin/python bench/ocr_bench.py --scans /tmp/scans
    /work/venv-peers/bin/python bench/ocr_peers_bench.py /tmp/scans

Run it in the peers' environment only (pip install pymupdf
rapidocr-onnxruntime numpy): never in the project's. Each engine runs one
thread (OMP_THREAD_LIMIT=1 for Tesseract, one intra- and inter-op thread for
ONNX runtime), as textloom's workers do, and times are CPU time of the process.
PyMuPDF's time is its whole OCR text page and text (rendering at 300 dpi
included); RapidOCR's is its call on the page rendered at 300 dpi (rendering
apart).
"""

from __future__ import annotations

import argparse
import collections
import os
import time
from pathlib import Path

os.environ.setdefault("OMP_THREAD_LIMIT", "1")

import numpy  # noqa: E402
import pymupdf  # noqa: E402
from ocr_words import counts, words_of  # noqa: E402

TESSDATA = "/usr/share/tesseract-ocr/5/tessdata"
DPI = 300


def pymupdf_text(path: Path, language: str) -> str:
    with pymupdf.open(path) as doc:
        page = doc[0]
        textpage = page.get_textpage_ocr(dpi=DPI, full=True, language=language, tessdata=TESSDATA)
        return str(page.get_text("text", textpage=textpage))


def pixels(path: Path) -> numpy.ndarray:
    with pymupdf.open(path) as doc:
        pix = doc[0].get_pixmap(dpi=DPI, colorspace=pymupdf.csRGB, alpha=False)
        return numpy.frombuffer(pix.samples, dtype=numpy.uint8).reshape(pix.height, pix.width, 3).copy()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("scans", type=Path)
    parser.add_argument("--engines", default="pymupdf,rapidocr")
    options = parser.parse_args()
    engines = options.engines.split(",")
    rapid = None
    if "rapidocr" in engines:
        from rapidocr_onnxruntime import RapidOCR

        rapid = RapidOCR(intra_op_num_threads=1, inter_op_num_threads=1)
    totals: dict[str, list[float]] = collections.defaultdict(lambda: [0, 0, 0, 0.0])
    per_doc: dict[tuple[str, str], list[float]] = collections.defaultdict(lambda: [0, 0, 0, 0.0])
    for truth_path in sorted(options.scans.glob("*.txt")):
        language, _, text = truth_path.read_text(encoding="utf-8").partition("\n")
        truth = words_of(text)
        path = truth_path.with_suffix(".pdf")
        document = truth_path.stem.rsplit("-p", 1)[0]
        for name in engines:
            if name == "pymupdf":
                began = time.process_time()
                read = pymupdf_text(path, language)
                seconds = time.process_time() - began
            else:
                assert rapid is not None
                image = pixels(path)
                began = time.process_time()
                lines, _ = rapid(image)
                seconds = time.process_time() - began
                read = "\n".join(line[1] for line in lines or [])
            got = counts(truth, words_of(read))
            for key in (per_doc[document, name], totals[name]):
                key[:3] = [a + b for a, b in zip(key[:3], got)]
                key[3] += seconds
        print(document, path.stem, flush=True)
    print("| document | engine | precision | recall | words | s |")
    print("|---|---|---|---|---|---|")
    for (document, name), (hits, found, wanted, seconds) in sorted(per_doc.items()):
        print(f"| {document} | {name} | {hits / max(found, 1):.3f} | {hits / max(wanted, 1):.3f} | "
              f"{wanted:.0f} | {seconds:.1f} |")
    for name, (hits, found, wanted, seconds) in totals.items():
        print(f"| **all** | {name} | **{hits / max(found, 1):.3f}** | **{hits / max(wanted, 1):.3f}** | "
              f"{wanted:.0f} | {seconds:.1f} |")


if __name__ == "__main__":
    main()
