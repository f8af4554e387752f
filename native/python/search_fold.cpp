// fold_text: the core's folding of page text for Page.search, with the folds
// of characters beyond ASCII from the caller's table (Python's own NFKC and
// case folding, kept per process by the package).

#include <cstring>
#include <string>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "module_functions.hpp"
#include "search_fold.hpp"

namespace textloom::py {

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
  if (!parse_args(kFoldTextSignature, args, kwargs, a)) return nullptr;
  if (!PyDict_Check(a.folds)) return raise(PyExc_TypeError, "argument 'folds': must be dict");
  bool failed = false;
  const FoldOther fold_other = [&](std::uint32_t cp) -> std::optional<std::string_view> {
    if (failed) return std::string_view{};
    Ref key = Ref::steal(PyUnicode_FromOrdinal(static_cast<int>(cp)));
    PyObject* value = key ? PyDict_GetItemWithError(a.folds, key.get()) : nullptr;
    if (value == nullptr) {
      if (PyErr_Occurred()) failed = true;
      return std::nullopt;
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_Check(value) ? PyUnicode_AsUTF8AndSize(value, &size) : nullptr;
    if (utf8 == nullptr) {
      if (!PyErr_Occurred()) raise(PyExc_TypeError, "argument 'folds': values must be str");
      failed = true;
      return std::string_view{};
    }
    return std::string_view(utf8, static_cast<std::size_t>(size));
  };
  FoldedText folded = fold_for_search(a.text, a.case_sensitive, fold_other);
  if (failed) return nullptr;
  if (!folded.missing.empty()) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(folded.missing.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < folded.missing.size(); ++i) {
      PyObject* ch = PyUnicode_FromOrdinal(static_cast<int>(folded.missing[i]));
      if (ch == nullptr) return nullptr;
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), ch);
    }
    return list.release();
  }
  const std::size_t bytes = sizeof(std::int32_t) * folded.origin.size();
  Ref origin = Ref::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(bytes)));
  if (!origin) return nullptr;
  if (bytes > 0) std::memcpy(PyBytes_AsString(origin.get()), folded.origin.data(), bytes);
  return tuple_of({PyUnicode_FromStringAndSize(folded.text.data(),
                                               static_cast<Py_ssize_t>(folded.text.size())),
                   origin.release()});
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
