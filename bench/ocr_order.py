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
as order; and "words read", the share of the true words OCR read right (a
multiset comparison: what the ratio loses to recognition). Means over the
generated pages, then over all. Skipped: right-to-left (Hebrew) and vertical CJK, which the English
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
    parser.add_argument("names", nargs="*", help="only these pages")
    options = parser.parse_args()
    pages: list[tuple[str, bytes, list[str]]] = []
    for name, writer, truth in documents():
        if name not in SKIPPED:
            pages.append((name, writer.tobytes(), keys(" ".join(truth))))
    if CORPUS.exists():
        truth_text = (HERE / "reading_order" / "truth" / "latex-two-column-page1.txt").read_text()
        pages.append(("latex-two-column-page1", CORPUS.read_bytes(), keys(truth_text)))
    rows: list[tuple[float, ...]] = []
    done: list[str] = []
    print("| page | text layer | OCR | OCR, its own words | words read | OCR minus layer |")
    print("|---|---|---|---|---|---|")
    for name, data, truth in pages:
        if options.names and name not in options.names:
            continue
        with textloom.open(data) as doc:
            layer = keys(doc[0].get_text(ocr="never"))
            image = doc[0].render(dpi=options.dpi).to_pil()
        out = io.BytesIO()
        image.save(out, format="PDF", resolution=options.dpi)
        with textloom.open(out.getvalue()) as scan:
            read = keys(scan[0].get_text(ocr="always"))
        right = sum((collections.Counter(truth) & collections.Counter(read)).values())
        row = (ratio(truth, layer), ratio(truth, read), own_words(truth, read),
               right / max(len(truth), 1))
        rows.append(row)
        done.append(name)
        print(f"| {name} | {row[0]:.4f} | {row[1]:.4f} | {row[2]:.4f} | {row[3]:.4f} | "
              f"{row[1] - row[0]:+.4f} |", flush=True)
    generated = [row for name, row in zip(done, rows) if name != "latex-two-column-page1"]
    for label, chosen in (("mean, generated", generated), ("mean, all", rows)):
        if chosen:
            means = [statistics.fmean(row[k] for row in chosen) for k in range(4)]
            print(f"| **{label}** | **{means[0]:.4f}** | **{means[1]:.4f}** | **{means[2]:.4f}** | "
                  f"**{means[3]:.4f}** | **{means[1] - means[0]:+.4f}** |")


if __name__ == "__main__":
    main()
