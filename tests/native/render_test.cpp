// Rendering: pixel rounding and the render plan, timeouts as durations and
// deadlines, the duration text, and render_page over a scripted PDFium that
// records every call, so each failure path can be shown to release the page,
// the bitmap and the progressive render.

#include "render.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "fake_pdfium.hpp"

#if defined(__SANITIZE_ADDRESS__)
// The allocation tests ask for buffers no allocator can give; under
// AddressSanitizer that must come back as null, as it does in production.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace textloom {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();

TEST(RoundPixels, NudgeFloorAndSaturation) {
  const std::vector<std::pair<double, std::int32_t>> cases = {
      {100.49999, 100}, {100.4999999995, 101}, {100.5, 101}, {306.0, 306}, {0.0, 0},
      {-0.2, 0},        {-0.6, -1},            {kNaN, 0},    {kInf, kMax32},
      {-kInf, kMin32},  {3e9, kMax32},         {-3e9, kMin32}, {2147483646.4, 2147483646},
  };
  for (const auto& [v, expected] : cases) EXPECT_EQ(round_pixels(v), expected) << v;
}

RenderRequest scaled(double sx, double sy) {
  RenderRequest r;
  r.scale_x = sx;
  r.scale_y = sy;
  return r;
}

TEST(PlanRender, FullPageSizes) {
  // (w, h, quarter turns, rotated, scale) -> (page_w, page_h, rotate)
  using Case = std::tuple<double, double, std::uint32_t, bool, double, std::int32_t,
                          std::int32_t, std::int32_t>;
  const std::vector<Case> cases = {
      {612, 792, 0, true, 1, 612, 792, 0},   {612, 792, 0, true, 0.5, 306, 396, 0},
      {612, 792, 0, true, 0, 1, 1, 0},       {612, 792, 0, true, -2, 1, 1, 0},
      {612, 792, 1, true, 1, 792, 612, 0},   {612, 792, 3, true, 2, 1584, 1224, 0},
      {612, 792, 2, true, 1, 612, 792, 0},   {612, 792, 1, false, 1, 612, 792, 3},
      {612, 792, 2, false, 1, 612, 792, 2},  {612, 792, 3, false, 1, 612, 792, 1},
      {612, 792, 5, false, 1, 612, 792, 3},  {595.3, 841.9, 0, true, 1, 595, 842, 0},
      {612, 792, 0, true, kNaN, 1, 1, 0},    {612, 792, 0, true, 1e12, kMax32, kMax32, 0},
  };
  for (const auto& [w, h, q, rotated, scale, page_w, page_h, rotate] : cases) {
    RenderRequest r = scaled(scale, scale);
    r.rotated = rotated;
    const RenderPlan p = plan_render(w, h, q, r);
    EXPECT_EQ(std::tie(p.page_w, p.page_h, p.rotate), std::tie(page_w, page_h, rotate))
        << w << " " << h << " " << q << " " << rotated << " " << scale;
    EXPECT_EQ(std::tie(p.left, p.top, p.width, p.height), std::make_tuple(0, 0, page_w, page_h));
  }
}

