// glyph_dump LIBPDFIUM PDF [--ligatures]
//
// Extracts every page of PDF with the core's extract_page and prints one JSON
// line per page: geometry, timings, fonts, and the glyphs as arrays
// [index, ch, origin_x, origin_y, end_x, end_y, dir_x, dir_y, size, font,
//  color, hyphen, repeat, space_before]. Numbers are printed exactly
// (%.17g; NaN and infinities as Python's json reads them). Tests compare
// this with pypdfium2's raw API before any text output exists.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "extract.hpp"
#include "pdfium_host.hpp"

namespace {

void put_number(double value) {
  if (std::isnan(value)) {
    std::fputs("NaN", stdout);
  } else if (std::isinf(value)) {
    std::fputs(value > 0 ? "Infinity" : "-Infinity", stdout);
  } else {
    std::printf("%.17g", value);
  }
}

void put_string(const std::string& text) {
  std::putchar('"');
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      std::printf("\\%c", c);
    } else if (c < 0x20) {
      std::printf("\\u%04x", c);
    } else {
      std::putchar(c);
    }
  }
  std::putchar('"');
}

void put_page(int index, const textloom::PageGlyphs& page) {
  std::printf("{\"page\": %d, \"width\": ", index);
  put_number(page.width);
  std::fputs(", \"height\": ", stdout);
  put_number(page.height);
  std::printf(", \"rotation\": %u, \"n_chars\": %d, \"crop\": [", page.rotation, page.n_chars);
  for (int k = 0; k < 4; ++k) {
    if (k) std::fputs(", ", stdout);
    put_number(page.crop[static_cast<std::size_t>(k)]);
  }
  std::printf("], \"timings\": [%llu, %llu, %llu, %llu], \"fonts\": [",
              static_cast<unsigned long long>(page.t_load_page),
              static_cast<unsigned long long>(page.t_load_text),
              static_cast<unsigned long long>(page.t_chars),
              static_cast<unsigned long long>(page.t_close));
  for (std::size_t f = 0; f < page.fonts.size(); ++f) {
    const textloom::FontInfo& font = page.fonts[f];
    std::fputs(f ? ", {\"name\": " : "{\"name\": ", stdout);
    put_string(font.name);
    const double numbers[] = {font.ascent, font.descent, font.ascender, font.descender};
    const char* keys[] = {"ascent", "descent", "ascender", "descender"};
    for (int k = 0; k < 4; ++k) {
      std::printf(", \"%s\": ", keys[k]);
      put_number(numbers[k]);
    }
    std::printf(", \"flags\": %u, \"weight\": %d, \"italic_angle\": %d, \"style\": %u, "
                "\"embedded\": %s}",
                font.flags, font.weight, font.italic_angle, font.style,
                font.embedded ? "true" : "false");
  }
  std::fputs("], \"glyphs\": [", stdout);
  for (std::size_t g = 0; g < page.glyphs.size(); ++g) {
    const textloom::Glyph& glyph = page.glyphs[g];
    std::printf(g ? ", [%u, %u" : "[%u, %u", glyph.index, glyph.ch);
    const double numbers[] = {glyph.origin_x, glyph.origin_y, glyph.end_x, glyph.end_y,
                              glyph.dir_x,    glyph.dir_y,    glyph.size};
    for (double number : numbers) {
      std::fputs(", ", stdout);
      put_number(number);
    }
    std::printf(", %u, %u, %d, %d, %d]", glyph.font, glyph.color, glyph.hyphen ? 1 : 0,
                glyph.repeat ? 1 : 0, glyph.space_before ? 1 : 0);
  }
  std::fputs("]}\n", stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: glyph_dump LIBPDFIUM PDF [--ligatures]\n");
    return 2;
  }
  const bool ligatures = argc > 3 && std::strcmp(argv[3], "--ligatures") == 0;
  textloom::Pdfium pdf;
  const textloom::host::DocumentPtr doc = textloom::host::open_document(argv[1], argv[2], pdf);
  if (!doc) return 1;
  const int n_pages = pdf.FPDF_GetPageCount(doc.get());
  int status = 0;
  for (int i = 0; i < n_pages; ++i) {
    textloom::Result<textloom::PageGlyphs> page =
        textloom::extract_page(pdf, doc.get(), i, ligatures);
    if (!page) {
      std::printf("{\"page\": %d, \"error\": ", i);
      put_string(page.error());
      std::fputs("}\n", stdout);
      status = 1;
      continue;
    }
    put_page(i, page.value());
  }
  return status;
}
