"""Table quality and speed on the ICDAR 2013 EU documents.

Runs ``Page.find_tables`` on every page of ../shared/tables/icdar2013-eu/*.pdf,
writes the predictions (page 1-based, boxes in PDF user space, y up) as
build/tables/PRED.json, scores them with the set's own scorer and prints
detection and adjacency-relation precision, recall and F1; then the median
per-page time of ``find_tables`` beside ``get_text("dict")`` on the same pages
(glyphs extracted beforehand, the two calls interleaved page by page, the
fastest of five rounds each, CPU time of the thread, as the cores are shared),
and on the pages of ../shared/corpus where it finds no table, its time beside
the page's extraction. With ``--worst N``, the N ground-truth tables with the
lowest adjacency F1 (through the scorer's own pairing and relations).

    .venv/bin/python bench/tables_score.py [--strategy auto|lines|text] [--worst N]
"""

from __future__ import annotations

import argparse
import importlib.util
import json
import statistics
import subprocess
import sys
import time
from pathlib import Path
from typing import Any

import textloom

ROOT = Path(__file__).resolve().parent.parent
DATA = ROOT.parent / "shared" / "tables"
OUT = ROOT / "build" / "tables"
ROUNDS = 5
"""Calls of each kind per page, interleaved; the fastest of each counts (the
cores are shared, and other work only ever adds time)."""


def user_box(bbox: tuple[float, float, float, float], crop: tuple[float, ...],
             rotation: int) -> list[float]:
    """A page-space box (y down from the crop box's top) in PDF user space, y up;
    on a page turned a quarter clockwise, in the frame the ground truth gives such
    pages: the viewer's, y up."""
    x0, y0, x1, y1 = bbox
    box = [x0 + crop[0], crop[3] - y1, x1 + crop[0], crop[3] - y0]
    if rotation == 90:
        box = [box[1], crop[2] - box[2], box[3], crop[2] - box[0]]
    return box


def predict(strategy: str) -> tuple[dict[str, list[dict[str, Any]]], list[float], list[float]]:
    pred: dict[str, list[dict[str, Any]]] = {}
    find_times: list[float] = []
    dict_times: list[float] = []
    for path in sorted((DATA / "icdar2013-eu").glob("*.pdf")):
        tables = pred.setdefault(path.stem, [])
        with textloom.open(path) as doc:
            for page in doc:
                page.get_text("text")  # glyphs extracted before timing
                best_dict = best_find = float("inf")
                for _ in range(ROUNDS):
                    t0 = time.thread_time()
                    page.get_text("dict")
                    t1 = time.thread_time()
                    found = page.find_tables(strategy=strategy)
                    t2 = time.thread_time()
                    best_dict, best_find = min(best_dict, t1 - t0), min(best_find, t2 - t1)
                dict_times.append(best_dict)
                find_times.append(best_find)
                for table in found:
                    tables.append({
                        "page": page.index + 1,
                        "bbox": user_box(table.bbox, page.crop, page.rotation),
                        "cells": [{"row": c.row, "col": c.col, "row_span": c.row_span,
                                   "col_span": c.col_span, "text": c.text} for c in table.cells],
                    })
    return pred, find_times, dict_times


def plain_pages(strategy: str) -> list[float]:
    """find_tables' time over the extraction's on corpus pages without tables."""
    ratios = []
    for path in sorted((DATA.parent / "corpus").glob("*.pdf")):
        try:
            doc = textloom.open(path)
        except textloom.PdfError:
            continue
        with doc:
            for page in doc:
                t0 = time.thread_time()
                try:
                    page.get_text("text")
                except textloom.PdfError:
                    continue
                extract = time.thread_time() - t0
                best = float("inf")
                for _ in range(ROUNDS):
                    t1 = time.thread_time()
                    found = page.find_tables(strategy=strategy)
                    best = min(best, time.thread_time() - t1)
                if not found and extract > 0:
                    ratios.append(best / extract)
    return ratios


def worst(pred: dict[str, list[dict[str, Any]]], count: int) -> None:
    """The ground-truth tables whose adjacency relations we match worst."""
    found = importlib.util.spec_from_file_location("table_scorer", DATA / "score.py")
    assert found is not None and found.loader is not None
    scorer = importlib.util.module_from_spec(found)
    found.loader.exec_module(scorer)
    rows = []
    for doc, truth in scorer.load_gt(str(DATA)).items():
        for page in sorted({t["page"] for t in truth}):
            gts = [t for t in truth if t["page"] == page]
            preds = [t for t in pred.get(doc, []) if t["page"] == page]
            paired = dict(scorer.pair_by_content(gts, preds))
            for i, gt in enumerate(gts):
                want = scorer.adjacency(gt["cells"])
                got = scorer.adjacency(preds[paired[i]]["cells"]) if i in paired else {}
                hit = sum((want & got).values()) if got else 0
                n_want, n_got = sum(want.values()), sum(got.values()) if got else 0
                f1 = 2 * hit / (n_want + n_got) if n_want + n_got else 1.0
                shape = (f"{max(c['row'] + c['row_span'] for c in preds[paired[i]]['cells'])}x"
                         f"{max(c['col'] + c['col_span'] for c in preds[paired[i]]['cells'])}"
                         if i in paired else "unpaired")
                truth_shape = (f"{max(c['row'] + c['row_span'] for c in gt['cells'])}x"
                               f"{max(c['col'] + c['col_span'] for c in gt['cells'])}")
                rows.append((f1, doc, page, hit, n_want, n_got, truth_shape, shape))
    rows.sort()
    print(f"worst {count} tables (adjacency F1, relations matched / truth / ours, grid truth / ours):")
    for f1, doc, page, hit, n_want, n_got, truth_shape, shape in rows[:count]:
        print(f"  {doc} p{page}: F1 {f1:.3f}  {hit}/{n_want}/{n_got}  {truth_shape} / {shape}")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--strategy", default="auto", choices=("auto", "lines", "text"))
    parser.add_argument("--worst", type=int, default=0, metavar="N")
    args = parser.parse_args()
    if not (DATA / "score.py").exists():
        print(f"no table set at {DATA}", file=sys.stderr)
        return 1
    pred, find_times, dict_times = predict(args.strategy)
    OUT.mkdir(parents=True, exist_ok=True)
    pred_path = OUT / "PRED.json"
    pred_path.write_text(json.dumps(pred))
    result = subprocess.run([sys.executable, str(DATA / "score.py"), str(DATA), str(pred_path),
                             "--no-teds"], capture_output=True, text=True, check=True)
    scores = json.loads(result.stdout)
    for name, key in (("detection", "detection_iou50"), ("adjacency", "adjacency_relations")):
        s = scores[key]
        print(f"{name:10s} P {s['precision']:.3f}  R {s['recall']:.3f}  F1 {s['f1']:.3f}")
    find_ms = statistics.median(find_times) * 1e3
    dict_ms = statistics.median(dict_times) * 1e3
    print(f"speed      {len(find_times)} pages: find_tables median {find_ms:.3f} ms, "
          f"get_text(\"dict\") median {dict_ms:.3f} ms, ratio {find_ms / dict_ms:.2f}")
    ratios = plain_pages(args.strategy)
    if ratios:
        print(f"plain      {len(ratios)} corpus pages without tables: find_tables median "
              f"{statistics.median(ratios) * 100:.1f}% of the page's extraction")
    if args.worst:
        worst(pred, args.worst)
    return 0


if __name__ == "__main__":
    sys.exit(main())