TEST(PlanRender, ClipInViewUnitsAtTheEffectiveScale) {
  // clip -> (left, top, width, height), on a 612 x 792 page at scale 2
  using Case = std::tuple<Rect, std::int32_t, std::int32_t, std::int32_t, std::int32_t>;
  const std::vector<Case> cases = {
      {{100, 100, 200, 150}, 200, 200, 200, 100},
      {{200, 150, 100, 100}, 200, 200, 200, 100},   // reversed corners
      {{100, 100, 100, 150}, 200, 200, 1, 100},      // zero width
      {{-10, -20, 0, 0}, -20, -40, 20, 40},          // off the page: background
      {{kNaN, 10, 50, kNaN}, 100, 20, 1, 1},         // NaN yields to the other corner
      {{kNaN, kNaN, kNaN, kNaN}, 0, 0, 1, 1},
      {{-1e12, 0, 1e12, 1}, kMin32, 0, kMax32, 2},   // differences saturate
  };
  for (const auto& [clip, left, top, width, height] : cases) {
    RenderRequest r = scaled(2, 2);
    r.clip = clip;
    const RenderPlan p = plan_render(612, 792, 0, r);
    EXPECT_EQ(std::tie(p.left, p.top, p.width, p.height), std::tie(left, top, width, height))
        << clip.x0 << " " << clip.y0 << " " << clip.x1 << " " << clip.y1;
  }
  // The clip scales by the rounded page size: 100 units of a 100.4-unit-wide
  // page at scale 1 are 99.6... pixels of the 100-pixel page, which round to 100.
  RenderRequest r = scaled(1, 1);
  r.clip = Rect{0, 0, 100, 10};
  EXPECT_EQ(plan_render(100.4, 50, 0, r).width, 100);
}

TEST(PlanRender, ChannelsFormatFlagsAndFill) {
  // (alpha, grayscale, annots, antialias) -> (channels, format, flags)
  using Case = std::tuple<bool, bool, bool, bool, std::int32_t, std::int32_t, std::int32_t>;
  const std::vector<Case> cases = {
      {false, false, true, true, 3, 2, 0x11},    {true, false, true, true, 4, 4, 0x11},
      {false, true, true, true, 1, 1, 0x09},     {true, true, false, true, 1, 1, 0x08},
      {false, false, false, false, 3, 2, 0x7010}, {false, true, true, false, 1, 1, 0x7009},
  };
  for (const auto& [alpha, gray, annots, antialias, channels, format, flags] : cases) {
    RenderRequest r;
    r.alpha = alpha, r.grayscale = gray, r.annots = annots, r.antialias = antialias;
    const RenderPlan p = plan_render(612, 792, 0, r);
    EXPECT_EQ(std::tie(p.channels, p.format, p.flags), std::tie(channels, format, flags));
  }
  RenderRequest r;
  r.background = 0x80112233;  // AARRGGBB
  EXPECT_EQ(plan_render(1, 1, 0, r).fill, 0x80332211u);  // red and blue exchanged
  r.grayscale = true;
  EXPECT_EQ(plan_render(1, 1, 0, r).fill, 0x80112233u);
}

std::string error_of(double seconds) {
  auto d = duration_from_seconds(seconds);
  return std::holds_alternative<std::string>(d) ? std::get<std::string>(d) : "";
}

TEST(Durations, FromSecondsRoundedToNearestNanosecond) {
  using Case = std::tuple<double, std::uint64_t, std::uint32_t>;
  const std::vector<Case> cases = {
      {0.0, 0, 0},          {-0.0, 0, 0},           {1.5, 1, 500000000},
      {0.25, 0, 250000000}, {1.4e-9, 0, 1},         {1.6e-9, 0, 2},
      {4e-10, 0, 0},        {6e-10, 0, 1},          {1e-300, 0, 0},
      {5e-324, 0, 0},       {0.9999999999, 1, 0},   {3600.000000001, 3600, 1},
      {4503599627370495.5, 4503599627370495, 500000000},
      {18446744073709547520.0, 18446744073709547520ull, 0},  // the largest below 2^64
  };
  for (const auto& [seconds, sec, nsec] : cases) {
    auto d = duration_from_seconds(seconds);
    ASSERT_TRUE(std::holds_alternative<Duration>(d)) << seconds;
    EXPECT_EQ(std::get<Duration>(d).sec, sec) << seconds;
    EXPECT_EQ(std::get<Duration>(d).nsec, nsec) << seconds;
  }
  const std::string negative = "cannot convert float seconds to Duration: value is negative";
  const std::string too_big =
      "cannot convert float seconds to Duration: value is either too big or NaN";
  for (double v : {-1.0, -1e-300, -kInf}) EXPECT_EQ(error_of(v), negative) << v;
  for (double v : {kNaN, kInf, 18446744073709551616.0, 1e30}) EXPECT_EQ(error_of(v), too_big) << v;
}

