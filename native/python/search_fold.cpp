// fold_text: the core's folding of page text for Page.search, with the folds
// of characters beyond ASCII from the caller's table.

#include <string>

#include "args.hpp"
#include "fold_table.hpp"
#include "module_functions.hpp"
#include "search_fold.hpp"
#include "utf8.hpp"

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
  if (!parse_args(kFoldTextSignature, args, kwargs, a) || !is_fold_table(a.folds)) return nullptr;
  const FoldMap& table = fold_map(a.folds);
  return folded_result(fold_for_search(code_points(a.text), a.case_sensitive,
                                       [&](std::uint32_t cp) { return table.find(cp); }));
}

const char* fold_text_doc() {
  static const std::string doc = docstring(
      kFoldTextSignature,
      "`text` folded for search: (folded, origin), origin the machine's int32 code-point\n"
      "index in `text` of each character of folded. White space runs become one space\n"
      "(leading ones none), a hyphen and line feed between letters are dropped, ASCII\n"
      "letters lowercased unless `case`, and any other character replaced by its value in\n"
      "`folds` (a FoldTable). Where `folds` lacks characters, a\n"
      "str of them, each once, instead.");
  return doc.c_str();
}

}  // namespace textloom::py
