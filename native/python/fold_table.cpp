// The caller's table of folds read for the core's folding (remembering the
// folds a page repeats), and the results the folding gives Python.

#include "fold_table.hpp"

#include <cstring>

#include "convert.hpp"
#include "errors.hpp"
#include "utf8.hpp"

namespace textloom::py {

std::optional<std::string_view> FoldTable::operator()(std::uint32_t cp) {
  if (failed_) return std::string_view{};
  Seen& seen = seen_[cp % seen_.size()];
  if (seen.cp == cp) return seen.fold;
  Ref key = Ref::steal(PyUnicode_FromOrdinal(static_cast<int>(cp)));
  PyObject* value = key ? PyDict_GetItemWithError(folds_, key.get()) : nullptr;
  if (value == nullptr) {
    if (PyErr_Occurred()) failed_ = true;
    return std::nullopt;
  }
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_Check(value) ? PyUnicode_AsUTF8AndSize(value, &size) : nullptr;
  if (utf8 == nullptr) {
    if (!PyErr_Occurred()) raise(PyExc_TypeError, "argument 'folds': values must be str");
    failed_ = true;
    return std::string_view{};
  }
  seen = {cp, std::string_view(utf8, static_cast<std::size_t>(size))};
  return seen.fold;
}

bool is_fold_table(PyObject* folds) {
  if (PyDict_Check(folds)) return true;
  raise(PyExc_TypeError, "argument 'folds': must be dict");
  return false;
}

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