TEST(Durations, DeadlinesCarryAndOverflow) {
  const auto sum = add_duration({10, 600000000}, {5, 500000000});
  ASSERT_TRUE(sum);
  EXPECT_EQ(std::tie(sum->sec, sum->nsec), std::make_tuple(std::int64_t{16}, 100000000u));
  EXPECT_TRUE(add_duration({0, 0}, {static_cast<std::uint64_t>(kMax64), 999999999}));
  EXPECT_FALSE(add_duration({1, 0}, {static_cast<std::uint64_t>(kMax64), 0}));
  EXPECT_FALSE(add_duration({kMax64, 999999999}, {0, 1}));
  EXPECT_FALSE(add_duration({0, 0}, {static_cast<std::uint64_t>(kMax64) + 1, 0}));
  EXPECT_FALSE(add_duration({0, 0}, {~std::uint64_t{0}, 0}));

  EXPECT_TRUE(reached({5, 10}, {5, 10}));
  EXPECT_TRUE(reached({6, 0}, {5, 999999999}));
  EXPECT_FALSE(reached({5, 9}, {5, 10}));
  EXPECT_FALSE(reached({4, 999999999}, {5, 0}));

  Instant past = monotonic_now();
  Instant future{past.sec + 3600, 0};
  IFSDK_PAUSE pause{1, past_deadline, &past};
  EXPECT_EQ(past_deadline(&pause), 1);
  pause.user = &future;
  EXPECT_EQ(past_deadline(&pause), 0);
}

TEST(Durations, TextInTheLargestUnitWithoutTrailingZeros) {
  const std::vector<std::pair<Duration, std::string>> cases = {
      {{0, 0}, "0ns"},          {{0, 1}, "1ns"},
      {{0, 999}, "999ns"},      {{0, 1000}, "1\u00b5s"},
      {{0, 1500}, "1.5\u00b5s"}, {{0, 100500}, "100.5\u00b5s"},
      {{0, 250000000}, "250ms"}, {{0, 1000001}, "1.000001ms"},
      {{1, 500000000}, "1.5s"},  {{1, 0}, "1s"},
      {{1, 1}, "1.000000001s"},  {{3600, 0}, "3600s"},
      {{18446744073709551615ull, 999999999}, "18446744073709551615.999999999s"},
  };
  for (const auto& [d, text] : cases) EXPECT_EQ(format_duration(d), text);
}

// -- render_page over a scripted PDFium ---------------------------------------------

struct Recorder {
  int bitmaps_open = 0;
  int progressive_open = 0;
  int creates = 0;
  bool create_fails = false;
  int create_args[4] = {};   // width, height, format, stride
  unsigned long fill = 0;
  int draw_args[7] = {};     // start x, start y, size x, size y, rotate, flags, progressive
  int start_status = 0;
  int continue_status = 0;
  int continues = 0;
  int draws = 0;
};
Recorder* rec = nullptr;

struct RenderFixture {
  fake::Page page;
  Recorder recorder;
  Pdfium pdf;

