// RsPage.tables: arguments checked (a strategy name, tolerances that are
// finite and not negative), find_tables run on the stored glyphs, and its
// tables handed over as tuples the package wraps in Table and Cell.

#include "page_tables.hpp"

#include <cmath>
#include <optional>
#include <string>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "gc_pause.hpp"
#include "page.hpp"
#include "quote.hpp"
#include "tables.hpp"
#include "utf8.hpp"

namespace textloom::py {

namespace {

struct TablesArgs {
  std::string strategy = "auto";
  std::optional<Rect> clip;
  double snap_tolerance = TableParams{}.snap_tolerance;
  double join_tolerance = TableParams{}.join_tolerance;
  double intersection_tolerance = TableParams{}.intersection_tolerance;
  double column_gap = TableParams{}.column_gap;
  std::uint32_t min_rows = TableParams{}.min_rows;
};
const Signature<TablesArgs, 7> kTablesSignature{
    "RsPage.tables",
    {{{"strategy", &TablesArgs::strategy, "\"auto\""},
      {"clip", &TablesArgs::clip, "None"},
      {"snap_tolerance", &TablesArgs::snap_tolerance, "0.3"},
      {"join_tolerance", &TablesArgs::join_tolerance, "0.35"},
      {"intersection_tolerance", &TablesArgs::intersection_tolerance, "0.3"},
      {"column_gap", &TablesArgs::column_gap, "1.0"},
      {"min_rows", &TablesArgs::min_rows, "3"}}}};

PyObject* box_of(const Rect& r) { return bbox_tuple(r.x0, r.y0, r.x1, r.y1); }

PyObject* cell_tuple(const TableCell& c) {
  return tuple_of({PyLong_FromUnsignedLong(c.row), PyLong_FromUnsignedLong(c.col),
                   PyLong_FromUnsignedLong(c.row_span), PyLong_FromUnsignedLong(c.col_span),
                   box_of(c.bbox),
                   PyUnicode_FromStringAndSize(c.text.data(),
                                               static_cast<Py_ssize_t>(c.text.size()))});
}

PyObject* table_tuple(const Table& t) {
  Ref cells = Ref::steal(PyList_New(static_cast<Py_ssize_t>(t.cells.size())));
  if (!cells) return nullptr;
  for (std::size_t i = 0; i < t.cells.size(); ++i) {
    PyObject* cell = cell_tuple(t.cells[i]);
    if (cell == nullptr) return nullptr;
    PyList_SetItem(cells.get(), static_cast<Py_ssize_t>(i), cell);  // steals cell
  }
  Ref chars = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(t.chars.size())));
  if (!chars) return nullptr;
  for (std::size_t i = 0; i < t.chars.size(); ++i) {
    PyObject* index = PyLong_FromUnsignedLong(t.chars[i]);
    if (index == nullptr) return nullptr;
    PyTuple_SetItem(chars.get(), static_cast<Py_ssize_t>(i), index);  // steals index
  }
  return tuple_of({box_of(t.bbox), PyLong_FromUnsignedLong(t.rows), PyLong_FromUnsignedLong(t.cols),
                   PyLong_FromUnsignedLong(t.header), cells.release(), chars.release(),
                   PyBool_FromLong(t.ruled ? 1 : 0)});
}

bool strategy_of(const std::string& name, TableStrategy& out) {
  if (name == "auto") return out = TableStrategy::automatic, true;
  if (name == "lines") return out = TableStrategy::lines, true;
  if (name == "text") return out = TableStrategy::text, true;
  raise(PyExc_ValueError,
        "unknown strategy " + quoted(code_points(name)) + ": expected auto, lines or text");
  return false;
}

bool tolerance_ok(const char* name, double value) {
  if (std::isfinite(value) && value >= 0) return true;
  raise(PyExc_ValueError, std::string(name) + " must be a finite number not below 0");
  return false;
}

}  // namespace

PyObject* page_tables(PyObject* self, PyObject* args, PyObject* kwargs) {
  TablesArgs a;
  TableStrategy strategy = TableStrategy::automatic;
  if (!parse_args(kTablesSignature, args, kwargs, a) || !strategy_of(a.strategy, strategy) ||
      !tolerance_ok("snap_tolerance", a.snap_tolerance) ||
      !tolerance_ok("join_tolerance", a.join_tolerance) ||
      !tolerance_ok("intersection_tolerance", a.intersection_tolerance) ||
      !tolerance_ok("column_gap", a.column_gap)) {
    return nullptr;
  }
  const TableParams params{a.snap_tolerance, a.join_tolerance, a.intersection_tolerance,
                           a.column_gap, a.min_rows};
  const std::vector<Table> tables = find_tables(page_glyphs(self), strategy, a.clip, params);
  const GcPause pause;
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(tables.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    PyObject* table = table_tuple(tables[i]);
    if (table == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), table);  // steals table
  }
  return list.release();
}

const char* page_tables_doc() {
  static const std::string doc = docstring(
      kTablesSignature,
      "The page's tables (for textloom.Page.find_tables): a list of (bbox, rows, cols, header,\n"
      "cells, chars, ruled), each cell (row, col, row_span, col_span, bbox, text), chars the\n"
      "ascending indices of the glyphs the cells hold, ruled whether rules drew it; boxes in\n"
      "page space; tolerances in ems of the page's median type size.");
  return doc.c_str();
}

}  // namespace textloom::py
