// RsPage's text methods. Each call converts its arguments, parses the sort,
// lays the page out afresh, then builds the one result asked for; the layout
// records are freed before it returns.

#include "page_methods.hpp"

#include <optional>
#include <string>

#include "args.hpp"
#include "errors.hpp"
#include "layout.hpp"
#include "output.hpp"
#include "page.hpp"
#include "page_signals.hpp"
#include "page_tables.hpp"
#include "page_text_map.hpp"
#include "page_views.hpp"
#include "pdftext_schema.hpp"
#include "quote.hpp"
#include "sort_mode.hpp"
#include "text_schemas.hpp"
#include "utf8.hpp"

namespace textloom::py {

namespace {

// The sort argument, which the tables below take as any object: it is parsed
// here, once the whole table has converted, so that a conversion error of any
// argument, even one after `sort`, comes before a bad sort. Omitted and None
// both mean none.
bool sort_mode_of(PyObject* sort, SortMode& mode) {
  mode = SortMode::none;
  return sort == nullptr || sort == Py_None || parse_sort(sort, mode);
}

Xf xf_of(const PageGlyphs& page, bool rotated) {
  return Xf{page.width, page.height, page.rotation, rotated};
}

struct GetTextArgs {
  std::string option = "text";
  PyObject* sort = nullptr;
  std::optional<Rect> clip;
  bool rotated = false;
  bool dehyphenate = false;
  std::optional<std::string> delimiters;
  bool extended = false;
};
const Signature<GetTextArgs, 7> kGetTextSignature{
    "RsPage.get_text",
    {{{"option", &GetTextArgs::option, "\"text\""},
      {"sort", &GetTextArgs::sort, "None"},
      {"clip", &GetTextArgs::clip, "None"},
      {"rotated", &GetTextArgs::rotated, "False"},
      {"dehyphenate", &GetTextArgs::dehyphenate, "False"},
      {"delimiters", &GetTextArgs::delimiters, "None"},
      {"extended", &GetTextArgs::extended, "False"}}}};

enum class Schema { text, blocks, words, dict, rawdict, unknown };

Schema schema_of(std::string& option) {
  for (char& c : option) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (option == "text") return Schema::text;
  if (option == "blocks") return Schema::blocks;
  if (option == "words") return Schema::words;
  if (option == "dict") return Schema::dict;
  if (option == "rawdict") return Schema::rawdict;
  return Schema::unknown;
}

PyObject* get_text(PyObject* self, PyObject* args, PyObject* kwargs) {
  GetTextArgs a;
  SortMode mode;
  if (!parse_args(kGetTextSignature, args, kwargs, a) || !sort_mode_of(a.sort, mode)) {
    return nullptr;
  }
  const PageGlyphs& page = page_glyphs(self);
  const std::vector<Block> blocks = layout_page(page, mode, a.clip, LayoutParams{});
  const Xf xf = xf_of(page, a.rotated);
  switch (schema_of(a.option)) {
    case Schema::text:
      return text_result(blocks, a.dehyphenate);
    case Schema::blocks:
      return blocks_result(blocks, xf, a.dehyphenate);
    case Schema::words:
      return words_result(words(blocks, xf, a.dehyphenate, a.delimiters.value_or("")));
    case Schema::dict:
      return dict_result(page, blocks, xf, false, a.extended);
    case Schema::rawdict:
      return dict_result(page, blocks, xf, true, a.extended);
    case Schema::unknown:
      break;
  }
  return raise(PyExc_ValueError, "unsupported option " + quoted(code_points(a.option)));
}

struct WordsArraysArgs {
  PyObject* sort = nullptr;
  std::optional<Rect> clip;
  bool rotated = false;
};
const Signature<WordsArraysArgs, 3> kWordsArraysSignature{
    "RsPage.words_arrays",
    {{{"sort", &WordsArraysArgs::sort, "None"},
      {"clip", &WordsArraysArgs::clip, "None"},
      {"rotated", &WordsArraysArgs::rotated, "False"}}}};

PyObject* words_arrays(PyObject* self, PyObject* args, PyObject* kwargs) {
  WordsArraysArgs a;
  SortMode mode;
  if (!parse_args(kWordsArraysSignature, args, kwargs, a) || !sort_mode_of(a.sort, mode)) {
    return nullptr;
  }
  const PageGlyphs& page = page_glyphs(self);
  const std::vector<Block> blocks = layout_page(page, mode, a.clip, LayoutParams{});
  return words_arrays_result(words(blocks, xf_of(page, a.rotated), false, ""));
}

struct TextMapArgs {
  PyObject* sort = nullptr;
  bool rotated = false;
};
const Signature<TextMapArgs, 2> kTextMapSignature{
    "RsPage.text_map",
    {{{"sort", &TextMapArgs::sort, "None"}, {"rotated", &TextMapArgs::rotated, "False"}}}};

PyObject* text_map(PyObject* self, PyObject* args, PyObject* kwargs) {
  TextMapArgs a;
  SortMode mode;
  if (!parse_args(kTextMapSignature, args, kwargs, a) || !sort_mode_of(a.sort, mode)) {
    return nullptr;
  }
  const PageGlyphs& page = page_glyphs(self);
  return new_text_map(
      TextMap(layout_page(page, mode, std::nullopt, LayoutParams{}), xf_of(page, a.rotated)));
}

struct PdftextBlocksArgs {
  PyObject* sort = nullptr;
  bool keep_chars = false;
};
const Signature<PdftextBlocksArgs, 2> kPdftextBlocksSignature{
    "RsPage.pdftext_blocks",
    {{{"sort", &PdftextBlocksArgs::sort, "None"},
      {"keep_chars", &PdftextBlocksArgs::keep_chars, "False"}}}};

PyObject* pdftext_blocks(PyObject* self, PyObject* args, PyObject* kwargs) {
  PdftextBlocksArgs a;
  SortMode mode;
  if (!parse_args(kPdftextBlocksSignature, args, kwargs, a) || !sort_mode_of(a.sort, mode)) {
    return nullptr;
  }
  const PageGlyphs& page = page_glyphs(self);
  return pdftext_result(page, layout_page(page, mode, std::nullopt, LayoutParams{}),
                        a.keep_chars);
}

}  // namespace

// Docstring texts quoted as the module's contract words them.
PyMethodDef* page_methods() {
  static const std::string get_text_doc = docstring(
      kGetTextSignature,
      "Same contract as textloom.Page.get_text for option in text|words|blocks|dict|rawdict.");
  static const std::string words_arrays_doc = docstring(
      kWordsArraysSignature,
      "Bulk words for numpy: (coords f64[N*4] bytes, ids i32[N*3] bytes (block,line,word), "
      "texts list)");
  static const std::string text_map_doc = docstring(
      kTextMapSignature,
      "The page laid out as get_text(\"text\") lays it out, kept as a TextMap: its text, the\n"
      "boxes of any range of it, and search in it.");
  static const std::string pdftext_blocks_doc = docstring(
      kPdftextBlocksSignature,
      "Blocks in pdftext's schema (for textloom.compat.pdftext): lists for bboxes; interned\n"
      "font dicts with name, flags, size and weight; char_start_idx and char_end_idx; rotation\n"
      "in radians; PDFium-generated spaces as their own spans with an empty font; a line-feed\n"
      "span ending every line but the page's last; and the extra span keys _base (baseline\n"
      "coordinate across the line), _sup (superscript font flag) and _vertical, which a Python\n"
      "post-pass reads.");
  static PyMethodDef methods[] = {
      {"get_text", as_cfunction<get_text>(), METH_VARARGS | METH_KEYWORDS,
       get_text_doc.c_str()},
      {"pdftext_blocks", as_cfunction<pdftext_blocks>(), METH_VARARGS | METH_KEYWORDS,
       pdftext_blocks_doc.c_str()},
      {"words_arrays", as_cfunction<words_arrays>(), METH_VARARGS | METH_KEYWORDS,
       words_arrays_doc.c_str()},
      {"tables", as_cfunction<page_tables>(), METH_VARARGS | METH_KEYWORDS, page_tables_doc()},
      {"text_signals", page_text_signals, METH_NOARGS, page_text_signals_doc()},
      {"visible", page_visible, METH_NOARGS, page_visible_doc()},
      {"with_shown_text", page_with_shown_text, METH_NOARGS, page_with_shown_text_doc()},
      {"without_chars", as_cfunction<page_without_chars>(), METH_VARARGS | METH_KEYWORDS,
       page_without_chars_doc()},
      {"text_map", as_cfunction<text_map>(), METH_VARARGS | METH_KEYWORDS, text_map_doc.c_str()},
      {"with_text", as_cfunction<page_with_text>(), METH_VARARGS | METH_KEYWORDS,
       page_with_text_doc()},
      {nullptr, nullptr, 0, nullptr},
  };
  return methods;
}

}  // namespace textloom::py