  RenderFixture() {
    pdf = fake::table(page);
    rec = &recorder;
    pdf.FPDFBitmap_CreateEx = [](int w, int h, int format, void* buffer, int stride) -> FPDF_BITMAP {
      ++rec->creates;
      if (rec->create_fails) return nullptr;
      const int args[4] = {w, h, format, stride};
      std::memcpy(rec->create_args, args, sizeof args);
      // The buffer must be ours, zeroed and writable for stride * height bytes.
      auto* bytes = static_cast<unsigned char*>(buffer);
      for (std::size_t i = 0; i < static_cast<std::size_t>(stride) * static_cast<std::size_t>(h); ++i) {
        if (bytes[i] != 0) return nullptr;
      }
      bytes[0] = 7;  // the image the caller gets is what PDFium drew
      ++rec->bitmaps_open;
      return reinterpret_cast<FPDF_BITMAP>(buffer);
    };
    pdf.FPDFBitmap_Destroy = [](FPDF_BITMAP) { --rec->bitmaps_open; };
    pdf.FPDFBitmap_FillRect = [](FPDF_BITMAP, int, int, int, int, unsigned long color) -> FPDF_BOOL {
      rec->fill = color;
      return 1;
    };
    pdf.FPDF_RenderPageBitmap = [](FPDF_BITMAP, FPDF_PAGE, int x, int y, int w, int h, int rotate,
                                   int flags) {
      const int args[7] = {x, y, w, h, rotate, flags, 0};
      std::memcpy(rec->draw_args, args, sizeof args);
      ++rec->draws;
    };
    pdf.FPDF_RenderPageBitmap_Start = [](FPDF_BITMAP, FPDF_PAGE, int x, int y, int w, int h,
                                         int rotate, int flags, IFSDK_PAUSE* pause) {
      const int args[7] = {x, y, w, h, rotate, flags, 1};
      std::memcpy(rec->draw_args, args, sizeof args);
      ++rec->draws;
      ++rec->progressive_open;
      // The record PDFium polls: version 1, our callback.
      return pause->version == 1 && pause->NeedToPauseNow == past_deadline ? rec->start_status : -1;
    };
    pdf.FPDF_RenderPage_Continue = [](FPDF_PAGE, IFSDK_PAUSE*) {
      ++rec->continues;
      return rec->continue_status;
    };
    pdf.FPDF_RenderPage_Close = [](FPDF_PAGE) { --rec->progressive_open; };
  }

  std::variant<RenderedPage, RenderError> render(const RenderRequest& r, int index = 0) {
    return render_page(pdf, nullptr, index, r);
  }

  // Everything opened by the call is closed again.
  void expect_released() const {
    EXPECT_EQ(page.pages_open, 0);
    EXPECT_EQ(recorder.bitmaps_open, 0);
    EXPECT_EQ(recorder.progressive_open, 0);
  }
};

RenderError error_of(const std::variant<RenderedPage, RenderError>& v) {
  return std::holds_alternative<RenderError>(v) ? std::get<RenderError>(v)
                                                : RenderError{RenderError::Kind::failed, "ok"};
}

// Plain, then progressive (one step to be continued, then done): the same
// bitmap, fill and draw arguments.
TEST(RenderPage, DrawsTheShiftedPageIntoOurBuffer) {
  for (const bool progressive : {false, true}) {
    RenderFixture f;  // crop 600 x 800
    f.recorder.start_status = 1;
    f.recorder.continue_status = 2;
    RenderRequest r = scaled(2, 2);
    r.clip = Rect{10, 20, 30, 25};
    r.background = 0xFF0000FF;
    r.annots = false;
    if (progressive) r.timeout = Duration{3600, 0};
    auto out = f.render(r);
    ASSERT_TRUE(std::holds_alternative<RenderedPage>(out)) << error_of(out).text;
    const RenderedPage& img = std::get<RenderedPage>(out);
    EXPECT_EQ(std::tie(img.width, img.height, img.channels, img.size),
              std::make_tuple(40, 10, 3, std::size_t{1200}));
    EXPECT_EQ(img.pixels[0], 7);
    EXPECT_EQ(std::vector<int>(f.recorder.create_args, f.recorder.create_args + 4),
              (std::vector<int>{40, 10, 2, 120}));
    EXPECT_EQ(f.recorder.fill, 0xFFFF0000ul);
    EXPECT_EQ(std::vector<int>(f.recorder.draw_args, f.recorder.draw_args + 7),
              (std::vector<int>{-20, -40, 1200, 1600, 0, 0x10, progressive}));
    EXPECT_EQ(f.recorder.continues, progressive ? 1 : 0);
    f.expect_released();
  }
}

