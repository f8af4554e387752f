"""Reading-order quality: word-order similarity to a known true order.

For every document of documents.py, and for the first page of
../shared/corpus/latex-two-column.pdf (true order written by hand in
truth/latex-two-column-page1.txt), extracts the page text in each sort mode
and scores it by difflib.SequenceMatcher(None, true, got, autojunk=False)
.ratio() over word sequences; CJK characters count as words of their own.
Prints one row per document and the mean per mode.

The generated documents' true orders are frozen in truth/: a document whose
generated order differs from its frozen copy stops the run (regenerate the
copies only with --freeze, and never to suit a result).

Run: .venv/bin/python bench/reading_order/score.py [--freeze] [--corpus DIR]
"""

from __future__ import annotations

import argparse
import difflib
import statistics
import sys
from pathlib import Path

import pypdfium2 as pdfium

import textloom
from textloom import _native

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.path.insert(0, str(HERE))
from documents import documents  # noqa: E402

TRUTH = HERE / "truth"
OUT = ROOT / "bench" / "results" / "reading_order"
MODES = ("none", "simple", "xycut", "reading")
CORPUS_PAGES = (("latex-two-column.pdf", 0, "latex-two-column-page1"),)


def is_cjk(ch: str) -> bool:
    return 0x2E80 <= ord(ch) < 0xA000 or 0xF900 <= ord(ch) < 0xFB00


def tokens(text: str) -> list[str]:
    out: list[str] = []
    for word in text.split():
        piece = ""
        for ch in word:
            if is_cjk(ch):
                if piece:
                    out.append(piece)
                    piece = ""
                out.append(ch)
            else:
                piece += ch
        if piece:
            out.append(piece)
    return out


def score(truth: list[str], got: list[str]) -> float:
    return difflib.SequenceMatcher(None, truth, got, autojunk=False).ratio()


def page_scores(path: Path, index: int, truth: list[str], modes: tuple[str, ...]) -> list[float]:
    pdf = pdfium.PdfDocument(str(path))
    try:
        page = _native.load_page(textloom.document_address(pdf), index)
        out = []
        for mode in modes:
            try:
                text = page.get_text("text", sort=mode)
            except ValueError:  # a mode this build does not know
                out.append(float("nan"))
                continue
            out.append(score(truth, tokens(text)))
        return out
    finally:
        pdf.close()


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--freeze", action="store_true",
                        help="write the generated documents' true orders into truth/")
    parser.add_argument("--corpus", type=Path, default=ROOT.parent / "shared" / "corpus")
    args = parser.parse_args(argv)
    textloom.use_pdfium()
    OUT.mkdir(parents=True, exist_ok=True)
    rows: list[tuple[str, list[float]]] = []
    for name, writer, truth in documents():
        frozen = TRUTH / f"{name}.txt"
        if args.freeze:
            frozen.write_text(" ".join(truth) + "\n", encoding="utf-8")
        elif frozen.read_text(encoding="utf-8").split() != truth:
            print(f"{name}: generated true order differs from {frozen}", file=sys.stderr)
            return 1
        path = OUT / f"{name}.pdf"
        writer.save(path)
        rows.append((name, page_scores(path, 0, truth, MODES)))
    for file, index, name in CORPUS_PAGES:
        path = args.corpus / file
        if not path.exists():
            print(f"{path} missing: skipped", file=sys.stderr)
            continue
        truth = tokens((TRUTH / f"{name}.txt").read_text(encoding="utf-8"))
        rows.append((name, page_scores(path, index, truth, MODES)))

    width = max(len(name) for name, _ in rows)
    print(f"{'document':<{width}}  " + "  ".join(f"{m:>7}" for m in MODES))
    for name, values in rows:
        print(f"{name:<{width}}  " + "  ".join(f"{v:7.4f}" for v in values))
    means = [statistics.fmean(values[k] for _, values in rows) for k in range(len(MODES))]
    print(f"{'mean':<{width}}  " + "  ".join(f"{v:7.4f}" for v in means))
    return 0


if __name__ == "__main__":
    sys.exit(main())
