// bench_page: extraction's own phase timings plus layout and words timed
// around their calls.

#include "page_bench.hpp"

#include <optional>
#include <utility>
#include <vector>

#include "clock.hpp"
#include "extract.hpp"
#include "layout.hpp"
#include "output.hpp"

namespace textloom {

Result<PageBench> bench_page(const Pdfium& pdf, FPDF_DOCUMENT doc, std::int32_t index) {
  Result<PageGlyphs> extracted = extract_page(pdf, doc, index, false);
  if (!extracted) return Error{extracted.error()};
  const PageGlyphs& page = extracted.value();
  const std::uint64_t t0 = now_ns();
  const std::vector<Block> blocks = layout_page(
      page, SortMode::none, Rect{0, 0, page.width, page.height}, LayoutParams{});
  const std::uint64_t t1 = now_ns();
  const std::vector<Word> found =
      words(blocks, Xf{page.width, page.height, page.rotation, false}, false, "");
  const std::uint64_t t2 = now_ns();
  return PageBench{page.t_load_page, page.t_load_text, page.t_chars, page.t_close,
                   elapsed_ns(t0, t1), elapsed_ns(t1, t2), found.size(), page.glyphs.size()};
}

}  // namespace textloom
