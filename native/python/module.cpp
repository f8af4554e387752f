// The module textloom._native: init, load_page, bench_page, render_page, render_plan,
// grey_pixels, markdown_pages, the RsPage type, RenderTimeout and __version__. Every call holds the interpreter lock from
// start to end, which is what serialises PDFium.

#include <string>

#include "args.hpp"
#include "errors.hpp"
#include "extract.hpp"
#include "ffi.hpp"
#include "fold_table.hpp"
#include "module_functions.hpp"
#include "module_state.hpp"
#include "page.hpp"
#include "page_text_map.hpp"
#include "py.hpp"

namespace textloom::py {

namespace {

ModuleState state;

constexpr const char* kNotInitialised = "textloom._native.init(libpdfium_path) not called";

struct InitArgs {
  std::string lib_path;
};
const Signature<InitArgs, 1> kInitSignature{"init", {{{"lib_path", &InitArgs::lib_path}}}};

PyObject* init(PyObject*, PyObject* args, PyObject* kwargs) {
  InitArgs a;
  if (!parse_args(kInitSignature, args, kwargs, a)) return nullptr;
  Result<const Pdfium*> loaded = load_pdfium(a.lib_path);
  if (!loaded) return raise(PyExc_RuntimeError, loaded.error());
  Py_RETURN_NONE;
}

struct LoadPageArgs {
  std::uint64_t doc_addr = 0;
  std::int32_t index = 0;
  bool ligatures = false;
  std::uint64_t form_addr = 0;
};
const Signature<LoadPageArgs, 4> kLoadPageSignature{
    "load_page",
    {{{"doc_addr", &LoadPageArgs::doc_addr},
      {"index", &LoadPageArgs::index},
      {"ligatures", &LoadPageArgs::ligatures, "False"},
      {"form_addr", &LoadPageArgs::form_addr, "0"}}}};

PyObject* load_page(PyObject*, PyObject* args, PyObject* kwargs) {
  LoadPageArgs a;
  if (!parse_args(kLoadPageSignature, args, kwargs, a)) return nullptr;
  const Pdfium* pdf = initialised_pdfium();
  if (pdf == nullptr) return nullptr;
  Result<PageGlyphs> page = extract_page(*pdf, document_at(a.doc_addr), a.index, a.ligatures,
                                           form_at(a.form_addr));
  if (!page) return raise(PyExc_RuntimeError, page.error());
  return new_page(std::move(page).value());
}

// The module's functions, their docstrings made once from the signatures. The
// docstring texts are quoted as the module's contract words them.
PyMethodDef* module_functions() {
  static const std::string init_doc = docstring(
      kInitSignature,
      "Load the PDFium shared library. Pass the path of the libpdfium that pypdfium2 already\n"
      "loaded, so both share one PDFium instance (same dlopen handle).");
  static const std::string load_page_doc = docstring(
      kLoadPageSignature,
      "Extract the glyphs of page `index` from a PDFium FPDF_DOCUMENT handle (address).\n"
      "With `form_addr`, the document's FPDF_FORMHANDLE, the values of filled form fields\n"
      "are read too (free-text annotations always), kept aside for with_shown_text.\n"
      "The GIL is held for the whole call: PDFium is not thread-safe.");
  static PyMethodDef functions[] = {
      {"init", as_cfunction<init>(), METH_VARARGS | METH_KEYWORDS, init_doc.c_str()},
      {"load_page", as_cfunction<load_page>(), METH_VARARGS | METH_KEYWORDS,
       load_page_doc.c_str()},
      {"bench_page", as_cfunction<bench_page>(), METH_VARARGS | METH_KEYWORDS,
       bench_page_doc()},
      {"render_page", as_cfunction<render_page>(), METH_VARARGS | METH_KEYWORDS,
       render_page_doc()},
      {"markdown_pages", as_cfunction<markdown_pages>(), METH_VARARGS | METH_KEYWORDS,
       markdown_pages_doc()},
      {"render_plan", as_cfunction<render_plan>(), METH_VARARGS | METH_KEYWORDS,
       render_plan_doc()},
      {"grey_pixels", as_cfunction<grey_pixels>(), METH_VARARGS | METH_KEYWORDS,
       grey_pixels_doc()},
      {"find_pattern", as_cfunction<find_pattern>(), METH_VARARGS | METH_KEYWORDS,
       find_pattern_doc()},
      {"fold_text", as_cfunction<fold_text>(), METH_VARARGS | METH_KEYWORDS, fold_text_doc()},
      {nullptr, nullptr, 0, nullptr},
  };
  return functions;
}

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "textloom._native", nullptr, -1, nullptr,
    nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

ModuleState& module_state() { return state; }

const Pdfium* initialised_pdfium() {
  const Pdfium* pdf = loaded_pdfium();
  if (pdf == nullptr) raise(PyExc_RuntimeError, kNotInitialised);
  return pdf;
}

bool intern_keys(Keys& keys) {
#define TEXTLOOM_INTERN(name)                                  \
  if (keys.name == nullptr) {                                  \
    keys.name = PyUnicode_InternFromString(#name);             \
    if (keys.name == nullptr) return false;                    \
  }
  TEXTLOOM_DICT_KEYS(TEXTLOOM_INTERN)
#undef TEXTLOOM_INTERN
#define TEXTLOOM_INTERN_SPELLED(field, text)                   \
  if (keys.field == nullptr) {                                 \
    keys.field = PyUnicode_InternFromString(text);             \
    if (keys.field == nullptr) return false;                   \
  }
  TEXTLOOM_SPELLED_KEYS(TEXTLOOM_INTERN_SPELLED)
#undef TEXTLOOM_INTERN_SPELLED
  return true;
}

// Adds the module's object `name`: made by `make` at the first import and
// kept in `slot`, the same object at every later one. False with the error set.
template <class T, class Make>
bool add_made_once(PyObject* module, const char* name, T*& slot, Make make) {
  if (slot == nullptr) {
    slot = make();
    if (slot == nullptr) return false;
  }
  PyObject* object = reinterpret_cast<PyObject*>(slot);
  Py_INCREF(object);
  if (PyModule_AddObject(module, name, object) < 0) {
    Py_DECREF(object);
    return false;
  }
  return true;
}

}  // namespace textloom::py

PyMODINIT_FUNC PyInit__native() {
  using namespace textloom::py;
  module_def.m_methods = module_functions();
  Ref module = Ref::steal(PyModule_Create(&module_def));
  if (!module) return nullptr;
  if (!intern_keys(state.keys)) return nullptr;
  if (!add_made_once(module.get(), "RsPage", state.page_type, make_page_type) ||
      !add_made_once(module.get(), "TextMap", state.text_map_type, make_text_map_type) ||
      !add_made_once(module.get(), "FoldTable", state.fold_table_type, make_fold_table_type) ||
      !add_made_once(module.get(), "RenderTimeout", state.render_timeout, [] {
        return PyErr_NewExceptionWithDoc(
            "textloom._native.RenderTimeout",
            "render_page passed its time limit (a RuntimeError, as every rendering failure).",
            PyExc_RuntimeError, nullptr);
      })) {
    return nullptr;
  }
  if (PyModule_AddStringConstant(module.get(), "__version__", "0.5.0") < 0) return nullptr;
  return module.release();
}
