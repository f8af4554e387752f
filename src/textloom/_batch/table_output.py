"""How ``textloom tables`` writes the tables of a page, and the JSON record of
a table that its ``--jsonl`` lines and ``textloom extract --format tables``
rows carry. Runs in the worker processes; pages count from 1."""

from __future__ import annotations

import csv
import io
from typing import TYPE_CHECKING, Any

from textloom._batch.page_output import to_json_row
from textloom._options import ReadOptions

if TYPE_CHECKING:
    from textloom._page import Page
    from textloom._tables import Table


def table_record(table: Table) -> dict[str, Any]:
    """bbox, rows, cols, header rows and cells (row, col, row_span, col_span, bbox, text)."""
    return {"bbox": list(table.bbox), "rows": table.rows, "cols": table.cols,
            "header": table.header,
            "cells": [{"row": cell.row, "col": cell.col, "row_span": cell.row_span,
                       "col_span": cell.col_span, "bbox": list(cell.bbox), "text": cell.text}
                      for cell in table.cells]}


def _csv(table: Table) -> str:
    out = io.StringIO()
    csv.writer(out, lineterminator="\n").writerows(
        [["" if text is None else text for text in row] for row in table.to_list()])
    return out.getvalue()


def format_tables(page: Page, path: str, options: ReadOptions) -> str:
    """The page's tables: with ``jsonl`` (or format json) one JSON object per table
    (file, page, table from 1, then ``table_record``); else each table under a
    line naming its file, page and number, as a Markdown pipe table, CSV rows
    or an HTML table, with a blank line after it."""
    tables = page.find_tables(strategy=options.strategy, ocr=options.ocr)
    number = page.index + 1
    out = []
    for count, table in enumerate(tables, start=1):
        if options.jsonl or options.format == "json":
            out.append(to_json_row({"file": path, "page": number, "table": count,
                                    **table_record(table)}) + "\n")
        elif options.format == "markdown":
            out.append(f"{path}, page {number}, table {count}:\n\n{table.to_markdown()}\n\n")
        elif options.format == "csv":
            out.append(f"# {path}, page {number}, table {count}\n{_csv(table)}\n")
        else:
            out.append(f"<!-- {path}, page {number}, table {count} -->\n{table.to_html()}\n\n")
    return "".join(out)
