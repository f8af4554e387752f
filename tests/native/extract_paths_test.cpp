// The page's rules on a scripted stand-in PDFium: the calls and their order,
// what becomes a rule and what does not, forms and their depth, damage.

#include "extract_paths.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "extract.hpp"
#include "fake_pdfium.hpp"

namespace textloom {
namespace {

using fake::PageObject;
using fake::Segment;
using Calls = std::vector<std::string>;

Segment move(float x, float y) { return {x, y, kPdfSegmentMoveTo}; }
Segment line(float x, float y, bool close = false) { return {x, y, kPdfSegmentLineTo, close}; }

// A stroked path through the given segments.
PageObject path(std::vector<Segment> segments) {
  PageObject o;
  o.segments = std::move(segments);
  return o;
}

// (x0, y0, x1, y1, width, filled) of each rule, rounded to 1/1000 point.
using Got = std::vector<std::tuple<double, double, double, double, double, bool>>;
Got rules_of(fake::Page& page) {
  const Pdfium pdf = fake::table(page);
  Result<PageGlyphs> result = extract_page(pdf, nullptr, 0, false);
  EXPECT_TRUE(result.ok());
  Got got;
  if (!result.ok()) return got;
  auto r = [](double v) { return std::round(v * 1000) / 1000; };
  for (const PageRule& rule : result.value().rules) {
    got.emplace_back(r(rule.x0), r(rule.y0), r(rule.x1), r(rule.y1), r(rule.width), rule.filled);
  }
  return got;
}

// Page objects from a list of (key, object), in that content order.
void place(fake::Page& page, std::vector<std::pair<int, PageObject>> objects) {
  for (auto& [key, object] : objects) {
    page.page_objects.push_back(key);
    page.objects_of_page[key] = std::move(object);
  }
}

// A text object is only typed; a top-level path has its bounds read first; a
// form's objects are walked with its matrix, and their bounds are not asked;
// a stroked path has its stroke colour and width read, a filled one its fill
// colour.
TEST(ExtractRules, CallOrder) {
  fake::Page page;
  PageObject text;
  text.type = 1;
  PageObject form;
  form.type = kPdfObjectForm;
  form.children = {4};
  place(page, {{1, text}, {2, path({move(0, 700), line(100, 700)})}, {3, form},
               {4, path({move(0, 600), line(0, 500)})}});
  page.page_objects.pop_back();  // 4 lives in the form only
  PageObject rect = path({move(10, 500), line(90, 500), line(90, 498), line(10, 498, true)});
  rect.stroke = 0, rect.fill_mode = 1;  // a thin filled rectangle: its fill colour asked
  page.page_objects.push_back(5);
  page.objects_of_page[5] = rect;
  const Got got = rules_of(page);
  const std::vector<std::string> path_calls{
      "FPDFPageObj_GetMatrix", "FPDFPath_GetDrawMode", "FPDFPageObj_GetStrokeColor",
      "FPDFPageObj_GetStrokeWidth", "FPDFPath_CountSegments",
      "FPDFPath_GetPathSegment", "FPDFPathSegment_GetPoint", "FPDFPathSegment_GetType",
      "FPDFPathSegment_GetClose",
      "FPDFPath_GetPathSegment", "FPDFPathSegment_GetPoint", "FPDFPathSegment_GetType",
      "FPDFPathSegment_GetClose"};
  Calls want{"FPDFLink_Enumerate", "FPDFPage_GetAnnotCount", "FPDFPage_CountObjects",
             "FPDFPage_GetObject", "FPDFPageObj_GetType", "FPDFPage_GetObject", "FPDFPageObj_GetType",
             "FPDFPageObj_GetBounds"};
  want.insert(want.end(), path_calls.begin(), path_calls.end());
  for (const char* call : {"FPDFPage_GetObject", "FPDFPageObj_GetType", "FPDFPageObj_GetMatrix",
                           "FPDFFormObj_CountObjects", "FPDFFormObj_GetObject",
                           "FPDFPageObj_GetType"}) {
    want.emplace_back(call);
  }
  want.insert(want.end(), path_calls.begin(), path_calls.end());
  want.insert(want.end(), {"FPDFPage_GetObject", "FPDFPageObj_GetType", "FPDFPageObj_GetBounds",
                           "FPDFPageObj_GetMatrix", "FPDFPath_GetDrawMode",
                           "FPDFPageObj_GetFillColor", "FPDFPath_CountSegments"});
  for (int k = 0; k < 4; ++k) {
    want.insert(want.end(), {"FPDFPath_GetPathSegment", "FPDFPathSegment_GetPoint",
                             "FPDFPathSegment_GetType", "FPDFPathSegment_GetClose"});
  }
  want.insert(want.end(), {"FPDFText_ClosePage", "FPDF_ClosePage"});
  const auto first = std::find(page.log.begin(), page.log.end(), "FPDFLink_Enumerate");
  EXPECT_EQ(Calls(first, page.log.end()), want);
  EXPECT_EQ(got, (Got{{0, 100, 100, 100, 1, false}, {0, 200, 0, 300, 1, false},
                      {10, 301, 90, 301, 2, true}}));
}

PageObject filled(float x0, float y0, float x1, float y1) {
  PageObject o = path({move(x0, y0), line(x1, y0), line(x1, y1), line(x0, y1, true)});
  o.stroke = 0, o.fill_mode = 1;
  return o;
}

PageObject with(PageObject o, void (*change)(PageObject&)) {
  change(o);
  return o;
}

// One row per behaviour: which paths give which rules (page space: the crop
// box is 0 0 600 800, so user y 700 is page y 100).
TEST(ExtractRules, WhatBecomesARule) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* name;
    PageObject object;
    Got want;
  } rows[] = {
      {"horizontal, drawn right to left", path({move(50, 700), line(10, 700)}),
       {{10, 100, 50, 100, 1, false}}},
      {"within the slope tolerance", path({move(0, 700), line(100, 701)}),
       {{0, 99.5, 100, 99.5, 1, false}}},
      {"just past it", path({move(0, 700), line(100, 701.2f)}), {}},
      {"zero length", path({move(5, 700), line(5, 700)}), {}},
      {"stroked rectangle: four rules, the close included",
       path({move(0, 700), line(20, 700), line(20, 690), line(0, 690, true)}),
       {{0, 100, 20, 100, 1, false}, {20, 100, 20, 110, 1, false},
        {0, 110, 20, 110, 1, false}, {0, 100, 0, 110, 1, false}}},
      {"a path with a curve, straight lines before it", path({move(0, 700), line(50, 700), {10, 700, kPdfSegmentBezierTo}, {20, 700, kPdfSegmentBezierTo},
                      {30, 700, kPdfSegmentBezierTo}}), {}},
      {"thin filled rectangle", filled(10, 700, 90, 698), {{10, 101, 90, 101, 2, true}}},
      {"thin vertical one", filled(10, 700, 13, 600), {{11.5, 100, 11.5, 200, 3, true}}},
      {"filled rectangle too thick", filled(10, 700, 90, 695.9f), {}},
      {"filled, not a rectangle",
       with(path({move(0, 700), line(10, 700), line(12, 699), line(0, 699, true)}),
            [](PageObject& o) { o.stroke = 0, o.fill_mode = 2; }), {}},
      {"matrix: scaled and moved, the width scaled too",
       with(path({move(0, 0), line(10, 0)}),
            [](PageObject& o) { o.matrix = {2, 0, 0, 2, 100, 600}, o.width = 0.5f; }),
       {{100, 200, 120, 200, 1, false}}},
      {"transparent stroke", with(path({move(0, 700), line(100, 700)}),
                                  [](PageObject& o) { o.stroke_rgba[3] = 0; }), {}},
      {"neither stroked nor filled (a clip)",
       with(path({move(0, 700), line(100, 700)}), [](PageObject& o) { o.stroke = 0; }), {}},
      {"NaN point breaks the subpath",
       path({move(0, 700), line(nan, 700), line(50, 700), line(90, 700)}),
       {{50, 100, 90, 100, 1, false}}},
      {"infinite and huge points", path({move(0, 700), line(inf, 700), line(2e6f, 700)}), {}},
      {"damaged bounds", with(path({move(0, 700), line(100, 700)}),
                              [](PageObject& o) { o.bounds[2] = std::nanf(""); }), {}},
      {"failing bounds", with(path({move(0, 700), line(100, 700)}),
                              [](PageObject& o) { o.bounds_ok = false; }), {}},
      {"a failing point is skipped",
       with(path({move(0, 700), line(30, 700), line(60, 700)}),
            [](PageObject& o) { o.segments[1].point_ok = false; }),
       {{0, 100, 60, 100, 1, false}}},
      {"more segments claimed than there are",
       with(path({move(0, 700), line(30, 700)}), [](PageObject& o) { o.count_override = 1000; }),
       {{0, 100, 30, 100, 1, false}}},
  };
  for (const auto& row : rows) {
    fake::Page page;
    place(page, {{1, row.object}});
    EXPECT_EQ(rules_of(page), row.want) << row.name;
  }
}

