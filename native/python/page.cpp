// RsPage: construction from extracted glyphs, deallocation, and the read-only
// properties. The text methods are declared in page_methods.hpp.

#include "page.hpp"

#include <new>
#include <vector>

#include "convert.hpp"
#include "module_state.hpp"
#include "page_methods.hpp"

namespace textloom::py {

namespace {

struct PageObject {
  PyObject_HEAD
  PageGlyphs glyphs;
};

PageObject* as_page(PyObject* self) { return reinterpret_cast<PageObject*>(self); }

PyObject* page_new(PyTypeObject* type, PyObject*, PyObject*) {
  Ref name = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__"));
  const char* text = name ? PyUnicode_AsUTF8AndSize(name.get(), nullptr) : nullptr;
  if (text == nullptr) return nullptr;
  PyErr_Format(PyExc_TypeError, "No constructor defined for %s", text);
  return nullptr;
}

void page_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  as_page(self)->glyphs.~PageGlyphs();
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);  // instances of heap types own a reference to their type
}

PyObject* get_width(PyObject* self, void*) {
  return PyFloat_FromDouble(as_page(self)->glyphs.width);
}

PyObject* get_height(PyObject* self, void*) {
  return PyFloat_FromDouble(as_page(self)->glyphs.height);
}

PyObject* get_rotation(PyObject* self, void*) {
  return PyLong_FromUnsignedLong(as_page(self)->glyphs.rotation);
}

PyObject* get_crop(PyObject* self, void*) {
  const auto& c = as_page(self)->glyphs.crop;
  return bbox_tuple(c[0], c[1], c[2], c[3]);
}

PyObject* get_n_glyphs(PyObject* self, void*) {
  return PyLong_FromSize_t(as_page(self)->glyphs.glyphs.size());
}

PyObject* get_text_annotations(PyObject* self, void*) {
  return PyLong_FromUnsignedLong(as_page(self)->glyphs.text_annotations);
}

PyObject* get_timings(PyObject* self, void*) {
  const PageGlyphs& g = as_page(self)->glyphs;
  return int_dict({{"load_page_ns", g.t_load_page},
                   {"load_text_ns", g.t_load_text},
                   {"chars_ns", g.t_chars},
                   {"close_ns", g.t_close}});
}

PyObject* get_links(PyObject* self, void*) {
  const std::vector<PageLink>& links = as_page(self)->glyphs.links;
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(links.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < links.size(); ++i) {
    const PageLink& link = links[i];
    Ref box = Ref::steal(bbox_tuple(link.x0, link.y0, link.x1, link.y1));
    Ref uri = link.uri.empty() ? Ref::borrow(Py_None)
                               : Ref::steal(PyUnicode_FromStringAndSize(
                                     link.uri.data(), static_cast<Py_ssize_t>(link.uri.size())));
    Ref target = link.page < 0 ? Ref::borrow(Py_None) : Ref::steal(PyLong_FromLong(link.page));
    if (!box || !uri || !target) return nullptr;
    PyObject* row = PyTuple_Pack(3, box.get(), uri.get(), target.get());
    if (row == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), row);  // steals row
  }
  return list.release();
}

PyGetSetDef page_getset[] = {
    {"width", get_width, nullptr, nullptr, nullptr},
    {"height", get_height, nullptr, nullptr, nullptr},
    {"rotation", get_rotation, nullptr, nullptr, nullptr},
    {"crop", get_crop, nullptr, "CropBox in PDF user space (l, b, r, t)", nullptr},
    {"n_glyphs", get_n_glyphs, nullptr, nullptr, nullptr},
    {"text_annotations", get_text_annotations, nullptr,
     "Free-text and form-widget annotations: text a viewer shows that the glyphs lack.", nullptr},
    {"timings", get_timings, nullptr, "PDFium timings of the extraction call, nanoseconds.",
     nullptr},
    {"links", get_links, nullptr,
     "Links that lead to a URI or a page: (bbox in page space, uri or None, page index or None).",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

PyTypeObject* make_page_type() {
  static PyType_Slot slots[] = {
      // Quoted as the module's contract words it, like the property docstrings.
      {Py_tp_doc, const_cast<char*>("Glyphs of one page (extracted natively). "
                                    "Layout/formatting happens per get_text call.")},
      {Py_tp_new, reinterpret_cast<void*>(page_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(page_dealloc)},
      {Py_tp_getset, page_getset},
      {Py_tp_methods, page_methods()},
      {0, nullptr},
  };
  static PyType_Spec type_spec = {
      "textloom._native.RsPage",
      static_cast<int>(sizeof(PageObject)),
      0,
      Py_TPFLAGS_DEFAULT,
      slots,
  };
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&type_spec));
}

PyObject* new_page(PageGlyphs&& glyphs) {
  PyTypeObject* type = module_state().page_type;
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* self = alloc(type, 0);
  if (self == nullptr) return nullptr;
  new (&as_page(self)->glyphs) PageGlyphs(std::move(glyphs));
  return self;
}

const PageGlyphs& page_glyphs(PyObject* page) { return as_page(page)->glyphs; }

}  // namespace textloom::py
