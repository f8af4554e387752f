// Spaces PDFium reports in scripts that inserted gaps never split: kept after
// Hangul and Thai, still left out after Han and Kana.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glyph_builder.hpp"

namespace textloom {
namespace {

std::u32string laid(char32_t first, char32_t second, bool reported, double gap) {
  fixtures::PageBuilder b;
  b.at(first, 0, 100);
  b.after(second, gap).space_before = reported;
  const std::vector<Block> blocks = fixtures::lay_out(b.page());
  std::u32string out;
  for (const Char& c : blocks.at(0).lines.at(0).chars) out += static_cast<char32_t>(c.ch);
  return out;
}

TEST(LayoutSpaces, ReportedSpacesInSpacedScripts) {
  EXPECT_EQ(laid(U'\uD55C', U'\uAE00', true, 0.05), U"\uD55C \uAE00");   // Hangul, reported: kept
  EXPECT_EQ(laid(U'\uD55C', U'\uAE00', false, 0.3), U"\uD55C\uAE00");    // not reported: as before
  EXPECT_EQ(laid(U'\u0E01', U'\u0E02', true, 0.05), U"\u0E01 \u0E02");   // Thai, reported: kept
  EXPECT_EQ(laid(U'\u6F22', U'\u5B57', true, 0.05), U"\u6F22\u5B57");    // Han: never
  EXPECT_EQ(laid(U'\u30AB', U'\u30CA', true, 0.05), U"\u30AB\u30CA");    // Katakana: never
}

}  // namespace
}  // namespace textloom
