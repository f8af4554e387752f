"""Pages as Arrow rows: the one schema that ``textloom extract`` writes and
``textloom.ray.read_pdfs`` gives, and the rows of failures.

A row per page: "path", "page" (1-based), "width", "height", "rotation",
"needs_ocr" (``Page.text_signals``), the payload of the format ("text" a
string; for "words" list columns; for "dict" a JSON string), "error" and
"error_kind" (null on success; the kinds are those of ``failures``). A file
that fails before its pages are known is one row with a null "page". Pages
are built in the worker processes and travel as Arrow IPC bytes, so the
process that gathers them only copies buffers; it makes the rows of the
failures it learns of with ``failure_rows``.
"""

from __future__ import annotations

from collections.abc import Sequence
from typing import TYPE_CHECKING, Any

import pyarrow as pa

from textloom._batch.failures import Failure
from textloom._batch.names import output_name
from textloom._batch.page_output import page_result, to_json

if TYPE_CHECKING:
    from textloom._options import ReadOptions
    from textloom._page import Page

FILE_ROWS = "_file_rows"  # rows the whole file gives: tells a gatherer when a file is complete

_WORD_COLUMNS = [("x0", pa.list_(pa.float64())), ("y0", pa.list_(pa.float64())),
                 ("x1", pa.list_(pa.float64())), ("y1", pa.list_(pa.float64())),
                 ("text", pa.list_(pa.string())), ("block", pa.list_(pa.int32())),
                 ("line", pa.list_(pa.int32())), ("word", pa.list_(pa.int32()))]
_PAYLOAD = {"text": [("text", pa.string())], "words": _WORD_COLUMNS, "dict": [("dict", pa.string())],
            "tables": [("tables", pa.string())]}


def schema(format: str) -> pa.Schema:
    """The columns of ``format``'s rows, in order."""
    return pa.schema([("path", pa.string()), ("page", pa.int32()), ("width", pa.float64()),
                      ("height", pa.float64()), ("rotation", pa.int32()),
                      ("needs_ocr", pa.bool_()), *_PAYLOAD[format],
                      ("error", pa.string()), ("error_kind", pa.string())])


class RowBuilder:
    """Rows of one format, gathered column by column."""

    def __init__(self, format: str) -> None:
        self.format = format
        self.schema = schema(format)
        self.columns: dict[str, list[Any]] = {name: [] for name in self.schema.names}

    def _add(self, path: str, page: int | None, failure: Failure | None, geometry: Sequence[Any],
             payload: Sequence[Any]) -> None:
        error = (None, None) if failure is None else (failure.message, failure.kind)
        values = (output_name(path), page, *geometry, *payload, *error)
        for column, value in zip(self.columns.values(), values, strict=True):
            column.append(value)

    def add_page(self, path: str, page: Page, options: ReadOptions) -> None:
        """The page's row; its ``get_text`` call may raise, and then adds nothing."""
        payload: Sequence[Any]
        if self.format == "words":
            words = page_result(page, options, "words")
            payload = [list(column) for column in zip(*words)] if words else [[]] * 8
        elif self.format == "dict":
            payload = [to_json(page_result(page, options, "dict"))]
        elif self.format == "tables":  # a page's row, its tables as JSON: one row per page
            from textloom._batch.table_output import table_record

            tables = page.find_tables(strategy=options.strategy, ocr=options.ocr)
            payload = [to_json([table_record(table) for table in tables])]
        else:
            payload = [page_result(page, options, "text")]
        self._add(path, page.index + 1, None,
                  (page.width, page.height, page.rotation, page.text_signals().needs_ocr), payload)

    def add_failure(self, failure: Failure) -> None:
        """The row of a failed page, or of a file that failed as a whole."""
        payload = [None] * len(_PAYLOAD[self.format])
        page = None if failure.page is None else failure.page + 1
        self._add(failure.path, page, failure, (None, None, None, None), payload)

    def table(self) -> pa.Table:
        return pa.Table.from_pydict(self.columns, schema=self.schema)

    def ipc(self) -> bytes:
        """The rows as an Arrow IPC stream."""
        sink = pa.BufferOutputStream()
        table = self.table()
        with pa.ipc.new_stream(sink, table.schema) as writer:
            writer.write_table(table)
        return bytes(sink.getvalue().to_pybytes())


def read_ipc(data: bytes) -> pa.Table:
    with pa.ipc.open_stream(pa.py_buffer(data)) as reader:
        return reader.read_all()


def failure_rows(format: str, failures: Sequence[Failure]) -> pa.Table:
    """A row for each failure."""
    rows = RowBuilder(format)
    for failure in failures:
        rows.add_failure(failure)
    return rows.table()


def with_file_rows(table: pa.Table, file_rows: int) -> pa.Table:
    return table.append_column(FILE_ROWS, pa.array([file_rows] * table.num_rows, pa.int32()))
