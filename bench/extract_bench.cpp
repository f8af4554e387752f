// extract_bench LIBPDFIUM PDF [ROUNDS]
//
// Extraction cost on every page of a document: the four phase timings of
// extract_page (median per page and totals), glyphs per page, chars_ns per
// glyph; and, in the same run, the bare per-character PDFium calls that the
// character loop makes (same calls, same order, results only summed), so the
// bookkeeping our loop adds on top of PDFium can be read off.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "clock.hpp"
#include "extract.hpp"
#include "pdfium_host.hpp"

using namespace textloom;

namespace {

double ms(std::uint64_t ns) { return static_cast<double>(ns) / 1e6; }

std::uint64_t median(std::vector<std::uint64_t> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

// The PDFium calls of the character loop without what we do with them.
std::uint64_t bare_chars_ns(const Pdfium& pdf, FPDF_DOCUMENT doc, int index, double& sink) {
  const PagePtr page(pdf.FPDF_LoadPage(doc, index), PageCloser{&pdf});
  if (!page) return 0;
  const TextPagePtr text_page(pdf.FPDFText_LoadPage(page.get()), TextPageCloser{&pdf});
  if (!text_page) return 0;
  FPDF_TEXTPAGE text = text_page.get();
  pdf.FPDFText_CountChars(text);
  const std::uint64_t start = now_ns();
  const int n = pdf.FPDFText_CountChars(text);
  // Per-object and per-font calls are made when the object changes and for
  // fonts not seen yet, with as little of our own work as possible.
  FPDF_PAGEOBJECT previous = reinterpret_cast<FPDF_PAGEOBJECT>(~std::uintptr_t{0});
  std::vector<FPDF_FONT> fonts;
  for (int i = 0; i < n; ++i) {
    const unsigned u = pdf.FPDFText_GetUnicode(text, i);
    if (u == 10 || u == 13 || u == 32) {
      if (pdf.FPDFText_IsGenerated(text, i) == 1 || u != 32) continue;
    }
    FPDF_PAGEOBJECT object = pdf.FPDFText_GetTextObject(text, i);
    if (object != previous) {
      previous = object;
      FS_MATRIX m{};
      pdf.FPDFText_GetMatrix(text, i, &m);
      float size = 0;
      pdf.FPDFTextObj_GetFontSize(object, &size);
      unsigned r = 0, g = 0, b = 0, a = 0;
      pdf.FPDFText_GetFillColor(text, i, &r, &g, &b, &a);
      sink += double{m.a} + double{size} + r;
      FPDF_FONT font = pdf.FPDFTextObj_GetFont(object);
      if (std::find(fonts.begin(), fonts.end(), font) == fonts.end()) {
        fonts.push_back(font);
        // What reading a font asks of PDFium.
        char name[256] = {};
        int flags = 0, angle = 0;
        float ascent = 0, descent = 0;
        pdf.FPDFText_GetFontInfo(text, i, nullptr, 0, &flags);
        pdf.FPDFFont_GetIsEmbedded(font);
        pdf.FPDFFont_GetBaseFontName(font, name, sizeof name);
        sink += pdf.FPDFFont_GetFlags(font) + pdf.FPDFFont_GetWeight(font);
        pdf.FPDFFont_GetAscent(font, 1.0f, &ascent);
        pdf.FPDFFont_GetDescent(font, 1.0f, &descent);
        pdf.FPDFFont_GetItalicAngle(font, &angle);
        sink += double{ascent} + flags + name[0];
      }
    }
    double x = 0, y = 0;
    FS_RECTF box{};
    pdf.FPDFText_GetCharOrigin(text, i, &x, &y);
    pdf.FPDFText_GetLooseCharBox(text, i, &box);
    sink += x + y + double{box.left} + double{box.right} + u;
  }
  return elapsed_ns(start, now_ns());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: extract_bench LIBPDFIUM PDF [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  Pdfium pdf;
  const host::DocumentPtr owned_doc = host::open_document(argv[1], argv[2], pdf);
  if (!owned_doc) return 1;
  FPDF_DOCUMENT doc = owned_doc.get();
  const int n_pages = pdf.FPDF_GetPageCount(doc);

  std::vector<std::uint64_t> load_page, load_text, chars, close, glyphs, per_glyph;
  std::uint64_t total_chars = 0, total_bare = 0, total_glyphs = 0;
  std::uint64_t total_load_page = 0, total_load_text = 0, total_close = 0;
  double sink = 0;
  for (int index = 0; index < n_pages; ++index) {
    std::vector<std::uint64_t> t_page, t_text, t_chars, t_close, t_bare;
    std::size_t n_glyphs = 0;
    for (int round = 0; round < rounds; ++round) {
      // Alternate the two so drift in the machine's speed hits both alike.
      Result<PageGlyphs> page = extract_page(pdf, doc, index, false);
      if (!page) {
        std::fprintf(stderr, "%s\n", page.error().c_str());
        return 1;
      }
      t_page.push_back(page.value().t_load_page);
      t_text.push_back(page.value().t_load_text);
      t_chars.push_back(page.value().t_chars);
      t_close.push_back(page.value().t_close);
      n_glyphs = page.value().glyphs.size();
      t_bare.push_back(bare_chars_ns(pdf, doc, index, sink));
    }
    load_page.push_back(median(t_page));
    load_text.push_back(median(t_text));
    chars.push_back(median(t_chars));
    close.push_back(median(t_close));
    glyphs.push_back(n_glyphs);
    if (n_glyphs) per_glyph.push_back(median(t_chars) / n_glyphs);
    total_load_page += median(t_page);
    total_load_text += median(t_text);
    total_chars += median(t_chars);
    total_close += median(t_close);
    total_bare += median(t_bare);
    total_glyphs += n_glyphs;
  }

  std::printf("pages %d, rounds %d, sizeof(Glyph) %zu bytes\n", n_pages, rounds, sizeof(Glyph));
  std::printf("%-14s %12s %14s\n", "phase", "median ns", "total ms");
  std::printf("%-14s %12llu %14.2f\n", "load_page_ns", (unsigned long long)median(load_page),
              ms(total_load_page));
  std::printf("%-14s %12llu %14.2f\n", "load_text_ns", (unsigned long long)median(load_text),
              ms(total_load_text));
  std::printf("%-14s %12llu %14.2f\n", "chars_ns", (unsigned long long)median(chars),
              ms(total_chars));
  std::printf("%-14s %12llu %14.2f\n", "close_ns", (unsigned long long)median(close),
              ms(total_close));
  std::printf("glyphs per page: median %llu, total %llu\n", (unsigned long long)median(glyphs),
              (unsigned long long)total_glyphs);
  std::printf("chars_ns per glyph: median over pages %llu, overall %.1f\n",
              (unsigned long long)median(per_glyph),
              total_glyphs ? static_cast<double>(total_chars) / static_cast<double>(total_glyphs) : 0.0);
  std::printf("bare per-character PDFium calls: total %.2f ms; chars_ns / bare = %.3f "
              "(bookkeeping %+.1f%%)\n",
              ms(total_bare), static_cast<double>(total_chars) / static_cast<double>(total_bare),
              100.0 * (static_cast<double>(total_chars) / static_cast<double>(total_bare) - 1.0));
  if (sink == 1234.5) std::printf(" ");
  return 0;
}
