"""How the command line writes a page: text, tab-separated rows, or JSON.

Runs in the worker processes, so the main process only copies bytes.
"""

from __future__ import annotations

import json
import math
from dataclasses import dataclass
from typing import Any

from textloom._cli_pages import PageRanges
from textloom._document import Document
from textloom._page import Page

FORMATS = ("text", "blocks", "words", "dict", "rawdict", "pdftext", "markdown")
SORTS = ("none", "simple", "xycut", "reading")  # the sort names get_text takes
_TSV_ESCAPES = str.maketrans({"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"})


@dataclass(frozen=True)
class TextOptions:
    """What ``textloom text`` asked for, handed to every worker."""

    format: str = "text"
    sort: str = "reading"
    dehyphenate: bool = False
    ligatures: bool = False
    password: str | None = None
    jsonl: bool = False
    pages: PageRanges | None = None


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


def _page_result(page: Page, options: TextOptions) -> Any:
    if options.format == "pdftext":
        return page.pdftext_blocks(sort=options.sort)
    return page.get_text(options.format, sort=options.sort, dehyphenate=options.dehyphenate)


def _row(number: int, row: tuple[Any, ...], numbers: int) -> str:
    box = "\t".join(f"{value:.2f}" for value in row[:4])
    ids = "".join(f"\t{value}" for value in row[5:5 + numbers])
    return f"{number}\t{box}{ids}\t{row[4].translate(_TSV_ESCAPES)}\n"


def format_page(page: Page, path: str, options: TextOptions) -> str:
    """One page as the command line prints it.

    text: the page text and a form feed. words: a row per word (page, x0, y0,
    x1, y1, block, line, word, text); blocks: a row per block (page, box,
    block, text); text in rows escapes backslash, tab and line breaks.
    dict, rawdict, pdftext: the page's JSON on one line. With ``jsonl``, one
    JSON object per page: file, page, width, height, rotation and the result
    under the format's name.
    """
    result = _page_result(page, options)
    number = page.index + 1
    if options.jsonl:
        return to_json({"file": path, "page": number, "width": page.width,
                        "height": page.height, "rotation": page.rotation,
                        options.format: result}) + "\n"
    if options.format == "text":
        return f"{result}\f"
    if options.format == "words":
        return "".join(_row(number, row, 3) for row in result)
    if options.format == "blocks":
        return "".join(_row(number, row, 1) for row in result)
    return to_json(result) + "\n"


def format_markdown(document: Document, indices: list[int], path: str, options: TextOptions) -> str:
    """The pages as one Markdown document (sizes ranked and running headers and
    footers found over them); with ``jsonl``, one JSON object per page: file,
    page, label, metadata, toc_items (level, title, page) and text, page
    numbers counted from 1."""
    if not options.jsonl:
        return document.to_markdown(indices, sort=options.sort)
    lines = []
    for chunk in document.to_markdown(indices, sort=options.sort, page_chunks=True):
        toc_items = [(level, title, page + 1) for level, title, page in chunk["toc_items"]]
        lines.append(to_json({"file": path, "page": chunk["page"] + 1, "label": chunk["label"],
                              "metadata": chunk["metadata"], "toc_items": toc_items,
                              "text": chunk["text"]}) + "\n")
    return "".join(lines)
