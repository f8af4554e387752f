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

// A tuple of new references; steals them all, also on failure.
template <std::size_t N>
PyObject* tuple_of(PyObject* const (&items)[N]) {
  Ref tuple;
  bool complete = true;
  for (PyObject* item : items) complete = complete && item != nullptr;
  if (complete) tuple = Ref::steal(PyTuple_New(N));
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
