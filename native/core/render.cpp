// Page rendering through the function table: page box, pixel sizes, a
// zero-filled buffer handed to PDFium as the bitmap's memory, the background
// fill, and a plain or progressive draw. Deadlines are clock readings in
// seconds and nanoseconds, so no timeout short of 2^63 seconds overflows.

#include "render.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <ctime>
#include <limits>

namespace textloom {

namespace {

constexpr std::uint32_t kNanosPerSecond = 1000000000u;
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

// PDFium's render flags and bitmap formats.
constexpr std::int32_t kFlagAnnots = 0x01;
constexpr std::int32_t kFlagGrayscale = 0x08;
constexpr std::int32_t kFlagReverseByteOrder = 0x10;  // red first
constexpr std::int32_t kFlagsNoSmoothing = 0x1000 | 0x2000 | 0x4000;  // text, images, paths
constexpr std::int32_t kFormatGray = 1;
constexpr std::int32_t kFormatBgr = 2;
constexpr std::int32_t kFormatBgra = 4;
constexpr int kStatusToBeContinued = 1;
constexpr int kStatusFailed = 3;

std::int32_t saturate(std::int64_t v) {
  if (v > kInt32Max) return kInt32Max;
  if (v < kInt32Min) return kInt32Min;
  return static_cast<std::int32_t>(v);
}

// Width and height of the page box in page units: crop box, media box,
// bounding box, else US Letter.
void page_box_size(const Pdfium& pdf, FPDF_PAGE page, double& w, double& h) {
  float l = 0, b = 0, r = 0, t = 0;
  if (!pdf.FPDFPage_GetCropBox(page, &l, &b, &r, &t) &&
      !pdf.FPDFPage_GetMediaBox(page, &l, &b, &r, &t)) {
    FS_RECTF box{};
    if (pdf.FPDF_GetPageBoundingBox(page, &box)) {
      l = box.left, b = box.bottom, r = box.right, t = box.top;
    } else {
      l = 0, b = 0, r = 612, t = 792;
    }
  }
  w = std::fabs(double{r} - double{l});
  h = std::fabs(double{t} - double{b});
}

RenderError failure(std::string text) { return {RenderError::Kind::failed, std::move(text)}; }

std::string size_text(std::int32_t width, std::int32_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

Instant monotonic_now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return {static_cast<std::int64_t>(ts.tv_sec), static_cast<std::uint32_t>(ts.tv_nsec)};
}

std::variant<Duration, std::string> duration_from_seconds(double seconds) {
  if (seconds < 0) return std::string("cannot convert float seconds to Duration: value is negative");
  if (!(seconds < 18446744073709551616.0)) {  // NaN, +inf, 2^64 or more
    return std::string("cannot convert float seconds to Duration: value is either too big or NaN");
  }
  // seconds = mantissa * 2^exponent exactly; the fraction is rounded in
  // integers so no nanosecond is lost to a second floating-point rounding.
  const auto bits = std::bit_cast<std::uint64_t>(seconds);
  const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
  if (biased == 0) return Duration{};  // zero or subnormal: far below half a nanosecond
  const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int exponent = biased - 1075;
  if (exponent >= 0) return Duration{mantissa << exponent, 0};  // whole seconds below 2^64
  const int k = -exponent;  // fraction bits
  if (k >= 85) return Duration{};  // below 2^-32 seconds: rounds to 0 ns
  using u128 = unsigned __int128;
  const std::uint64_t sec = k >= 64 ? 0 : mantissa >> k;
  const u128 fraction = static_cast<u128>(mantissa) & ((static_cast<u128>(1) << k) - 1);
  const u128 scaled = fraction * kNanosPerSecond;  // below 2^114
  auto nsec = static_cast<std::uint64_t>(scaled >> k);
  const u128 rest = scaled & ((static_cast<u128>(1) << k) - 1);
  const u128 half = static_cast<u128>(1) << (k - 1);
  if (rest > half || (rest == half && (nsec & 1) != 0)) ++nsec;
  if (nsec == kNanosPerSecond) return Duration{sec + 1, 0};
  return Duration{sec, static_cast<std::uint32_t>(nsec)};
}

std::optional<Instant> add_duration(Instant start, Duration d) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  if (d.sec > static_cast<std::uint64_t>(kMax)) return std::nullopt;
  const auto add = static_cast<std::int64_t>(d.sec);
  if (start.sec > kMax - add) return std::nullopt;
  Instant out{start.sec + add, start.nsec + d.nsec};
  if (out.nsec >= kNanosPerSecond) {
    if (out.sec == kMax) return std::nullopt;
    ++out.sec;
    out.nsec -= kNanosPerSecond;
  }
  return out;
}

bool reached(Instant now, Instant deadline) {
  return now.sec > deadline.sec || (now.sec == deadline.sec && now.nsec >= deadline.nsec);
}

std::string format_duration(Duration d) {
  std::uint64_t whole = d.sec;
  std::uint32_t part = d.nsec;  // the fraction, in units of 10^-digits
  int digits = 9;
  const char* unit = "s";
  if (d.sec == 0) {
    if (d.nsec >= 1000000) {
      whole = d.nsec / 1000000, part = d.nsec % 1000000, digits = 6, unit = "ms";
    } else if (d.nsec >= 1000) {
      whole = d.nsec / 1000, part = d.nsec % 1000, digits = 3, unit = "\u00b5s";
    } else {
      whole = d.nsec, part = 0, digits = 0, unit = "ns";
    }
  }
  std::string out = std::to_string(whole);
  if (part != 0) {
    std::string fraction = std::to_string(part);
    fraction.insert(0, static_cast<std::size_t>(digits) - fraction.size(), '0');
    while (fraction.back() == '0') fraction.pop_back();
    out += '.';
    out += fraction;
  }
  return out + unit;
}

FPDF_BOOL past_deadline(IFSDK_PAUSE* pause) {
  const auto* deadline = static_cast<const Instant*>(pause->user);
  return reached(monotonic_now(), *deadline) ? 1 : 0;
}

std::int32_t round_pixels(double v) {
  const double f = std::floor((v + 0.5) + 1e-9);
  if (std::isnan(f)) return 0;
  if (f >= 2147483647.0) return kInt32Max;
  if (f <= -2147483648.0) return kInt32Min;
  return static_cast<std::int32_t>(f);
}

RenderPlan plan_render(double w, double h, std::uint32_t quarter_turns, const RenderRequest& req) {
  const std::uint32_t q = quarter_turns & 3;
  const bool turned = req.rotated && (q == 1 || q == 3);
  const double view_w = turned ? h : w;
  const double view_h = turned ? w : h;
  RenderPlan plan{};
  plan.page_w = std::max(1, round_pixels(view_w * req.scale_x));
  plan.page_h = std::max(1, round_pixels(view_h * req.scale_y));
  // Undo the page's own rotation when the caller wants it as it lies.
  plan.rotate = req.rotated || q == 0 ? 0 : static_cast<std::int32_t>(4 - q);
  if (req.clip) {
    const double sx = plan.page_w / view_w;
    const double sy = plan.page_h / view_h;
    const Rect& c = *req.clip;
    plan.left = round_pixels(sx * min_num(c.x0, c.x1));
    plan.top = round_pixels(sy * min_num(c.y0, c.y1));
    const std::int64_t right = round_pixels(sx * max_num(c.x0, c.x1));
    const std::int64_t bottom = round_pixels(sy * max_num(c.y0, c.y1));
    plan.width = std::max(1, saturate(right - plan.left));
    plan.height = std::max(1, saturate(bottom - plan.top));
  } else {
    plan.left = 0, plan.top = 0, plan.width = plan.page_w, plan.height = plan.page_h;
  }
  // The whole page at full size, shifted so that the output area falls on the bitmap.
  plan.start_x = saturate(-static_cast<std::int64_t>(plan.left));
  plan.start_y = saturate(-static_cast<std::int64_t>(plan.top));
  plan.channels = req.grayscale ? 1 : req.alpha ? 4 : 3;
  plan.format = req.grayscale ? kFormatGray : req.alpha ? kFormatBgra : kFormatBgr;
  plan.flags = (req.grayscale ? kFlagGrayscale : kFlagReverseByteOrder) |
               (req.antialias ? 0 : kFlagsNoSmoothing) | (req.annots ? kFlagAnnots : 0);
  const std::uint32_t bg = req.background;
  // PDFium fills in its own blue-first order; swapped, the fill lands red first
  // like the drawing.
  plan.fill = req.grayscale
                  ? bg
                  : (bg & 0xFF00FF00u) | ((bg & 0xFFu) << 16) | ((bg >> 16) & 0xFFu);
  return plan;
}

namespace {

// The plan of an open page, from its box and its own rotation.
RenderPlan plan_open_page(const Pdfium& pdf, FPDF_PAGE page, const RenderRequest& req) {
  double w = 0, h = 0;
  page_box_size(pdf, page, w, h);
  const auto q = static_cast<std::uint32_t>(pdf.FPDFPage_GetRotation(page)) & 3;
  return plan_render(w, h, q, req);
}

}  // namespace

std::variant<RenderPlan, RenderError> plan_page(const Pdfium& pdf, FPDF_DOCUMENT doc,
                                                std::int32_t index, const RenderRequest& req) {
  PagePtr page(pdf.FPDF_LoadPage(doc, index), PageCloser{&pdf});
  if (!page) return failure("cannot load page " + std::to_string(index));
  return plan_open_page(pdf, page.get(), req);
}

std::variant<RenderedPage, RenderError> render_page(const Pdfium& pdf, FPDF_DOCUMENT doc,
                                                    std::int32_t index,
                                                    const RenderRequest& req) {
  PagePtr page(pdf.FPDF_LoadPage(doc, index), PageCloser{&pdf});
  if (!page) return failure("cannot load page " + std::to_string(index));
  const RenderPlan plan = plan_open_page(pdf, page.get(), req);

  // At most 4 * (2^31 - 1)^2 bytes: fits 64 unsigned bits, not always a size
  // the allocator can be asked for.
  const std::uint64_t stride = static_cast<std::uint64_t>(plan.channels) *
                               static_cast<std::uint64_t>(plan.width);
  const std::uint64_t size = stride * static_cast<std::uint64_t>(plan.height);
  const std::string dimensions = size_text(plan.width, plan.height);
  PixelBuffer pixels;
  if (size <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    pixels.reset(static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(size), 1)));
  }
  if (!pixels) {
    return RenderError{RenderError::Kind::out_of_memory,
                       "cannot allocate " + std::to_string(size) + " bytes for a " + dimensions +
                           " image"};
  }
  // PDFium takes the stride as an int; a wider row is a bitmap it cannot make.
  BitmapPtr bitmap(nullptr, BitmapDestroyer{&pdf});
  if (stride <= static_cast<std::uint64_t>(kInt32Max)) {
    bitmap.reset(pdf.FPDFBitmap_CreateEx(plan.width, plan.height, plan.format, pixels.get(),
                                         static_cast<int>(stride)));
  }
  if (!bitmap) return failure("cannot create a " + dimensions + " bitmap");
  pdf.FPDFBitmap_FillRect(bitmap.get(), 0, 0, plan.width, plan.height, plan.fill);

  const std::int32_t start_x = plan.start_x, start_y = plan.start_y;
  if (!req.timeout) {
    pdf.FPDF_RenderPageBitmap(bitmap.get(), page.get(), start_x, start_y, plan.page_w,
                              plan.page_h, plan.rotate, plan.flags);
  } else {
    const std::optional<Instant> deadline = add_duration(monotonic_now(), *req.timeout);
    if (!deadline) {
      return RenderError{RenderError::Kind::overflow, "overflow when adding duration to instant"};
    }
    Instant at = *deadline;  // read by past_deadline through the pause record
    IFSDK_PAUSE pause{1, past_deadline, &at};
    ProgressiveRender progressive(page.get(), ProgressiveCloser{&pdf});
    int status = pdf.FPDF_RenderPageBitmap_Start(bitmap.get(), page.get(), start_x, start_y,
                                                 plan.page_w, plan.page_h, plan.rotate,
                                                 plan.flags, &pause);
    bool timed_out = false;
    while (status == kStatusToBeContinued) {
      if (reached(monotonic_now(), at)) {
        timed_out = true;
        break;
      }
      status = pdf.FPDF_RenderPage_Continue(page.get(), &pause);
    }
    progressive.reset();
    if (timed_out) {
      return RenderError{RenderError::Kind::timed_out,
                         "rendering took longer than " + format_duration(*req.timeout)};
    }
    if (status == kStatusFailed) return failure("PDFium failed to render the page");
  }
  bitmap.reset();
  page.reset();
  return RenderedPage{plan.width, plan.height, plan.channels, static_cast<std::size_t>(size),
                      std::move(pixels)};
}

}  // namespace textloom