// Paths that draw figures leave their box as a mark: a curve (the points
// read up to it), a slanted line, a filled polygon; rules leave none, and
// neither do damaged points (skipped, not drawn to).
TEST(ExtractRules, FigureMarks) {
  fake::Page page;
  PageObject polygon = path({move(0, 500), line(10, 500), line(5, 490, true)});
  polygon.stroke = 0, polygon.fill_mode = 1;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  place(page, {{1, path({move(0, 700), line(100, 700), line(nan, 700), line(inf, 5),
                         move(0, 650), line(50, 650)})},
               {2, path({move(0, 700), line(20, 690), {40, 700, kPdfSegmentBezierTo}})},
               {3, path({move(50, 600), line(60, 580)})}, {4, polygon}});
  const Result<PageGlyphs> result = extract_page(fake::table(page), nullptr, 0, false);
  ASSERT_TRUE(result.ok());
  std::vector<std::tuple<double, double, double, double>> got;
  for (const Rect& m : result.value().marks) got.emplace_back(m.x0, m.y0, m.x1, m.y1);
  EXPECT_EQ(got, (decltype(got){{0, 100, 40, 110}, {50, 200, 60, 220}, {0, 300, 10, 310}}));
}

// Forms nested one in another, each with its own rule: the walk stops at
// the depth limit, and each level's matrix applies to everything inside it.
TEST(ExtractRules, FormsPastTheDepthLimit) {
  fake::Page page;
  constexpr int kLevels = 12;
  for (int level = 0; level < kLevels; ++level) {
    PageObject form;
    form.type = kPdfObjectForm;
    form.matrix = {1, 0, 0, 1, 0, -1};  // each level one point lower
    form.children = {100 + level, level + 2};
    page.objects_of_page[level + 1] = form;
    page.objects_of_page[100 + level] = path({move(0, 700), line(10, 700)});
  }
  page.page_objects = {1};
  const Got got = rules_of(page);
  ASSERT_EQ(got.size(), 8u);  // the rules of forms at depths 0 to 7
  for (std::size_t k = 0; k < got.size(); ++k) {
    EXPECT_EQ(std::get<1>(got[k]), 101.0 + static_cast<double>(k));
  }
}

// Absurd counts cost bounded work.
TEST(ExtractRules, AbsurdCountsEndSoon) {
  fake::Page page;
  place(page, {{1, path({move(0, 700), line(30, 700)})}});
  page.objects_of_page[1].count_override = INT_MAX;
  page.object_count_override = INT_MAX;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rules_of(page).size(), 1u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace textloom
