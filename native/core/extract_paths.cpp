// Reading rules from path objects: each object's matrix composed with the
// forms it sits in, its segments walked subpath by subpath; stroked straight
// segments that run along an axis become rules, and so do filled rectangles
// thin enough to be drawn lines. Slanted lines, large fills and paths with
// curves are left out: they draw figures, not tables.

#include "extract_paths.hpp"

#include <cmath>
#include <cstddef>
#include <utility>

#include "num.hpp"

namespace textloom {

namespace {

// Forms nest two or three deep in real files; deeper nesting is damage or a
// loop that PDFium did not catch, and walking it would cost without end.
constexpr int kMaxFormDepth = 8;
// Beyond these counts a page is a vector drawing or damage, not a table: the
// walk stops there so that no page costs more than a bounded amount of work.
constexpr std::size_t kMaxObjects = 1'000'000;
constexpr std::size_t kMaxSegments = 2'000'000;
// A segment counts as horizontal (vertical) when it rises (runs) at most this
// fraction of its length: one percent is well below what a reader sees as
// slanted, and well above the rounding of producers' coordinates.
constexpr double kAxisSlope = 0.01;
// A filled rectangle whose thinner side is at most this many points is drawn
// as a line: four points is a heavy rule, while cell shading is a line of
// text high or more.
constexpr double kMaxRectThickness = 4.0;
// Page-space coordinates beyond a million points (350 metres) are damage.
constexpr double kMaxCoordinate = 1e6;
// A rectangle's corner may miss its box by this much (rounding of producers).
constexpr double kCornerSlack = 0.01;

struct Matrix {
  double a, b, c, d, e, f;
};

constexpr Matrix kIdentity{1, 0, 0, 1, 0, 0};

// `inner` applied first, then `outer` (PDF's row-vector convention).
Matrix compose(const Matrix& inner, const Matrix& outer) {
  return {inner.a * outer.a + inner.b * outer.c, inner.a * outer.b + inner.b * outer.d,
          inner.c * outer.a + inner.d * outer.c, inner.c * outer.b + inner.d * outer.d,
          inner.e * outer.a + inner.f * outer.c + outer.e,
          inner.e * outer.b + inner.f * outer.d + outer.f};
}

bool finite_point(double x, double y) {
  return std::fabs(x) <= kMaxCoordinate && std::fabs(y) <= kMaxCoordinate;  // false for NaN
}

std::uint32_t rgb(unsigned r, unsigned g, unsigned b) {
  return ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}

struct Point {
  double x, y;
};

// Working state of one page's walk.
struct Walk {
  const Pdfium& pdf;
  double crop_left, crop_top;
  std::vector<PageRule>& rules;
  std::vector<Rect>& marks;
  std::vector<Rect>& images;
  std::vector<Point> subpath;  // reused by every subpath of the page
  bool figure = false;         // the current path draws a figure
  Rect seen = kEmptyRect;      // the current path's points so far
  std::size_t objects = 0;
  std::size_t segments = 0;

  Point to_page(const Matrix& m, double x, double y) const {
    return {m.a * x + m.c * y + m.e - crop_left, crop_top - (m.b * x + m.d * y + m.f)};
  }

  void add_stroke(const Point& p, const Point& q, double width, std::uint32_t color) {
    const double dx = std::fabs(q.x - p.x), dy = std::fabs(q.y - p.y);
    if (dx == 0 && dy == 0) return;  // a zero-length segment draws at most a dot
    if (dy <= kAxisSlope * dx) {
      const double y = (p.y + q.y) / 2;
      rules.push_back({min_num(p.x, q.x), y, max_num(p.x, q.x), y, width, color, false});
    } else if (dx <= kAxisSlope * dy) {
      const double x = (p.x + q.x) / 2;
      rules.push_back({x, min_num(p.y, q.y), x, max_num(p.y, q.y), width, color, false});
    } else {
      figure = true;
    }
  }

