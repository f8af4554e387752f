// The FoldTable type (filled by the package, read by search's folding) and
// the results the folding gives Python.

#include "fold_table.hpp"

#include <cstring>
#include <new>

#include "convert.hpp"
#include "errors.hpp"
#include "module_state.hpp"
#include "utf8.hpp"

namespace textloom::py {

namespace {

struct TableObject {
  PyObject_HEAD
  FoldMap folds;
};

TableObject* as_table(PyObject* self) { return reinterpret_cast<TableObject*>(self); }

PyObject* table_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  if (PyTuple_Size(args) != 0 || (kwargs != nullptr && PyDict_Size(kwargs) != 0)) {
    return raise(PyExc_TypeError, "FoldTable() takes no arguments");
  }
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* self = alloc(type, 0);
  if (self == nullptr) return nullptr;
  new (&as_table(self)->folds) FoldMap();
  return self;
}

void table_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  as_table(self)->folds.~FoldMap();
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

Py_ssize_t table_length(PyObject* self) {
  return static_cast<Py_ssize_t>(as_table(self)->folds.size());
}

// add(folds): each one-character str key's fold, a str, kept; nothing is
// kept when any item is not so.
PyObject* table_add(PyObject* self, PyObject* folds) {
  if (!PyDict_Check(folds)) return raise(PyExc_TypeError, "argument 'folds': must be dict");
  // Views of the values' UTF-8, which the dict keeps alive through the call.
  std::vector<std::pair<std::uint32_t, std::string_view>> items;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  for (Py_ssize_t at = 0; PyDict_Next(folds, &at, &key, &value);) {
    if (!PyUnicode_Check(key) || PyUnicode_GetLength(key) != 1) {
      return raise(PyExc_TypeError, "argument 'folds': keys must be one-character str");
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_Check(value) ? PyUnicode_AsUTF8AndSize(value, &size) : nullptr;
    if (utf8 == nullptr) {
      return PyErr_Occurred() ? nullptr
                              : raise(PyExc_TypeError, "argument 'folds': values must be str");
    }
    items.emplace_back(static_cast<std::uint32_t>(PyUnicode_ReadChar(key, 0)),
                       std::string_view(utf8, static_cast<std::size_t>(size)));
  }
  for (const auto& [cp, fold] : items) as_table(self)->folds.insert_or_assign(cp, fold);
  Py_RETURN_NONE;
}

PyObject* table_clear(PyObject* self, PyObject*) {
  as_table(self)->folds.clear();
  Py_RETURN_NONE;
}

PyMethodDef table_methods[] = {
    {"add", table_add, METH_O,
     "add($self, folds, /)\n--\n\nKeeps the folds of a dict of one-character str to str."},
    {"clear", table_clear, METH_NOARGS, "clear($self, /)\n--\n\nForgets every fold."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyTypeObject* make_fold_table_type() {
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(
                      "FoldTable()\n--\n\nThe folds of characters beyond ASCII that search's "
                      "folding reads, by character.")},
      {Py_tp_new, reinterpret_cast<void*>(table_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(table_dealloc)},
      {Py_mp_length, reinterpret_cast<void*>(table_length)},
      {Py_tp_methods, table_methods},
      {0, nullptr},
  };
  static PyType_Spec type_spec = {
      "textloom._native.FoldTable",
      static_cast<int>(sizeof(TableObject)),
      0,
      Py_TPFLAGS_DEFAULT,
      slots,
  };
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&type_spec));
}

bool is_fold_table(PyObject* folds) {
  if (Py_TYPE(folds) == module_state().fold_table_type) return true;
  raise(PyExc_TypeError, "argument 'folds': must be FoldTable");
  return false;
}

const FoldMap& fold_map(PyObject* folds) { return as_table(folds)->folds; }

PyObject* missing_chars(const std::vector<std::uint32_t>& missing) {
  return str_of_code_points(std::u32string(missing.begin(), missing.end()));
}

PyObject* str_of_code_points(std::u32string_view text) {
  const std::string utf8 = utf8_of(text);
  return PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size()));
}

PyObject* folded_result(const FoldedText& folded) {
  if (!folded.missing.empty()) return missing_chars(folded.missing);
  const std::size_t bytes = sizeof(std::int32_t) * folded.origin.size();
  Ref origin = Ref::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(bytes)));
  if (!origin) return nullptr;
  if (bytes > 0) std::memcpy(PyBytes_AsString(origin.get()), folded.origin.data(), bytes);
  return tuple_of({str_of_code_points(folded.text), origin.release()});
}

}  // namespace textloom::py
