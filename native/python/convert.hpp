// Small builders of Python values from core values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "py.hpp"

namespace textloom::py {

// A tuple of four floats, in the order given (a box: x0, y0, x1, y1).
PyObject* bbox_tuple(double a, double b, double c, double d);

// A tuple of two floats (a point or a direction).
PyObject* pair_tuple(double a, double b);

// An empty tuple of `n` items made as an instance of `type`, a subclass of
// tuple (a named tuple), as tuple.__new__ makes one: its __new__ and
// __init__ are not run. A plain tuple for a null type.
PyObject* new_tuple(PyTypeObject* type, Py_ssize_t n);

// A tuple of new references (an instance of `type` as new_tuple makes it);
// steals them all, also on failure.
template <std::size_t N>
PyObject* tuple_of(PyObject* const (&items)[N], PyTypeObject* type = nullptr) {
  Ref tuple;
  bool complete = true;
  for (PyObject* item : items) complete = complete && item != nullptr;
  if (complete) tuple = Ref::steal(new_tuple(type, N));
  if (!tuple) {
    for (PyObject* item : items) Py_XDECREF(item);
    return nullptr;
  }
  for (std::size_t i = 0; i < N; ++i) PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), items[i]);
  return tuple.release();
}

// A dict of ints under plain string keys, in the order given (timings, counts).
PyObject* int_dict(std::initializer_list<std::pair<const char*, std::uint64_t>> entries);

}  // namespace textloom::py
