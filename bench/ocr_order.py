"""Reading order of OCR'd text beside the text layer's, under sort="reading".

    .venv/bin/python bench/ocr_order.py [--dpi 300]

The pages of bench/reading_order (its generated documents and the first page
of ../shared/corpus/latex-two-column.pdf, each with its known true word order)
are scored as reading_order/score.py scores them (difflib's ratio over word
sequences) twice: their text layer, and the page rendered at ``--dpi`` into an
image-only PDF read back with ``ocr="always"``. Words are compared as
ocr_words.py compares them, on both sides. Besides the OCR'd ratio, "OCR, its
own words": the true order cut down to the words OCR read right and OCR's
order cut down to the words of the truth, so that misread words do not count
as order. Skipped: right-to-left (Hebrew) and vertical CJK, which the English
model does not read.
"""

from __future__ import annotations

import argparse
import collections
import difflib
import io
import statistics
import sys
from pathlib import Path

from ocr_words import words_of

import textloom

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE / "reading_order"))
from documents import documents  # noqa: E402

CORPUS = HERE.parents[0] / ".." / "shared" / "corpus" / "latex-two-column.pdf"
SKIPPED = ("right-to-left", "vertical-cjk")


def keys(text: str) -> list[str]:
    return [key for word in text.split() for key in words_of(word)]


def ratio(truth: list[str], got: list[str]) -> float:
    return difflib.SequenceMatcher(None, truth, got, autojunk=False).ratio()


def own_words(truth: list[str], got: list[str]) -> float:
    """The ratio over the words both hold (each as often as the fewer holds it)."""
    shared = collections.Counter(truth) & collections.Counter(got)

    def cut(words: list[str]) -> list[str]:
        left, out = shared.copy(), []
        for word in words:
            if left[word] > 0:
                left[word] -= 1
                out.append(word)
        return out

    return ratio(cut(truth), cut(got))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dpi", type=float, default=300)
    options = parser.parse_args()
    pages: list[tuple[str, bytes, list[str]]] = []
    for name, writer, truth in documents():
        if name not in SKIPPED:
            pages.append((name, writer.tobytes(), keys(" ".join(truth))))
    if CORPUS.exists():
        truth_text = (HERE / "reading_order" / "truth" / "latex-two-column-page1.txt").read_text()
        pages.append(("latex-two-column-page1", CORPUS.read_bytes(), keys(truth_text)))
    rows = []
    print("| page | text layer | OCR | OCR, its own words | OCR minus layer |")
    print("|---|---|---|---|---|")
    for name, data, truth in pages:
        with textloom.open(data) as doc:
            layer = keys(doc[0].get_text(ocr="never"))
            image = doc[0].render(dpi=options.dpi).to_pil()
        out = io.BytesIO()
        image.save(out, format="PDF", resolution=options.dpi)
        with textloom.open(out.getvalue()) as scan:
            read = keys(scan[0].get_text(ocr="always"))
        row = (ratio(truth, layer), ratio(truth, read), own_words(truth, read))
        rows.append(row)
        print(f"| {name} | {row[0]:.4f} | {row[1]:.4f} | {row[2]:.4f} | {row[1] - row[0]:+.4f} |",
              flush=True)
    means = [statistics.fmean(row[k] for row in rows) for k in range(3)]
    print(f"| **mean** | **{means[0]:.4f}** | **{means[1]:.4f}** | **{means[2]:.4f}** | "
          f"**{means[1] - means[0]:+.4f}** |")


if __name__ == "__main__":
    main()
