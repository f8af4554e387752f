// Rendering's pure pieces (pixel sizes, clip, durations, deadlines), and
// render_page over a scripted PDFium, where every path must release what it
// opened. (The bytes are checked against PDFium in tests/python/test_render.py.)

#include "render.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "fake_pdfium.hpp"

#if defined(__SANITIZE_ADDRESS__)
// Some cases ask for buffers no allocator can give: null, as in production.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace textloom {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
constexpr auto kMax64u = static_cast<std::uint64_t>(kMax64);

TEST(RenderPlan, PixelsRoundWithTheNudgeAndSaturate) {
  for (const auto& [v, pixels] : std::vector<std::pair<double, std::int32_t>>{
           {100.49999, 100}, {100.4999999995, 101}, {100.5, 101}, {-0.6, -1}, {kNaN, 0},
           {2147483646.4, 2147483646}, {3e9, kMax32}, {-3e9, kMin32}}) {
    EXPECT_EQ(round_pixels(v), pixels) << v;
  }
}

TEST(RenderPlan, PageSizeAndClipInTheView) {
  // (w, h, quarter turns, rotated, scale x, scale y, clip) -> (page_w, page_h, rotate),
  // (left, top, width, height)
  using Plan = std::tuple<int, int, int, int, int, int, int>;
  using Case = std::tuple<double, double, std::uint32_t, bool, double, double, std::optional<Rect>,
                          Plan>;
  for (const auto& [w, h, q, rotated, sx, sy, clip, plan] : std::vector<Case>{
           {612, 792, 1, true, 0.5, 2, {}, {396, 1224, 0, 0, 0, 396, 1224}},
           {612, 792, 3, true, 1, 1, {}, {792, 612, 0, 0, 0, 792, 612}},
           {612, 792, 2, true, 1, 1, {}, {612, 792, 0, 0, 0, 612, 792}},
           {612, 792, 1, false, 1, 1, {}, {612, 792, 3, 0, 0, 612, 792}},
           {612, 792, 0, true, 0, -2, {}, {1, 1, 0, 0, 0, 1, 1}},
           {612, 792, 0, true, kNaN, 1e12, {}, {1, kMax32, 0, 0, 0, 1, kMax32}},
           {612, 792, 0, true, 2, 2, Rect{200, 150, 100, 100}, {1224, 1584, 0, 200, 200, 200, 100}},
           {612, 792, 0, true, 2, 2, Rect{kNaN, 10, 50, kNaN}, {1224, 1584, 0, 100, 20, 1, 1}},
           {612, 792, 0, true, 2, 2, Rect{-1e12, 0, 1e12, 1}, {1224, 1584, 0, kMin32, 0, kMax32, 2}},
           // 75.5 units of a 100.4-unit page are 75.2 of its 100 pixels, not 75.5
           {100.4, 50, 0, true, 1, 1, Rect{0, 0, 75.5, 10}, {100, 50, 0, 0, 0, 75, 10}}}) {
    RenderRequest r;
    r.scale_x = sx, r.scale_y = sy, r.rotated = rotated, r.clip = clip;
    const RenderPlan p = plan_render(w, h, q, r);
    EXPECT_EQ(std::tie(p.page_w, p.page_h, p.rotate, p.left, p.top, p.width, p.height), plan)
        << w << " " << q << " " << rotated << " " << sx << " " << clip.has_value();
  }
}

