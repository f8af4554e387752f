"""OCR quality and cost: corpus pages rendered to images, read back by OCR.

    python bench/ocr_bench.py [FILES...] [--dpi 300] [--pages 3]

For the first ``--pages`` pages of each document (../shared/corpus and
../shared/tables by default): the page is rendered at ``--dpi`` and saved as
an image-only PDF in memory, which textloom then reads with ``ocr="always"``.
Word precision and recall of those words against the page's own text layer
(multisets of words, compared as lowercase letters and digits), per document
and over all, and the time: rendering the image, Tesseract's own recognition,
and textloom's whole ``get_text`` of the scan (which renders, recognises and
lays out).
"""

from __future__ import annotations

import argparse
import collections
import io
import re
import time
from pathlib import Path

import textloom
from textloom import _ocr

SHARED = Path(__file__).resolve().parents[1] / ".." / "shared"
_KEY = re.compile(r"[^0-9a-z]+")


def words_of(text: str) -> collections.Counter[str]:
    keys = (_KEY.sub("", word.lower()) for word in text.split())
    return collections.Counter(key for key in keys if key)


def scan(page: textloom.Page, dpi: float) -> bytes:
    image = page.render(dpi=dpi).to_pil()
    out = io.BytesIO()
    image.save(out, format="PDF", resolution=dpi)
    return out.getvalue()


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="*", type=Path)
    parser.add_argument("--dpi", type=float, default=300)
    parser.add_argument("--pages", type=int, default=3)
    options = parser.parse_args()
    files = options.files or sorted((SHARED / "corpus").glob("*.pdf")) + sorted(
        (SHARED / "tables" / "icdar2013-eu").glob("*.pdf"))[:5]
    hits = found = wanted = 0
    engine_seconds = ours = 0.0
    engine = _ocr.engine("eng")
    for path in files:
        doc_hits = doc_found = doc_wanted = 0
        with textloom.open(path) as doc:
            for index in range(min(options.pages, len(doc))):
                truth = words_of(doc[index].get_text(ocr="never"))
                if not truth:
                    continue
                data = scan(doc[index], options.dpi)
                with textloom.open(data) as scanned:
                    page = scanned[0]
                    image = page.render(dpi=_ocr.ocr_dpi(page.width, page.height, options.dpi),
                                        grayscale=True, rotated=False)
                    began = time.perf_counter()
                    engine.words(image, options.dpi)
                    engine_seconds += time.perf_counter() - began
                with textloom.open(data) as scanned:
                    began = time.perf_counter()
                    read = words_of(scanned[0].get_text(ocr="always"))
                    ours += time.perf_counter() - began
                doc_hits += sum((read & truth).values())
                doc_found += sum(read.values())
                doc_wanted += sum(truth.values())
        if doc_wanted:
            print(f"{path.name}: precision {doc_hits / max(doc_found, 1):.3f}, "
                  f"recall {doc_hits / doc_wanted:.3f} ({doc_wanted} words)")
        hits, found, wanted = hits + doc_hits, found + doc_found, wanted + doc_wanted
    print(f"all: precision {hits / max(found, 1):.3f}, recall {hits / max(wanted, 1):.3f} "
          f"({wanted} words); Tesseract {engine_seconds:.1f} s, textloom's OCR'd get_text "
          f"{ours:.1f} s ({ours / max(engine_seconds, 1e-9):.2f}x)")


if __name__ == "__main__":
    main()