  // A finished subpath that is an axis-aligned rectangle, thin, becomes one
  // rule along its longer side.
  void add_fill(std::uint32_t color) {
    std::size_t n = subpath.size();
    if (n == 5 && subpath[4].x == subpath[0].x && subpath[4].y == subpath[0].y) n = 4;
    if (n != 4) {
      figure = figure || n >= 3;  // a filled polygon: a chart's area or a symbol
      return;
    }
    double x0 = subpath[0].x, y0 = subpath[0].y, x1 = x0, y1 = y0;
    for (std::size_t k = 1; k < 4; ++k) {
      x0 = min_num(x0, subpath[k].x), x1 = max_num(x1, subpath[k].x);
      y0 = min_num(y0, subpath[k].y), y1 = max_num(y1, subpath[k].y);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      const bool on_x = std::fabs(subpath[k].x - x0) <= kCornerSlack ||
                        std::fabs(subpath[k].x - x1) <= kCornerSlack;
      const bool on_y = std::fabs(subpath[k].y - y0) <= kCornerSlack ||
                        std::fabs(subpath[k].y - y1) <= kCornerSlack;
      if (!on_x || !on_y) {
        figure = true;
        return;
      }
    }
    const double w = x1 - x0, h = y1 - y0;
    if (w >= h && h <= kMaxRectThickness && w > 0) {
      rules.push_back({x0, (y0 + y1) / 2, x1, (y0 + y1) / 2, h, color, true});
    } else if (h > w && w <= kMaxRectThickness) {
      rules.push_back({(x0 + x1) / 2, y0, (x0 + x1) / 2, y1, w, color, true});
    }
  }

  void read_path(FPDF_PAGEOBJECT path, const Matrix& m) {
    int fill_mode = 0;
    FPDF_BOOL stroke = 0;
    if (!pdf.FPDFPath_GetDrawMode(path, &fill_mode, &stroke)) return;
    bool fill = fill_mode != 0;
    if (!stroke && !fill) return;  // a clipping path or an invisible one
    std::uint32_t stroke_color = 0, fill_color = 0;
    unsigned r = 0, g = 0, b = 0, a = 255;
    if (stroke) {
      if (!pdf.FPDFPageObj_GetStrokeColor(path, &r, &g, &b, &a) || a == 0) {
        stroke = 0;  // a transparent stroke draws nothing
      }
      stroke_color = rgb(r, g, b);
    }
    if (fill) {
      a = 255;
      if (!pdf.FPDFPageObj_GetFillColor(path, &r, &g, &b, &a)) r = g = b = 0;
      fill_color = rgb(r, g, b);
      fill = a != 0;  // a transparent fill draws nothing
      if (!fill && !stroke) return;
    }
    float raw_width = 1;
    if (stroke && !pdf.FPDFPageObj_GetStrokeWidth(path, &raw_width)) raw_width = 1;
    // The stroke scales with the matrix; its mean scale is the root of the determinant.
    const double scale = std::sqrt(std::fabs(m.a * m.d - m.b * m.c));
    const double width = std::fabs(double{raw_width}) * scale;
    const int count = pdf.FPDFPath_CountSegments(path);
    if (count <= 0) return;
    subpath.clear();
    figure = false;
    seen = kEmptyRect;
    const std::size_t first_rule = rules.size();
    bool have_point = false;
    Point current{0, 0};
    auto finish = [&]() {
      if (fill) add_fill(fill_color);
      subpath.clear();
    };
    for (int i = 0; i < count; ++i) {
      if (++segments > kMaxSegments) return;
      FPDF_PATHSEGMENT segment = pdf.FPDFPath_GetPathSegment(path, i);
      if (segment == nullptr) continue;
      float fx = 0, fy = 0;
      if (!pdf.FPDFPathSegment_GetPoint(segment, &fx, &fy)) continue;
      const int type = pdf.FPDFPathSegment_GetType(segment);
      const Point p = to_page(m, double{fx}, double{fy});
      if (!finite_point(p.x, p.y)) {
        // A damaged point breaks the subpath: nothing is drawn to or from it.
        finish();
        have_point = false;
        continue;
      }
      if (type == kPdfSegmentMoveTo || !have_point) {
        finish();
      } else if (type == kPdfSegmentLineTo) {
        if (stroke) add_stroke(current, p, width, stroke_color);
      } else {
        // A curve: the path draws a figure, not a table, and reading the
        // rest of its segments (charts have thousands) would only cost.
        rules.resize(first_rule);
        marks.push_back(rect_union(seen, Rect{p.x, p.y, p.x, p.y}));
        return;
      }
      subpath.push_back(p);
      seen = rect_union(seen, Rect{p.x, p.y, p.x, p.y});
      current = p;
      have_point = true;
      if (pdf.FPDFPathSegment_GetClose(segment)) {
        if (stroke) add_stroke(current, subpath.front(), width, stroke_color);
        finish();
        // PDF's closepath leaves the current point at the subpath's start.
        have_point = false;
      }
    }
    finish();
    if (figure) marks.push_back(seen);
  }

