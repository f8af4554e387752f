// Raising Python exceptions from UTF-8 error texts.

#include "errors.hpp"

namespace textloom::py {

PyObject* raise(PyObject* type, std::string_view message) {
  Ref text = Ref::steal(PyUnicode_DecodeUTF8(message.data(),
                                             static_cast<Py_ssize_t>(message.size()), "replace"));
  if (text) PyErr_SetObject(type, text.get());
  return nullptr;
}

}  // namespace textloom::py
