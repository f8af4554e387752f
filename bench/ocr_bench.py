"""OCR quality and cost: corpus pages rendered to images, read back by OCR.

    python bench/ocr_bench.py [FILES...] [--dpi 300] [--pages 3] [--scans DIR]

For the first ``--pages`` pages of each document (../shared/corpus and the
first five ICDAR 2013 EU documents of ../shared/tables by default): the page
is rendered at ``--dpi`` and saved as an image-only PDF in memory, which
textloom then reads with ``ocr="always"``, in the document's language
(``LANGUAGES``, where Tesseract has its data; English otherwise). Word
precision and recall of those words against the page's own text layer
(multisets of words, compared as ocr_words.py says), per document and over
all, and beside it over all but the documents whose own text layer is wrong
(``APART``, each with its reason). Times are CPU time of the thread (the
cores are shared): Tesseract's own recognition of the very pixels textloom
hands it (the page rendered as textloom renders it), and textloom's whole
OCR'd ``get_text`` of a freshly opened scan (the pixels, recognition, the
words read out, layout), and how much of that call the engine itself spent
in its heavy calls (each recognition, orientation detection, taking the
image, its result iterator's steps and word texts, which work out each
line's word order) and PDFium in making the pixels (decoding a scan's own
image, or rendering the page): what is left is textloom's wrapping, the
pixels' hand-off, the rest of the words' read-out and the layout.
``--scans DIR`` also writes each scan and its text layer
(DIR/<document>-p<N>.pdf and .txt) for bench/ocr_peers_bench.py.
"""

from __future__ import annotations

import argparse
import io
import os
import time
from pathlib import Path
from typing import Any

from ocr_words import counts, words_of

import textloom
from textloom import _ocr

SHARED = Path(__file__).resolve().parents[1] / ".." / "shared"
LANGUAGES = {"latex-book-geotopo.pdf": "deu", "arabic-habibi.pdf": "ara", "japanese-jo.pdf": "jpn"}
APART = {  # documents whose text layer is not what the page shows
    "duplicate-chars.pdf": "its text layer paints each character twice (fake bold)",
    "malformed-1.pdf": "a Chinese page whose text layer holds only its digits",
    "arabic-habibi.pdf": "its text layer holds glyphs of the wrong script beside the Arabic",
    "eu-002.pdf": "a chart drawn as an image shows words its text layer lacks",
}


def scan(page: textloom.Page, dpi: float) -> bytes:
    image = page.render(dpi=dpi).to_pil()
    out = io.BytesIO()
    image.save(out, format="PDF", resolution=dpi)
    return out.getvalue()


ENGINE_CALLS = ("TessBaseAPIRecognize", "TessBaseAPIDetectOrientationScript", "TessBaseAPISetImage",
                "TessResultIteratorNext", "TessResultIteratorGetUTF8Text")
inside = [0.0]  # thread seconds spent in ENGINE_CALLS
pixels = [0.0]  # thread seconds PDFium spends making the pixels OCR reads


def timed(function: Any, into: list[float] = inside) -> Any:
    def call(*args: Any) -> Any:
        began = time.thread_time()
        try:
            return function(*args)
        finally:
            into[0] += time.thread_time() - began
    return call


def watch_pixels() -> None:
    """Count the time PDFium spends decoding scans and rendering pages into ``pixels``."""
    import pypdfium2.raw as raw

    from textloom import _native

    raw.FPDFImageObj_GetBitmap = timed(raw.FPDFImageObj_GetBitmap, pixels)
    _native.render_page = timed(_native.render_page, pixels)  # type: ignore[attr-defined]


def watch(engine: _ocr.Engine) -> None:
    """Count the time ``engine`` spends in its heavy calls into ``inside``."""
    for name in ENGINE_CALLS:
        function = getattr(engine.lib, name)
        if not hasattr(function, "__wrapped__"):
            wrapper = timed(function)
            wrapper.__wrapped__ = function
            setattr(engine.lib, name, wrapper)


