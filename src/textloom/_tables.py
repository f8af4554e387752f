"""``Table`` and ``Cell``: the tables ``Page.find_tables`` finds, and their
written forms (rows of strings, a GitHub pipe table, HTML, a pandas frame).

The finding itself is native (``RsPage.tables``); this module wraps its plain
tuples and writes them out.
"""

from __future__ import annotations

from typing import Any, NamedTuple

from textloom._optional import import_optional
from textloom._types import NativeTable, Rect


class Cell(NamedTuple):
    """One cell: its first row and column (from 0), how many rows and columns
    it spans, its box in page space and its text (lines joined by one space,
    hyphenated line ends joined)."""

    row: int
    col: int
    row_span: int
    col_span: int
    bbox: Rect
    text: str


class Table:
    """A table of a page: ``bbox`` (page space), ``rows`` and ``cols`` (the
    grid's counts), ``header`` (how many leading rows are the header),
    ``cells`` (row by row, each cell once), ``chars`` (the indices of the
    page's chars the cells hold, ascending: each word whole, in the cell its
    first char lies in) and ``ruled`` (found by its rules: a grid of them, or
    a header and a bottom rule; not by the alignment of words alone)."""

    __slots__ = ("bbox", "rows", "cols", "header", "chars", "ruled", "_cells", "_raw")

    def __init__(self, bbox: Rect, rows: int, cols: int, header: int,
                 cells: list[Cell] | list[tuple[int, int, int, int, Rect, str]],
                 chars: tuple[int, ...] = (), ruled: bool = False) -> None:
        self.bbox = bbox
        self.rows = rows
        self.cols = cols
        self.header = header
        self.chars = chars
        self.ruled = ruled
        # The native tuples become Cells when first asked for: a caller that
        # wants only the boxes or counts pays nothing for them.
        self._raw = cells
        self._cells: list[Cell] | None = None

    @property
    def cells(self) -> list[Cell]:
        """The cells, row by row, each once at its first row and column."""
        cells = self._cells
        if cells is None:
            cells = self._cells = [c if isinstance(c, Cell) else Cell(*c) for c in self._raw]
        return cells

    def __repr__(self) -> str:
        return f"<Table {self.rows}x{self.cols} at {tuple(round(v, 1) for v in self.bbox)}>"

    def to_list(self) -> list[list[str | None]]:
        """Rows of strings; a spanning cell's text in its first slot, None in the
        other slots it covers (and in slots no cell covers)."""
        grid: list[list[str | None]] = [[None] * self.cols for _ in range(self.rows)]
        for cell in self.cells:
            grid[cell.row][cell.col] = cell.text
        return grid

    def to_markdown(self) -> str:
        """A GitHub-flavoured pipe table: the first row as its head (a table
        without header rows gets an empty head), ``|`` and line breaks escaped."""
        return self.markdown_cells()[0]

    def markdown_cells(self) -> tuple[str, list[tuple[Cell, int, int]]]:
        """``to_markdown()`` and where each cell with text stands in it: (cell,
        start, end) offsets of its written text."""
        slots: list[list[Cell | None]] = [[None] * self.cols for _ in range(self.rows)]
        for cell in self.cells:
            slots[cell.row][cell.col] = cell
        if self.header == 0:
            slots.insert(0, [None] * self.cols)
        out: list[str] = []
        places: list[tuple[Cell, int, int]] = []
        at = 0
        for number, row in enumerate(slots):
            if number == 1:
                out.append("|" + "---|" * self.cols + "\n")
                at += len(out[-1])
            line = "|"
            for slot in row:
                text = _markdown_cell(slot.text if slot else None)
                if slot is not None and text:
                    places.append((slot, at + len(line) + 1, at + len(line) + 1 + len(text)))
                line += f" {text} |"
            out.append(line + "\n")
            at += len(out[-1])
        if len(slots) == 1:
            out.append("|" + "---|" * self.cols + "\n")
        return "".join(out), places

    def to_html(self) -> str:
        """An HTML table: header rows in ``<thead>`` with ``<th>`` cells, spans
        as rowspan and colspan."""
        import html  # here: import textloom stays light

        by_row: list[list[Cell]] = [[] for _ in range(self.rows)]
        for cell in self.cells:
            by_row[cell.row].append(cell)
        out = ["<table>"]
        for r, cells in enumerate(by_row):
            if r == 0 and self.header:
                out.append("<thead>")
            if r == self.header:
                out.append("<tbody>")
            tag = "th" if r < self.header else "td"
            parts = []
            for cell in cells:
                spans = "".join(f' {name}="{n}"' for name, n in (("rowspan", cell.row_span),
                                                                  ("colspan", cell.col_span)) if n > 1)
                parts.append(f"<{tag}{spans}>{html.escape(cell.text)}</{tag}>")
            out.append("<tr>" + "".join(parts) + "</tr>")
            if r + 1 == self.header:
                out.append("</thead>")
        if self.rows > self.header:
            out.append("</tbody>")
        out.append("</table>")
        return "\n".join(out) + "\n"

    def to_pandas(self) -> Any:
        """A pandas DataFrame: the header rows' texts as column names (joined by
        a space where there are several), the other rows as data. Needs the
        ``pandas`` extra."""
        pandas = import_optional("pandas", "pandas")
        rows = self.to_list()
        head = rows[:self.header]
        names = [" ".join(row[c] or "" for row in head).strip() or str(c) for c in range(self.cols)]
        return pandas.DataFrame(rows[self.header:], columns=_unique(names))


def _markdown_cell(text: str | None) -> str:
    return (text or "").replace("\\", "\\\\").replace("|", "\\|").replace("\r\n", "<br>") \
        .replace("\n", "<br>").replace("\r", "<br>")


def _unique(names: list[str]) -> list[str]:
    """Column names made distinct (pandas allows repeats, but every use trips on them)."""
    seen: dict[str, int] = {}
    out = []
    for name in names:
        count = seen.get(name, 0)
        seen[name] = count + 1
        out.append(name if count == 0 else f"{name}.{count}")
    return out


def tables_of(found: list[NativeTable]) -> list[Table]:
    """The native tables (``RsPage.tables``) as Table objects."""
    return [Table(*table) for table in found]
