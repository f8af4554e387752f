// markdown_pages: converts a list of RsPage objects, runs the core's
// markdown_pages on their glyphs and returns its texts as a list of str.

#include <string>
#include <vector>

#include "args.hpp"
#include "errors.hpp"
#include "markdown.hpp"
#include "module_functions.hpp"
#include "module_state.hpp"
#include "page.hpp"
#include "sort_mode.hpp"

namespace textloom::py {

namespace {

struct MarkdownArgs {
  PyObject* pages = nullptr;
  PyObject* sort = nullptr;
  bool keep_headers = false;
  bool superscripts = true;
  bool subscripts = true;
  bool links = true;
};
const Signature<MarkdownArgs, 6> kMarkdownSignature{
    "markdown_pages",
    {{{"pages", &MarkdownArgs::pages},
      {"sort", &MarkdownArgs::sort, "\"reading\""},
      {"keep_headers", &MarkdownArgs::keep_headers, "False"},
      {"superscripts", &MarkdownArgs::superscripts, "True"},
      {"subscripts", &MarkdownArgs::subscripts, "True"},
      {"links", &MarkdownArgs::links, "True"}}}};

// The pages of a list or tuple of RsPage, each item kept alive in `owned`.
bool pages_of(PyObject* value, std::vector<Ref>& owned, std::vector<const PageGlyphs*>& out) {
  PyTypeObject* type = module_state().page_type;
  const bool sequence = PyList_Check(value) || PyTuple_Check(value);
  const Py_ssize_t n = sequence ? PySequence_Size(value) : 0;
  if (n < 0) return false;
  for (Py_ssize_t i = 0; sequence && i < n; ++i) {
    owned.push_back(Ref::steal(PySequence_GetItem(value, i)));
    if (!owned.back()) return false;
    if (!PyObject_TypeCheck(owned.back().get(), type)) break;
    out.push_back(&page_glyphs(owned.back().get()));
  }
  if (sequence && out.size() == static_cast<std::size_t>(n)) return true;
  raise(PyExc_TypeError, "expected a list of RsPage");
  prefix_argument_error("pages", true);
  return false;
}

}  // namespace

PyObject* markdown_pages(PyObject*, PyObject* args, PyObject* kwargs) {
  MarkdownArgs a;
  if (!parse_args(kMarkdownSignature, args, kwargs, a)) return nullptr;
  MarkdownOptions options;
  // Omitted: reading order; None: none, as for get_text.
  if (a.sort != nullptr && !(a.sort == Py_None ? (options.sort = SortMode::none, true)
                                               : parse_sort(a.sort, options.sort))) {
    return nullptr;
  }
  std::vector<Ref> owned;  // keeps the pages alive while their glyphs are read
  std::vector<const PageGlyphs*> pages;
  if (!pages_of(a.pages, owned, pages)) return nullptr;
  options.keep_headers = a.keep_headers;
  options.superscripts = a.superscripts;
  options.subscripts = a.subscripts;
  options.links = a.links;
  const std::vector<std::string> texts = markdown_pages(pages, options);
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(texts.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    PyObject* text = PyUnicode_FromStringAndSize(texts[i].data(),
                                                 static_cast<Py_ssize_t>(texts[i].size()));
    if (text == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), text);  // steals text
  }
  return list.release();
}

const char* markdown_pages_doc() {
  static const std::string doc = docstring(
      kMarkdownSignature,
      "Markdown of each page (a list of RsPage) as a list of str, as\n"
      "textloom.Document.to_markdown writes it: body size, heading levels and running\n"
      "headers and footers are found over all the pages given.");
  return doc.c_str();
}

}  // namespace textloom::py