def has_language(language: str) -> bool:
    try:
        _ocr.engine(language)
    except _ocr.OcrUnavailable:
        return False
    return True


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="*", type=Path)
    parser.add_argument("--dpi", type=float, default=300)
    parser.add_argument("--pages", type=int, default=3)
    parser.add_argument("--scans", type=Path)
    options = parser.parse_args()
    files = options.files or sorted((SHARED / "corpus").glob("*.pdf")) + sorted(
        (SHARED / "tables" / "icdar2013-eu").glob("*.pdf"))[:5]
    if options.scans:
        options.scans.mkdir(parents=True, exist_ok=True)
    total = [0, 0, 0]
    kept = [0, 0, 0]
    engine_seconds = ours = ours_inside = ours_pixels = 0.0
    watch_pixels()
    if _ocr.engine("eng").turns:
        watch(_ocr.engine("osd"))
    print("| document | language | precision | recall | words | Tesseract s | textloom s |")
    print("|---|---|---|---|---|---|---|")
    for path in files:
        language = LANGUAGES.get(path.name, "eng")
        language = language if has_language(language) else "eng"
        engine = _ocr.engine(language)
        watch(engine)
        doc_counts = [0, 0, 0]
        doc_engine = doc_ours = 0.0
        with textloom.open(path) as doc:
            for index in range(min(options.pages, len(doc))):
                text = doc[index].get_text(ocr="never")
                truth = words_of(text)
                if not truth:
                    continue
                data = scan(doc[index], options.dpi)
                if options.scans:
                    stem = options.scans / f"{path.stem}-p{index + 1}"
                    stem.with_suffix(".pdf").write_bytes(data)
                    stem.with_suffix(".txt").write_text(f"{language}\n{text}", encoding="utf-8")
                with textloom.open(data) as scanned:
                    page = scanned[0]
                    image = page.render(dpi=_ocr.ocr_dpi(page.width, page.height, options.dpi),
                                        grayscale=True, rotated=False)
                    began = time.thread_time()
                    engine.words(image, options.dpi)
                    doc_engine += time.thread_time() - began
                with textloom.open(data, ocr_language=language) as scanned:
                    before, pixels_before = inside[0], pixels[0]
                    began = time.thread_time()
                    read = words_of(scanned[0].get_text(ocr="always"))
                    doc_ours += time.thread_time() - began
                    ours_inside += inside[0] - before
                    ours_pixels += pixels[0] - pixels_before
                doc_counts = [a + b for a, b in zip(doc_counts, counts(truth, read))]
        if not doc_counts[2]:
            continue
        hits, found, wanted = doc_counts
        note = f" ({APART[path.name]})" if path.name in APART else ""
        print(f"| {path.stem}{note} | {language} | {hits / max(found, 1):.3f} | "
              f"{hits / wanted:.3f} | {wanted} | {doc_engine:.1f} | {doc_ours:.1f} |", flush=True)
        total = [a + b for a, b in zip(total, doc_counts)]
        if path.name not in APART:
            kept = [a + b for a, b in zip(kept, doc_counts)]
        engine_seconds, ours = engine_seconds + doc_engine, ours + doc_ours
    for name, (hits, found, wanted) in (("all", total), ("all but those apart", kept)):
        print(f"| **{name}** | | **{hits / max(found, 1):.3f}** | **{hits / max(wanted, 1):.3f}** | "
              f"{wanted} | | |")
    print(f"\nTesseract {engine_seconds:.1f} s, textloom's OCR'd get_text {ours:.1f} s "
          f"({ours / max(engine_seconds, 1e-9):.3f}x); of it in the engine's heavy calls "
          f"{ours_inside:.1f} s, PDFium making the pixels {ours_pixels:.1f} s, the rest "
          f"{ours - ours_inside - ours_pixels:.1f} s ({ours / max(ours_inside, 1e-9):.3f}x the "
          f"engine's part; without the pixels' making "
          f"{(ours - ours_pixels) / max(ours_inside, 1e-9):.3f}x); OMP_THREAD_LIMIT="
          f"{os.environ.get('OMP_THREAD_LIMIT')}")


if __name__ == "__main__":
    main()
