// Tuples of floats built without intermediate lists, and dicts of counts.

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

PyObject* new_tuple(PyTypeObject* type, Py_ssize_t n) {
  if (type == nullptr) return PyTuple_New(n);
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  return alloc(type, n);
}

PyObject* bbox_tuple(double a, double b, double c, double d) {
  const double values[4] = {a, b, c, d};
  return float_tuple(values);
}

PyObject* pair_tuple(double a, double b) {
  const double values[2] = {a, b};
  return float_tuple(values);
}

PyObject* int_dict(std::initializer_list<std::pair<const char*, std::uint64_t>> entries) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return nullptr;
  for (const auto& [key, number] : entries) {
    Ref value = Ref::steal(PyLong_FromUnsignedLongLong(number));
    if (!value || PyDict_SetItemString(dict.get(), key, value.get()) < 0) return nullptr;
  }
  return dict.release();
}

}  // namespace textloom::py
