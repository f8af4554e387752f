// RsPage methods. The text schemas come with the layout engine.

#include "page_methods.hpp"

namespace textloom::py {

PyMethodDef* page_methods() {
  static PyMethodDef methods[] = {
      {nullptr, nullptr, 0, nullptr},
  };
  return methods;
}

}  // namespace textloom::py