TEST(RenderDeadline, SecondsRoundToTheNearestNanosecondTiesToEven) {
  using Case = std::tuple<double, std::uint64_t, std::uint32_t>;
  for (const auto& [seconds, sec, nsec] : std::vector<Case>{
           {-0.0, 0, 0}, {1.5, 1, 500000000}, {1.6e-9, 0, 2}, {4e-10, 0, 0}, {6e-10, 0, 1},
           {1e-300, 0, 0}, {5e-324, 0, 0}, {0.9999999999, 1, 0},
           {0.0009765625, 0, 976562}, {0.0029296875, 0, 2929688},  // exactly half-way
           {4503599627370495.5, 4503599627370495, 500000000},
           {18446744073709547520.0, 18446744073709547520ull, 0}}) {  // the largest below 2^64
    const auto d = duration_from_seconds(seconds);
    ASSERT_TRUE(std::holds_alternative<Duration>(d)) << seconds;
    EXPECT_EQ(std::tie(std::get<Duration>(d).sec, std::get<Duration>(d).nsec), std::tie(sec, nsec))
        << seconds;
  }
}

TEST(RenderDeadline, SumsCarryOrOverflowAndTheDeadlineIsReachedAtItsInstant) {
  const auto sum = add_duration({10, 600000000}, {5, 500000000});
  ASSERT_TRUE(sum);
  EXPECT_EQ(std::tie(sum->sec, sum->nsec), std::make_tuple(std::int64_t{16}, 100000000u));
  EXPECT_TRUE(add_duration({0, 0}, {kMax64u, 999999999}));
  EXPECT_FALSE(add_duration({1, 0}, {kMax64u, 0}) || add_duration({kMax64, 999999999}, {0, 1}) ||
               add_duration({0, 0}, {kMax64u + 1, 0}));
  EXPECT_TRUE(reached({5, 10}, {5, 10}) && reached({6, 0}, {5, 999999999}));
  EXPECT_FALSE(reached({5, 9}, {5, 10}) || reached({4, 999999999}, {5, 0}));
  Instant past = monotonic_now(), future{past.sec + 3600, 0};
  IFSDK_PAUSE pause{1, past_deadline, &past};
  EXPECT_EQ(past_deadline(&pause), 1);
  pause.user = &future;
  EXPECT_EQ(past_deadline(&pause), 0);
}

TEST(RenderDeadline, DurationTextInItsLargestUnit) {
  for (const auto& [d, text] : std::vector<std::pair<Duration, std::string>>{
           {{0, 0}, "0ns"}, {{0, 999}, "999ns"}, {{0, 1000}, "1\u00b5s"}, {{0, 1500}, "1.5\u00b5s"},
           {{0, 999999}, "999.999\u00b5s"}, {{0, 1000000}, "1ms"}, {{0, 1000001}, "1.000001ms"},
           {{0, 250000000}, "250ms"}, {{1, 0}, "1s"},
           {{1, 1}, "1.000000001s"},
           {{18446744073709551615ull, 999999999}, "18446744073709551615.999999999s"}}) {
    EXPECT_EQ(format_duration(d), text);
  }
}

// What the scripted PDFium answers, and how many bitmaps and progressive renders it holds.
struct Recorder {
  bool create_fails = false;
  int start_status = 0, continue_status = 0, open = 0;
};
Recorder rec;

Pdfium scripted(fake::Page& page) {
  rec = Recorder{};
  Pdfium pdf = fake::table(page);
  pdf.FPDFBitmap_CreateEx = [](int, int, int, void* buffer, int) -> FPDF_BITMAP {
    if (rec.create_fails) return nullptr;
    ++rec.open;
    return static_cast<FPDF_BITMAP>(buffer);
  };
  pdf.FPDFBitmap_Destroy = [](FPDF_BITMAP) { --rec.open; };
  pdf.FPDFBitmap_FillRect = [](FPDF_BITMAP, int, int, int, int, unsigned long) { return 1; };
  pdf.FPDF_RenderPageBitmap = [](FPDF_BITMAP, FPDF_PAGE, int, int, int, int, int, int) {};
  pdf.FPDF_RenderPageBitmap_Start = [](FPDF_BITMAP, FPDF_PAGE, int, int, int, int, int, int,
                                       IFSDK_PAUSE* pause) {
    ++rec.open;  // PDFium polls a version 1 record holding our callback
    return pause->version == 1 && pause->NeedToPauseNow == past_deadline ? rec.start_status : -1;
  };
  pdf.FPDF_RenderPage_Continue = [](FPDF_PAGE, IFSDK_PAUSE*) { return rec.continue_status; };
  pdf.FPDF_RenderPage_Close = [](FPDF_PAGE) { --rec.open; };
  return pdf;
}

