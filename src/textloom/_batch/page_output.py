"""How ``textloom text`` and ``textloom info`` write a page or a file: text,
tab-separated rows, or JSON; and the JSON row of a failure.

Runs in the worker processes, so the main process only copies bytes. JSON
rows count pages from 1, as the command line does.
"""

from __future__ import annotations

import json
import math
from typing import Any

from textloom._batch.failures import Failure
from textloom._batch.names import escape_stray, is_utf8
from textloom._document import Document
from textloom._options import ReadOptions
from textloom._page import Page

_TSV_ESCAPES = str.maketrans({"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"})


def json_safe(value: Any) -> Any:
    """``value`` with non-finite floats (PDFium reports some for damaged characters) as None."""
    if isinstance(value, float):
        return value if math.isfinite(value) else None
    if isinstance(value, dict):
        return {key: json_safe(item) for key, item in value.items()}
    if isinstance(value, (list, tuple)):
        return [json_safe(item) for item in value]
    return value


def to_json(value: Any) -> str:
    """Compact JSON on one line; tuples become lists, NaN and infinities null."""
    try:
        return json.dumps(value, ensure_ascii=False, separators=(",", ":"), allow_nan=False)
    except ValueError:  # rare: only pages with non-finite numbers take the slow walk
        return json.dumps(json_safe(value), ensure_ascii=False, separators=(",", ":"))


def to_json_row(record: dict[str, Any]) -> str:
    """``to_json`` of a row that names its "file" (a name that is not UTF-8 escaped)."""
    text = to_json(record)
    return text if is_utf8(record["file"]) else escape_stray(text)


def page_result(page: Page, options: ReadOptions, schema: str | None = None) -> Any:
    """The page in ``schema`` (``options.format`` when None), read with ``options``."""
    schema = options.format if schema is None else schema
    if schema == "pdftext":
        return page.pdftext_blocks(sort=options.sort)
    return page.get_text(schema, sort=options.sort, dehyphenate=options.dehyphenate,
                         offpage=options.offpage, forms=options.forms, ocr=options.ocr)


def _row(number: int, row: tuple[Any, ...], numbers: int) -> str:
    box = "\t".join(f"{value:.2f}" for value in row[:4])
    ids = "".join(f"\t{value}" for value in row[5:5 + numbers])
    return f"{number}\t{box}{ids}\t{row[4].translate(_TSV_ESCAPES)}\n"


def format_page(page: Page, path: str, options: ReadOptions) -> str:
    """One page as the command line prints it.

    text: the page text and a form feed. words: a row per word (page, x0, y0,
    x1, y1, block, line, word, text); blocks: a row per block (page, box,
    block, text); text in rows escapes backslash, tab and line breaks.
    dict, rawdict, pdftext: the page's JSON on one line. With ``jsonl``, one
    JSON object per page: file, page, width, height, rotation and the result
    under the format's name.
    """
    result = page_result(page, options)
    number = page.index + 1
    if options.jsonl:
        return to_json_row({"file": path, "page": number, "width": page.width,
                            "height": page.height, "rotation": page.rotation,
                            "needs_ocr": page.text_signals().needs_ocr,
                            **({"ocr": True} if options.ocr == "always"
                               or (options.ocr == "auto" and page.ocr) else {}),
                            options.format: result}) + "\n"
    if options.format == "text":
        return f"{result}\f"
    if options.format == "words":
        return "".join(_row(number, row, 3) for row in result)
    if options.format == "blocks":
        return "".join(_row(number, row, 1) for row in result)
    return to_json(result) + "\n"


def format_markdown(document: Document, indices: list[int], path: str,
                    options: ReadOptions) -> list[str]:
    """The pages as one Markdown document (sizes ranked and running headers and
    footers found over them), in a list of one; with ``jsonl``, one JSON object
    per page: file, page (from 1), label, metadata, toc_items (each with level,
    title, its target's page from 1 and page_index from 0) and text."""
    if not options.jsonl:
        return [document.to_markdown(indices, sort=options.sort, offpage=options.offpage,
                                     forms=options.forms, ocr=options.ocr,
                                     tables=options.tables)] if indices else [""]
    lines = []
    for chunk in document.to_markdown(indices, sort=options.sort, page_chunks=True,
                                      offpage=options.offpage, forms=options.forms,
                                      ocr=options.ocr, tables=options.tables):
        toc_items = [{"level": level, "title": title, "page": page + 1, "page_index": page}
                     for level, title, page in chunk["toc_items"]]
        lines.append(to_json_row({"file": path, "page": chunk["page"] + 1,
                                  "label": chunk["label"], "metadata": chunk["metadata"],
                                  "toc_items": toc_items, "needs_ocr": chunk["needs_ocr"],
                                  "tables": chunk["tables"],
                                  "text": chunk["text"]}) + "\n")
    return lines


def format_failure(failure: Failure) -> str:
    """The JSON row of a failed page or file: file, page (from 1; none for a file),
    error and error_kind."""
    record: dict[str, Any] = {"file": failure.path}
    if failure.page is not None:
        record["page"] = failure.page + 1
    record["error"] = failure.message
    record["error_kind"] = failure.kind
    return to_json_row(record) + "\n"


def format_info(document: Document, path: str, options: ReadOptions) -> str:
    """``textloom info`` of one file: pages, page sizes (runs of equal pages),
    metadata, and each page's text signals (in plain text: the totals and the
    pages that need OCR)."""
    pages = list(document)
    sizes = [(page.width, page.height, page.rotation) for page in pages]
    signals = [page.text_signals() for page in pages]
    metadata = document.metadata
    if options.jsonl:
        return to_json_row({"file": path, "pages": len(sizes),
                            "page_sizes": [{"width": w, "height": h, "rotation": r}
                                           for w, h, r in sizes],
                            "metadata": metadata,
                            "text_signals": [{"page": number, **signal._asdict()}
                                             for number, signal in enumerate(signals, start=1)]
                            }) + "\n"
    lines = [path, f"  pages: {len(sizes)}"]
    runs: list[tuple[tuple[float, float, int], int, int]] = []
    for number, size in enumerate(sizes, start=1):
        if runs and runs[-1][0] == size:
            runs[-1] = (size, runs[-1][1], number)
        else:
            runs.append((size, number, number))
    for (width, height, rotation), first, last in runs:
        pages_text = f"page {first}" if first == last else f"pages {first}-{last}"
        turned = f", rotated {rotation}" if rotation else ""
        lines.append(f"  {pages_text}: {width:.2f} x {height:.2f} pt{turned}")
    lines += [f"  {key.replace('_', ' ')}: {value}" for key, value in metadata.items() if value]
    lines.append(f"  text: {sum(s.chars for s in signals)} chars, "
                 f"{sum(s.words for s in signals)} words")
    scans = [f"page {number} ({s.reason})" for number, s in enumerate(signals, start=1) if s.needs_ocr]
    if scans:
        from textloom._ocr import available

        hint = "" if available() else " (read as empty: no OCR engine; apt-get install tesseract-ocr)"
        lines.append(f"  needs OCR: {', '.join(scans)}{hint}")
    return "\n".join(lines) + "\n"
