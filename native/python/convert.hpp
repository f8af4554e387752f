// Small builders of Python values from core values.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "py.hpp"

namespace textloom::py {

// A tuple of four floats, in the order given (a box: x0, y0, x1, y1).
PyObject* bbox_tuple(double a, double b, double c, double d);

// A tuple of two floats (a point or a direction).
PyObject* pair_tuple(double a, double b);

// A dict of ints under plain string keys, in the order given (timings, counts).
PyObject* int_dict(std::initializer_list<std::pair<const char*, std::uint64_t>> entries);

}  // namespace textloom::py
