// Numeric rules shared by every stage: NaN-tolerant minimum and maximum,
// rectangles in page space, and the comparisons that the project's one sort
// (sort.hpp) is driven by. All coordinate arithmetic is in double; a NaN never
// aborts anything, it only loses comparisons.
#pragma once

#include <cmath>
#include <limits>

namespace textloom {

// minNum: a NaN operand yields to a number; -0.0 counts as less than +0.0,
// so the result does not depend on operand order or the optimiser.
inline double min_num(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  if (a < b) return a;
  if (b < a) return b;
  return std::signbit(a) ? a : b;
}

// maxNum: a NaN operand yields to a number; +0.0 counts as greater than -0.0.
inline double max_num(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  if (a > b) return a;
  if (b > a) return b;
  return std::signbit(a) ? b : a;
}

// Rectangle in page space (points; origin top-left of the crop box, y down).
struct Rect {
  double x0;  // left
  double y0;  // top
  double x1;  // right
  double y1;  // bottom
};

// The neutral element of rect_union: every real box replaces it.
inline constexpr Rect kEmptyRect{std::numeric_limits<double>::infinity(),
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity()};

// Component-wise union (minimum of x0/y0, maximum of x1/y1), NaN-tolerant.
inline Rect rect_union(const Rect& a, const Rect& b) {
  return {min_num(a.x0, b.x0), min_num(a.y0, b.y0), max_num(a.x1, b.x1),
          max_num(a.y1, b.y1)};
}

// Lexicographic "less" on a key of two numbers: an unordered or equal first
// component passes the decision to the second.
inline bool key_less(double a0, double a1, double b0, double b1) {
  if (a0 < b0) return true;
  if (b0 < a0) return false;
  return a1 < b1;
}

}  // namespace textloom