  // An image fills the unit square its matrix maps into the page.
  void add_image(const Matrix& m) {
    Rect box = kEmptyRect;
    for (const auto& [x, y] : {std::pair{0.0, 0.0}, {1.0, 0.0}, {0.0, 1.0}, {1.0, 1.0}}) {
      const Point p = to_page(m, x, y);
      if (!finite_point(p.x, p.y)) return;
      box = rect_union(box, Rect{p.x, p.y, p.x, p.y});
    }
    images.push_back(box);
  }

  void read_objects(FPDF_PAGEOBJECT form, FPDF_PAGE page, int count, const Matrix& outer,
                    int depth) {
    for (int i = 0; i < count; ++i) {
      if (++objects > kMaxObjects || segments > kMaxSegments) return;
      FPDF_PAGEOBJECT object = form != nullptr
                                   ? pdf.FPDFFormObj_GetObject(form, static_cast<unsigned long>(i))
                                   : pdf.FPDFPage_GetObject(page, i);
      if (object == nullptr) continue;
      const int type = pdf.FPDFPageObj_GetType(object);
      if (type != kPdfObjectPath && type != kPdfObjectForm && type != kPdfObjectImage) continue;
      if (type == kPdfObjectPath && form == nullptr) {
        // Top-level bounds are in user space: a path off the page or with
        // damaged bounds is skipped before its segments are read.
        float l = 0, b = 0, r = 0, t = 0;
        if (!pdf.FPDFPageObj_GetBounds(object, &l, &b, &r, &t)) continue;
        if (!finite_point(double{l} - crop_left, crop_top - double{b}) ||
            !finite_point(double{r} - crop_left, crop_top - double{t})) {
          continue;
        }
      }
      FS_MATRIX fm{1, 0, 0, 1, 0, 0};
      if (!pdf.FPDFPageObj_GetMatrix(object, &fm)) fm = FS_MATRIX{1, 0, 0, 1, 0, 0};
      const Matrix m = compose({fm.a, fm.b, fm.c, fm.d, fm.e, fm.f}, outer);
      if (type == kPdfObjectPath) {
        read_path(object, m);
      } else if (type == kPdfObjectImage) {
        add_image(m);
      } else if (depth < kMaxFormDepth) {
        const int inner = pdf.FPDFFormObj_CountObjects(object);
        if (inner > 0) read_objects(object, page, inner, m, depth + 1);
      }
    }
  }
};

}  // namespace

void read_rules(const Pdfium& pdf, FPDF_PAGE page, const std::array<double, 4>& crop,
                std::vector<PageRule>& rules, std::vector<Rect>& marks, std::vector<Rect>& images) {
  const int count = pdf.FPDFPage_CountObjects(page);
  if (count <= 0) return;
  Walk walk{pdf, crop[0], crop[3], rules, marks, images, {}};
  walk.read_objects(nullptr, page, count, kIdentity, 0);
}

}  // namespace textloom
