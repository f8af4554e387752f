// find_pattern: the core's PCRE2 search, for Page.search(regex=True).

#include <string>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "module_functions.hpp"
#include "pattern.hpp"

namespace textloom::py {

namespace {

struct FindPatternArgs {
  std::string pattern;
  std::string text;
  bool caseless = false;
};
const Signature<FindPatternArgs, 3> kFindPatternSignature{
    "find_pattern",
    {{{"pattern", &FindPatternArgs::pattern},
      {"text", &FindPatternArgs::text},
      {"caseless", &FindPatternArgs::caseless, "False"}}}};

}  // namespace

PyObject* find_pattern(PyObject*, PyObject* args, PyObject* kwargs) {
  FindPatternArgs a;
  if (!parse_args(kFindPatternSignature, args, kwargs, a)) return nullptr;
  auto found = textloom::find_pattern(a.pattern, a.text, a.caseless);
  if (!found) return raise(PyExc_ValueError, found.error());
  const auto& spans = found.value();
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(spans.size()));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    PyObject* pair = Py_BuildValue("(nn)", static_cast<Py_ssize_t>(spans[i].first),
                                   static_cast<Py_ssize_t>(spans[i].second));
    if (pair == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SetItem(list, static_cast<Py_ssize_t>(i), pair);
  }
  return list;
}

const char* find_pattern_doc() {
  static const std::string doc = docstring(
      kFindPatternSignature,
      "Where the PCRE2 `pattern` (UTF, Unicode properties) matches `text`, left to right and\n"
      "apart: a list of (start, end) code-point offsets, empty matches left out. ValueError\n"
      "for a bad pattern, or one that passes PCRE2's match limit on this text.");
  return doc.c_str();
}

}  // namespace textloom::py
