// layout_bench LIBPDFIUM PDF [REPEATS]
//
// Times layout_page alone, in each sort mode ("reading" against "xycut" per page too), on every page of PDF (glyphs
// extracted once per page beforehand) and on two synthetic pages built at
// two scales: two-column prose (10,000 and 100,000 glyphs) and vertical CJK
// columns (2,000 and 20,000 glyphs). Each timing is the best of REPEATS runs
// (default 15). Prints, per mode, nanoseconds per glyph and, for the PDF, the
// ratio of layout (xycut) to the page's extraction time (t_load_text +
// t_chars): median and worst page. Also prints, per mode, a digest of every
// layout result (tools/layout_digest.hpp), so that a change meant to leave
// results untouched can show it did on real pages.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "clock.hpp"
#include "extract.hpp"
#include "layout.hpp"
#include "layout_digest.hpp"
#include "pdfium_host.hpp"
#include "sort.hpp"

namespace {

using textloom::Block;
using textloom::Glyph;
using textloom::PageGlyphs;
using textloom::SortMode;

constexpr SortMode kModes[] = {SortMode::none, SortMode::simple, SortMode::xycut,
                               SortMode::reading};
constexpr const char* kModeNames[] = {"none", "simple", "xycut", "reading"};
constexpr std::size_t kNumModes = sizeof(kModes) / sizeof(kModes[0]);

// Best wall time of `repeats` layouts of `page`, in nanoseconds; the result
// of the last run goes into `digest` when one is given.
std::uint64_t time_layout(const PageGlyphs& page, SortMode mode, int repeats,
                          textloom::tools::LayoutDigest* digest = nullptr) {
  const textloom::LayoutParams params;
  std::uint64_t best = UINT64_MAX;
  std::size_t sink = 0;
  for (int r = 0; r < repeats; ++r) {
    const std::uint64_t t0 = textloom::now_ns();
    const std::vector<Block> blocks = textloom::layout_page(page, mode, std::nullopt, params);
    const std::uint64_t t1 = textloom::now_ns();
    sink += blocks.size();
    if (digest != nullptr && r + 1 == repeats) digest->add(blocks);
    const std::uint64_t t = textloom::elapsed_ns(t0, t1);
    if (t < best) best = t;
  }
  if (sink == SIZE_MAX) std::puts("");  // keeps the layouts observable
  return best;
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  textloom::merge_sort(values, [](double a, double b) { return a < b; });
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

Glyph glyph(std::uint32_t index, std::uint32_t ch, double x, double y, double advance) {
  Glyph g{};
  g.origin_x = x;
  g.origin_y = y;
  g.end_x = x + advance;
  g.end_y = y;
  g.dir_x = 1;
  g.dir_y = 0;
  g.size = 10;
  g.index = index;
  g.ch = ch;
  return g;
}

PageGlyphs with_font() {
  PageGlyphs page;
  page.fonts.push_back(textloom::make_font_info("Bench", 0, 400, 0, true, 0.8, -0.2));
  return page;
}

// Two columns of `lines` lines of 50 glyphs each (words of 5 letters and a
// gap), a paragraph break every 10 lines.
PageGlyphs prose(int lines) {
  PageGlyphs page = with_font();
  page.glyphs.reserve(static_cast<std::size_t>(lines) * 100);
  std::uint32_t index = 0;
  for (int column = 0; column < 2; ++column) {
    double y = 20;
    for (int line = 0; line < lines; ++line) {
      double x = 50 + 320 * column;
      for (int k = 0; k < 50; ++k) {
        page.glyphs.push_back(glyph(index++, 'a' + static_cast<std::uint32_t>(k % 26), x, y, 5));
        x += k % 6 == 5 ? 8 : 5;
      }
      y += line % 10 == 9 ? 20 : 12;
    }
  }
  return page;
}

// Columns of 40 single CJK characters stacked 12 apart, right to left.
PageGlyphs vertical_cjk(int glyphs) {
  PageGlyphs page = with_font();
  page.glyphs.reserve(static_cast<std::size_t>(glyphs));
  for (int i = 0; i < glyphs; ++i) {
    const int column = i / 40;
    const int row = i % 40;
    page.glyphs.push_back(glyph(static_cast<std::uint32_t>(i),
                                0x4E00u + static_cast<std::uint32_t>(i % 500),
                                20000.0 - 15.0 * column, 20.0 + 12.0 * row, 10));
  }
  return page;
}

void report_synthetic(const char* name, const PageGlyphs& page, int repeats) {
  std::printf("%-22s %8zu glyphs", name, page.glyphs.size());
  textloom::tools::LayoutDigest digest;
  for (std::size_t m = 0; m < kNumModes; ++m) {
    const double ns = static_cast<double>(time_layout(page, kModes[m], repeats, &digest));
    std::printf("  %s %7.1f ns/glyph", kModeNames[m],
                ns / static_cast<double>(page.glyphs.size()));
  }
  std::printf("  digest %016llx\n", static_cast<unsigned long long>(digest.value()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: layout_bench LIBPDFIUM PDF [REPEATS]\n");
    return 2;
  }
  const int repeats = argc > 3 ? std::atoi(argv[3]) : 15;
  textloom::Pdfium pdf;
  const textloom::host::DocumentPtr doc = textloom::host::open_document(argv[1], argv[2], pdf);
  if (!doc) return 1;
  const int n_pages = pdf.FPDF_GetPageCount(doc.get());
  std::vector<double> per_glyph[kNumModes];
  std::vector<double> ratio;
  std::vector<double> reading_vs_xycut;
  int worst_page = -1;
  double worst_ratio = 0;
  textloom::tools::LayoutDigest digests[kNumModes];
  double total_ns[kNumModes] = {};
  double total_glyphs = 0;
  for (int i = 0; i < n_pages; ++i) {
    textloom::Result<PageGlyphs> extracted = textloom::extract_page(pdf, doc.get(), i, false);
    if (!extracted) {
      std::fprintf(stderr, "page %d: %s\n", i, extracted.error().c_str());
      continue;
    }
    const PageGlyphs& page = extracted.value();
    if (page.glyphs.empty()) continue;
    const double n = static_cast<double>(page.glyphs.size());
    total_glyphs += n;
    double page_ns[kNumModes] = {};
    for (std::size_t m = 0; m < kNumModes; ++m) {
      const double ns = static_cast<double>(time_layout(page, kModes[m], repeats, &digests[m]));
      total_ns[m] += ns;
      page_ns[m] = ns;
      per_glyph[m].push_back(ns / n);
      if (kModes[m] == SortMode::xycut) {
        const double extract_ns = static_cast<double>(page.t_load_text + page.t_chars);
        if (extract_ns > 0) {
          ratio.push_back(ns / extract_ns);
          if (ratio.back() > worst_ratio) {
            worst_ratio = ratio.back();
            worst_page = i;
          }
        }
      }
    }
    if (page_ns[2] > 0) reading_vs_xycut.push_back(page_ns[3] / page_ns[2]);
  }

  std::printf("%s: %d pages, %.0f glyphs, best of %d\n", argv[2], n_pages, total_glyphs, repeats);
  for (std::size_t m = 0; m < kNumModes; ++m) {
    double worst = 0;
    for (double v : per_glyph[m]) worst = v > worst ? v : worst;
    std::printf("  %-6s %7.1f ns/glyph overall, page median %7.1f, worst %7.1f, digest %016llx\n",
                kModeNames[m], total_glyphs > 0 ? total_ns[m] / total_glyphs : 0,
                median(per_glyph[m]), worst,
                static_cast<unsigned long long>(digests[m].value()));
  }
  std::printf("  layout(xycut) / (t_load_text + t_chars): median %.3f, worst %.3f (page %d)\n",
              median(ratio), worst_ratio, worst_page);
  std::printf("  reading / xycut per page: median %.3f, overall %.3f\n", median(reading_vs_xycut),
              total_ns[2] > 0 ? total_ns[3] / total_ns[2] : 0);

  std::printf("synthetic pages:\n");
  report_synthetic("two columns, 100 lines", prose(100), repeats);
  report_synthetic("two columns, 1000 lines", prose(1000), repeats);
  report_synthetic("vertical CJK", vertical_cjk(2000), repeats);
  report_synthetic("vertical CJK", vertical_cjk(20000), repeats);
  return 0;
}
