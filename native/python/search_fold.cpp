// fold_text: the core's folding of page text for Page.search, with the folds
// of characters beyond ASCII from the caller's table.

#include <cstring>
#include <string>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "fold_table.hpp"
#include "module_functions.hpp"
#include "search_fold.hpp"
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
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(missing.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < missing.size(); ++i) {
    PyObject* ch = PyUnicode_FromOrdinal(static_cast<int>(missing[i]));
    if (ch == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), ch);
  }
  return list.release();
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

namespace {

struct FoldTextArgs {
  std::string text;
  bool case_sensitive = false;
  PyObject* folds = nullptr;
};
const Signature<FoldTextArgs, 3> kFoldTextSignature{
    "fold_text",
    {{{"text", &FoldTextArgs::text},
      {"case", &FoldTextArgs::case_sensitive},
      {"folds", &FoldTextArgs::folds}}}};

}  // namespace

PyObject* fold_text(PyObject*, PyObject* args, PyObject* kwargs) {
  FoldTextArgs a;
  if (!parse_args(kFoldTextSignature, args, kwargs, a) || !is_fold_table(a.folds)) return nullptr;
  FoldTable table(a.folds);
  const FoldedText folded = fold_for_search(code_points(a.text), a.case_sensitive,
                                            [&](std::uint32_t cp) { return table(cp); });
  if (table.failed()) return nullptr;
  return folded_result(folded);
}

const char* fold_text_doc() {
  static const std::string doc = docstring(
      kFoldTextSignature,
      "`text` folded for search: (folded, origin), origin the machine's int32 code-point\n"
      "index in `text` of each character of folded. White space runs become one space\n"
      "(leading ones none), a hyphen and line feed between letters are dropped, ASCII\n"
      "letters lowercased unless `case`, and any other character replaced by its value in\n"
      "`folds` (a dict of one-character str to str). Where `folds` lacks characters, the\n"
      "list of them, each once, instead.");
  return doc.c_str();
}

}  // namespace textloom::py
