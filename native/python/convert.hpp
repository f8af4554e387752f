// Small builders of Python values from core values.
#pragma once

#include "py.hpp"

namespace textloom::py {

// A tuple of four floats, in the order given (a box: x0, y0, x1, y1).
PyObject* bbox_tuple(double a, double b, double c, double d);

// A tuple of two floats (a point or a direction).
PyObject* pair_tuple(double a, double b);

}  // namespace textloom::py
