// Parsing the sort argument.

#include "sort_mode.hpp"

#include <string>

#include "errors.hpp"
#include "quote.hpp"

namespace textloom::py {

bool parse_sort(PyObject* value, SortMode& out) {
  if (PyUnicode_Check(value)) {
    Py_UCS4* buffer = PyUnicode_AsUCS4Copy(value);
    if (buffer == nullptr) return false;
    const std::u32string text(reinterpret_cast<const char32_t*>(buffer),
                              static_cast<std::size_t>(PyUnicode_GetLength(value)));
    PyMem_Free(buffer);
    if (text.empty() || text == U"none") {
      out = SortMode::none;
    } else if (text == U"simple") {
      out = SortMode::simple;
    } else if (text == U"xycut") {
      out = SortMode::xycut;
    } else if (text == U"reading") {
      out = SortMode::reading;
    } else {
      raise(PyExc_ValueError, "unknown sort " + quoted(text));
      return false;
    }
    return true;
  }
  const int truth = PyObject_IsTrue(value);
  if (truth < 0) return false;
  out = truth ? SortMode::simple : SortMode::none;
  return true;
}

}  // namespace textloom::py
