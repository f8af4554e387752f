// Page rendering: one page of an open document drawn by PDFium into a pixel
// buffer that we allocate, plain or progressive against a deadline. The pure
// pieces (pixel sizes, the output area, durations and deadlines) are exposed
// for tests; render_page strings them together over the function table. The
// binding converts Python arguments and turns the buffer into bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "ffi.hpp"
#include "num.hpp"

namespace textloom {

// A span of time in whole nanoseconds, as seconds and the nanoseconds below
// one second (so every timeout below 2^64 seconds is representable).
struct Duration {
  std::uint64_t sec = 0;
  std::uint32_t nsec = 0;  // < 1e9
};

// A reading of the monotonic clock.
struct Instant {
  std::int64_t sec = 0;
  std::uint32_t nsec = 0;  // < 1e9
};

// The monotonic clock now.
Instant monotonic_now();

// A timeout in seconds as a Duration, rounded to the nearest nanosecond (ties
// to even). Errors: "cannot convert float seconds to Duration: value is
// negative" (below zero, -inf included), "... value is either too big or NaN"
// (NaN, +inf, 2^64 seconds or more).
std::variant<Duration, std::string> duration_from_seconds(double seconds);

// `start` + `d`, or nothing when the sum does not fit an Instant.
std::optional<Instant> add_duration(Instant start, Duration d);

// True when `now` is at or after `deadline`.
bool reached(Instant now, Instant deadline);

// A duration in its largest unit with a value of at least 1 (s, ms, µs, ns),
// without trailing zeros: "1.5s", "250ms", "0ns".
std::string format_duration(Duration d);

// The IFSDK_PAUSE callback: 1 once the clock reads at or after the Instant
// that the record's user pointer points at, else 0.
FPDF_BOOL past_deadline(IFSDK_PAUSE* pause);

// floor((v + 0.5) + 1e-9) as a 32-bit pixel count, saturated; NaN gives 0.
// The nudge keeps products such as 100.4999999995 from rounding down.
std::int32_t round_pixels(double v);

// What to draw and how.
struct RenderRequest {
  double scale_x = 1;          // pixels per page unit
  double scale_y = 1;
  std::optional<Rect> clip;    // view units, origin top-left, y down; any corner order
  bool rotated = true;         // apply the page's own rotation
  bool alpha = false;          // four channels (red, green, blue, alpha)
  bool grayscale = false;      // one grey channel (wins over alpha)
  bool annots = true;          // draw annotations
  bool antialias = true;       // smooth text, images and paths
  std::uint32_t background = 0xFFFFFFFF;  // 0xAARRGGBB fill
  std::optional<Duration> timeout;         // progressive rendering against a deadline
};

// Where the page lands on the output bitmap.
struct RenderPlan {
  std::int32_t page_w;   // full-page size in pixels, at least 1
  std::int32_t page_h;
  std::int32_t left;     // output area in full-page pixels
  std::int32_t top;
  std::int32_t width;    // at least 1
  std::int32_t height;   // at least 1
  std::int32_t start_x;  // where the full page's top-left corner falls on the output, saturated
  std::int32_t start_y;
  std::int32_t rotate;   // PDFium's rotate argument (quarter turns clockwise)
  std::int32_t channels; // 1, 3 or 4
  std::int32_t format;   // FPDFBitmap_Gray 1, FPDFBitmap_BGR 2, FPDFBitmap_BGRA 4
  std::int32_t flags;    // FPDF_RenderPageBitmap flags
  std::uint32_t fill;    // FPDFBitmap_FillRect colour (red and blue swapped for colour output)
};

// Sizes and arguments of one render, from the page box size (w, h in page
// units, unrotated) and the page rotation in quarter turns (0 to 3).
RenderPlan plan_render(double w, double h, std::uint32_t quarter_turns, const RenderRequest& req);

// Owns malloc'd pixel memory.
struct FreeBytes {
  void operator()(unsigned char* bytes) const { std::free(bytes); }
};
using PixelBuffer = std::unique_ptr<unsigned char[], FreeBytes>;

// A finished image: rows top to bottom, width * channels bytes each, no padding.
struct RenderedPage {
  std::int32_t width;
  std::int32_t height;
  std::int32_t channels;
  std::size_t size;    // width * height * channels bytes
  PixelBuffer pixels;
};

// Why a render failed; the binding picks the exception by kind.
struct RenderError {
  enum class Kind {
    failed,         // PDFium: page, bitmap, progressive failure
    timed_out,      // the time limit passed before the page was drawn
    out_of_memory,  // the pixel buffer cannot be allocated
    overflow,       // the deadline cannot be represented
  };
  Kind kind;
  std::string text;
};

// The plan render_page would follow for page `index` of `doc`: the page is
// loaded for its box and rotation and closed again. Error: "cannot load page
// <index>". Lets a host check an image's size before it is drawn, and draw
// onto the same pixel grid (form fields) afterwards.
std::variant<RenderPlan, RenderError> plan_page(const Pdfium& pdf, FPDF_DOCUMENT doc,
                                                std::int32_t index, const RenderRequest& req);

// Renders page `index` of `doc`. Errors: "cannot load page <index>", "cannot
// create a <W>x<H> bitmap", "rendering took longer than <duration>", "PDFium
// failed to render the page", "overflow when adding duration to instant", and
// an out-of-memory error for a buffer that cannot be had. The page, bitmap,
// progressive context and buffer are released on every path.
std::variant<RenderedPage, RenderError> render_page(const Pdfium& pdf, FPDF_DOCUMENT doc,
                                                    std::int32_t index,
                                                    const RenderRequest& req);

}  // namespace textloom