TEST(RenderPage, PageBoxFallbacks) {
  // crop, then media, then bounding box, then US Letter: the full-page size at scale 1
  using Case = std::tuple<bool, bool, bool, std::int32_t, std::int32_t>;
  for (const auto& [crop_ok, media_ok, bounds_ok, w, h] :
       std::vector<Case>{{true, true, true, 600, 800}, {false, true, true, 500, 700},
                         {false, false, true, 400, 698}, {false, false, false, 612, 792}}) {
    RenderFixture f;
    f.page.crop_ok = crop_ok, f.page.media_ok = media_ok, f.page.bounds_ok = bounds_ok;
    f.page.rotation = 5;  // only the two low bits count: a quarter turn
    auto out = f.render(scaled(1, 1));
    ASSERT_TRUE(std::holds_alternative<RenderedPage>(out));
    EXPECT_EQ(std::get<RenderedPage>(out).width, h);
    EXPECT_EQ(std::get<RenderedPage>(out).height, w);
  }
}

TEST(RenderPage, EveryFailureReleasesWhatWasOpened) {
  struct Case {
    const char* name;
    void (*setup)(RenderFixture&, RenderRequest&);
    RenderError::Kind kind;
    std::string text;
    int creates;  // bitmap creations attempted
  };
  const std::vector<Case> cases = {
      {"page", [](RenderFixture& f, RenderRequest&) { f.page.load_fails = true; },
       RenderError::Kind::failed, "cannot load page -3", 0},
      {"bitmap", [](RenderFixture& f, RenderRequest&) { f.recorder.create_fails = true; },
       RenderError::Kind::failed, "cannot create a 60x80 bitmap", 1},
      {"stride", [](RenderFixture&, RenderRequest& r) { r.clip = Rect{0, 0, 1e10, 1}; },
       RenderError::Kind::failed, "cannot create a 1000000000x1 bitmap", 0},
      {"allocator", [](RenderFixture&, RenderRequest& r) { r.clip = Rect{0, 0, 1e10, 1e10}; },
       RenderError::Kind::out_of_memory,
       "cannot allocate 3000000000000000000 bytes for a 1000000000x1000000000 image", 0},
      {"size", [](RenderFixture&, RenderRequest& r) { r.clip = Rect{0, 0, 1e11, 1e11}; },
       RenderError::Kind::out_of_memory,
       "cannot allocate 13835058042397261827 bytes for a 2147483647x2147483647 image", 0},
      {"deadline",
       [](RenderFixture&, RenderRequest& r) {
         r.timeout = Duration{static_cast<std::uint64_t>(kMax64), 0};
       },
       RenderError::Kind::overflow, "overflow when adding duration to instant", 1},
      {"time limit",
       [](RenderFixture& f, RenderRequest& r) {
         f.recorder.start_status = 1;
         f.recorder.continue_status = 1;
         r.timeout = Duration{0, 1500};
       },
       RenderError::Kind::failed, "rendering took longer than 1.5\u00b5s", 1},
      {"progressive failure",
       [](RenderFixture& f, RenderRequest& r) {
         f.recorder.start_status = 1;
         f.recorder.continue_status = 3;
         r.timeout = Duration{3600, 0};
       },
       RenderError::Kind::failed, "PDFium failed to render the page", 1},
  };
  for (const Case& c : cases) {
    RenderFixture f;
    RenderRequest r = scaled(0.1, 0.1);
    c.setup(f, r);
    const RenderError e = error_of(f.render(r, -3));
    EXPECT_EQ(e.kind, c.kind) << c.name;
    EXPECT_EQ(e.text, c.text) << c.name;
    EXPECT_EQ(f.recorder.creates, c.creates) << c.name;
    f.expect_released();
  }
}

}  // namespace
}  // namespace textloom
