"""find_tables on generated pages of exact geometry (a ruled table with a
spanning header, a table of header and bottom rules), its written forms, its
argument checks; and on the table documents, cells that stay inside their
table and never overlap."""

from __future__ import annotations

from pathlib import Path

import pytest
from fpdf import FPDF

import textloom

from conftest import TABLES, corpus_files, readable_pages, shared_document


def write(tmp_path: Path, draw) -> textloom.Page:
    pdf = FPDF(unit="pt", format=(600, 800))
    pdf.add_page()
    pdf.set_font("Helvetica", size=10)
    pdf.set_line_width(0.5)
    draw(pdf)
    path = tmp_path / "table.pdf"
    pdf.output(str(path))
    return textloom.open(path)[0]


def ruled(pdf: FPDF, rectangles: bool = False, top: float = 100) -> None:
    """A 3 x 4 grid of cells 100 x 30 from (50, top): the first row one cell
    across all columns (no inner verticals there), cell b2 holds a pipe."""
    def rule(x0: float, y0: float, x1: float, y1: float) -> None:
        if rectangles:
            pdf.rect(x0 - 0.75, y0 - 0.75, x1 - x0 + 1.5, y1 - y0 + 1.5, style="F")
        else:
            pdf.line(x0, y0, x1, y1)
    for r in range(4):
        rule(50, top + 30 * r, 450, top + 30 * r)
    for c in range(5):
        rule(50 + 100 * c, top if c in (0, 4) else top + 30, 50 + 100 * c, top + 90)
    pdf.text(60, top + 20, "Title")
    for r in (1, 2):
        for c in range(4):
            text = "a|b" if (r, c) == (1, 1) else f"{'bc'[r - 1]}{c + 1}"
            pdf.text(60 + 100 * c, top + 20 + 30 * r, text)


@pytest.mark.parametrize("rectangles", [False, True], ids=["lines", "rectangles"])
def test_ruled_table_with_spanning_header(tmp_path: Path, rectangles: bool) -> None:
    page = write(tmp_path, lambda pdf: ruled(pdf, rectangles))
    tables = page.find_tables(strategy="lines")
    assert len(tables) == 1
    table = tables[0]
    assert (table.rows, table.cols, table.header) == (3, 4, 1)
    assert table.bbox == pytest.approx((50, 100, 450, 190), abs=1)
    assert table.cells[0][:4] == (0, 0, 1, 4)
    assert table.to_list() == [["Title", None, None, None], ["b1", "a|b", "b3", "b4"],
                               ["c1", "c2", "c3", "c4"]]
    assert table.to_markdown() == ("| Title |  |  |  |\n|---|---|---|---|\n"
                                   "| b1 | a\\|b | b3 | b4 |\n| c1 | c2 | c3 | c4 |\n")
    html = table.to_html()
    assert '<th colspan="4">Title</th>' in html and "<td>a|b</td>" in html
    assert html.index("</thead>") < html.index("<tbody>")


@pytest.mark.parametrize("rotate", [0, 90], ids=["sideways-table", "rotated-page"])
def test_table_turned_a_quarter(tmp_path: Path, rotate: int) -> None:
    """The table drawn turned a quarter anticlockwise: a sideways table on an
    upright page, or, with /Rotate 90, an upright one in the viewer."""
    import pypdfium2

    def draw(pdf: FPDF) -> None:
        with pdf.rotation(90, 300, 400):
            ruled(pdf)
    write(tmp_path, draw)
    path = tmp_path / "turned.pdf"
    document = pypdfium2.PdfDocument(tmp_path / "table.pdf")
    document[0].set_rotation(rotate)
    document.save(path)
    document.close()
    page = textloom.open(path)[0]
    (table,) = page.find_tables()
    assert (table.rows, table.cols) == (3, 4)
    assert table.to_list()[1] == ["b1", "a|b", "b3", "b4"]
    # Page space, unrotated: the turned grid is 90 wide and 400 high.
    assert table.bbox == pytest.approx((0, 250, 90, 650), abs=1)


@pytest.mark.parametrize(("rules", "cols"), [(True, 3), (False, 3), (False, 2)],
                         ids=["header-and-bottom-rules", "white-space", "two-columns"])
