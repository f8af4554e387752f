// Tuples of floats built without intermediate lists.

#include "convert.hpp"

namespace textloom::py {

namespace {

template <std::size_t N>
PyObject* float_tuple(const double (&values)[N]) {
  Ref tuple = Ref::steal(PyTuple_New(N));
  if (!tuple) return nullptr;
  for (std::size_t i = 0; i < N; ++i) {
    PyObject* item = PyFloat_FromDouble(values[i]);
    if (item == nullptr) return nullptr;
    PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), item);  // steals item
  }
  return tuple.release();
}

}  // namespace

PyObject* bbox_tuple(double a, double b, double c, double d) {
  const double values[4] = {a, b, c, d};
  return float_tuple(values);
}

PyObject* pair_tuple(double a, double b) {
  const double values[2] = {a, b};
  return float_tuple(values);
}

}  // namespace textloom::py