TEST(RenderPage, EveryPathReleasesWhatItOpened) {
  using Kind = RenderError::Kind;
  struct Case {
    std::string outcome;  // "<width>x<height>" of the image, or the error text
    Kind kind = Kind::failed;
    bool crop = true, media = true, bounds = true, load_fails = false, create_fails = false;
    std::optional<Rect> clip = {};
    std::optional<Duration> timeout = {};
    int start = 0, next = 0;  // what the progressive calls answer
  };
  // Page boxes of 600 x 800 (media 500 x 700, bounds 400 x 698), a quarter turn, scale 0.1.
  const std::vector<Case> cases = {
      {.outcome = "80x60"},
      {.outcome = "70x50", .crop = false},
      {.outcome = "70x40", .crop = false, .media = false},
      {.outcome = "79x61", .crop = false, .media = false, .bounds = false},  // US Letter
      {.outcome = "80x60", .timeout = Duration{3600, 0}, .start = 1, .next = 2},
      {.outcome = "cannot load page -3", .load_fails = true},
      {.outcome = "cannot create a 80x60 bitmap", .create_fails = true},
      {.outcome = "cannot create a 1000000000x1 bitmap", .clip = Rect{0, 0, 1e10, 1}},  // stride
      {.outcome = "cannot allocate 13835058042397261827 bytes for a 2147483647x2147483647 image",
       .kind = Kind::out_of_memory, .clip = Rect{0, 0, 1e11, 1e11}},
      {.outcome = "overflow when adding duration to instant", .kind = Kind::overflow,
       .timeout = Duration{kMax64u, 0}},
      {.outcome = "rendering took longer than 1.5\u00b5s", .kind = Kind::timed_out,
       .timeout = Duration{0, 1500},
       .start = 1, .next = 1},
      {.outcome = "PDFium failed to render the page", .timeout = Duration{3600, 0}, .start = 1,
       .next = 3},
  };
  for (const Case& c : cases) {
    fake::Page page;
    page.crop_ok = c.crop, page.media_ok = c.media, page.bounds_ok = c.bounds;
    page.load_fails = c.load_fails, page.rotation = 5;  // only the two low bits count
    const Pdfium pdf = scripted(page);
    rec.create_fails = c.create_fails, rec.start_status = c.start, rec.continue_status = c.next;
    RenderRequest r;
    r.scale_x = r.scale_y = 0.1, r.clip = c.clip, r.timeout = c.timeout;
    const auto out = render_page(pdf, nullptr, -3, r);
    if (const auto* image = std::get_if<RenderedPage>(&out)) {
      EXPECT_EQ(std::to_string(image->width) + "x" + std::to_string(image->height), c.outcome);
    } else {
      const RenderError& e = std::get<RenderError>(out);
      EXPECT_EQ(std::tie(e.kind, e.text), std::tie(c.kind, c.outcome));
    }
    EXPECT_EQ(std::tie(page.pages_open, rec.open), std::make_tuple(0, 0)) << c.outcome;
    // The plan a host asks for ahead is the one the render follows.
    const auto plan = plan_page(pdf, nullptr, -3, r);
    if (const auto* p = std::get_if<RenderPlan>(&plan)) {
      if (std::holds_alternative<RenderedPage>(out)) {
        EXPECT_EQ(std::to_string(p->width) + "x" + std::to_string(p->height), c.outcome);
      }
    } else {
      EXPECT_TRUE(c.load_fails);
    }
    EXPECT_EQ(page.pages_open, 0) << c.outcome;
  }
}

}  // namespace
}  // namespace textloom