def test_statistical_table(tmp_path: Path, rules: bool, cols: int) -> None:
    """Right-aligned numbers with decimal points under a header, with a top,
    header and bottom rule or with none; "auto" leaves two columns of words
    alone to "text". Markdown writes what "auto" finds as a pipe table."""
    def draw(pdf: FPDF) -> None:
        for y in (100, 118, 190) if rules else ():
            pdf.line(50, y, 400, y)
        for x, text in ((55, "Country"), (250, "Share"), (340, "Total"))[:cols]:
            pdf.text(x, 112, text)
        for r, row in enumerate((("Spain", "12.5", "1234.75"), ("France", "3.25", "98.5"),
                                 ("Italy", "101.0", "7.25"))):
            pdf.text(55, 135 + 20 * r, row[0])
            for right, value in list(zip((280, 390), row[1:]))[:cols - 1]:
                pdf.text(right - pdf.get_string_width(value), 135 + 20 * r, value)
    page = write(tmp_path, draw)
    assert page.find_tables(strategy="lines") == []
    assert len(page.find_tables()) == (rules or cols == 3)
    for strategy in ("auto", "text") if rules or cols == 3 else ("text",):
        (table,) = page.find_tables(strategy=strategy)
        assert (table.rows, table.cols, table.header) == (4, cols, 1)
        assert table.ruled == (rules and strategy == "auto")  # "text" reads no rule
        assert table.to_list()[2] == ["France", "3.25", "98.5"][:cols]
    assert (page.to_markdown() == table.to_markdown()) == (cols == 3)
    assert "|" not in page.to_markdown(tables=False)
    pandas = pytest.importorskip("pandas")
    frame = table.to_pandas()
    assert isinstance(frame, pandas.DataFrame)
    assert list(frame.columns) == ["Country", "Share", "Total"][:cols]


def test_two_tables_and_prose(tmp_path: Path) -> None:
    """Two ruled tables with a paragraph between them: two tables, top first;
    the paragraph in neither."""
    def draw(pdf: FPDF) -> None:
        ruled(pdf, top=400)
        ruled(pdf, top=100)
        pdf.set_xy(50, 220)
        pdf.multi_cell(400, 12, "Between the tables runs a paragraph of prose " * 6, align="J")
    tables = write(tmp_path, draw).find_tables()
    assert [round(t.bbox[1]) for t in tables] == [100, 400]
    assert all(t.to_list()[2] == ["c1", "c2", "c3", "c4"] for t in tables)


@pytest.mark.parametrize("width", [80, 100, 250])
def test_justified_prose_is_no_table(tmp_path: Path, width: float) -> None:
    """Justified prose, down to columns so narrow that its word gaps stretch
    past the column gap, lines of two or three words flush on both sides."""
    def draw(pdf: FPDF) -> None:
        pdf.set_xy(50, 100)
        pdf.multi_cell(width, 12, "A paragraph of prose set justified, so its word gaps stretch "
                       "from line to line, is never a table of words. " * 8, align="J")
    page = write(tmp_path, draw)
    assert page.get_text().count("\n") >= 8
    assert page.find_tables(strategy="text") == []


def test_clip_keeps_tables_inside(tmp_path: Path) -> None:
    page = write(tmp_path, ruled)
    assert len(page.find_tables(clip=(40, 90, 460, 200))) == 1
    assert page.find_tables(clip=(40, 90, 300, 200)) == []


@pytest.mark.parametrize(("kwargs", "message"), [
    ({"strategy": "x"}, 'unknown strategy "x": expected auto, lines or text'),
    ({"strategy": "Lines"}, 'unknown strategy "Lines": expected auto, lines or text'),
    ({"snap_tolerance": -0.1}, "snap_tolerance must be a number not below 0, not -0.1"),
    ({"join_tolerance": float("nan")}, "join_tolerance must be a number not below 0, not nan"),
    ({"column_gap": 0}, "column_gap must be a number above 0, not 0"),
    ({"min_rows": 0}, "min_rows must be a whole number above 0, not 0"),
])
def test_bad_arguments(tmp_path: Path, kwargs: dict[str, object], message: str) -> None:
    page = write(tmp_path, ruled)
    with pytest.raises(ValueError) as error:
        page.find_tables(**kwargs)  # type: ignore[arg-type]
    assert str(error.value) == message


def test_native_strategy_message(tmp_path: Path) -> None:
    page = write(tmp_path, ruled)
    with pytest.raises(ValueError, match='^unknown strategy "x": expected auto, lines or text$'):
        page._page().tables("x")


TABLE_SET = sorted((TABLES / "icdar2013-eu").glob("*.pdf"))


@pytest.mark.parametrize("path", corpus_files() + TABLE_SET, ids=lambda p: getattr(p, "name", p))
def test_cells_inside_and_apart(path: Path) -> None:
    """On every page of the corpus and the table set: each table's cells lie
    inside its box, and no two overlap (so no char is in two cells)."""
    slack = 0.5  # points: rounding of the box unions
    with shared_document(path) as doc:
        for page, tables in readable_pages(doc, textloom.Page.find_tables):
            for table in tables:
                x0, y0, x1, y1 = table.bbox
                boxes = [cell.bbox for cell in table.cells]
                assert len(boxes) >= 2 and table.rows * table.cols >= len(boxes)
                for b in boxes:
                    assert (b[0] >= x0 - slack and b[1] >= y0 - slack and b[2] <= x1 + slack
                            and b[3] <= y1 + slack), (page.index, b, table.bbox)
                for i, a in enumerate(boxes):
                    for b in boxes[i + 1:]:
                        overlap = (min(a[2], b[2]) - max(a[0], b[0]),
                                   min(a[3], b[3]) - max(a[1], b[1]))
                        assert min(overlap) <= slack, (page.index, a, b)
