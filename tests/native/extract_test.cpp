// Page extraction on a scripted stand-in PDFium: failures and fallbacks, the
// character classification, caches, geometry, and the two post-passes.

#include "extract.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "fake_pdfium.hpp"

namespace textloom {
namespace {

using fake::Char;
using fake::Page;

// A char at (x, y) in user space whose loose box runs `width` right of it.
Char at(unsigned unicode, double x, double y = 700, float width = 5) {
  const auto fx = static_cast<float>(x), fy = static_cast<float>(y);
  Char c;
  c.unicode = unicode, c.x = x, c.y = y, c.box = FS_RECTF{fx, fy + 8, fx + width, fy - 2};
  return c;
}

PageGlyphs extract(Page& page, bool ligatures = false) {
  const Pdfium pdf = fake::table(page);
  Result<PageGlyphs> result = extract_page(pdf, nullptr, 0, ligatures);
  EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error());
  return result.ok() ? std::move(result).value() : PageGlyphs{};
}

std::u32string text_of(const PageGlyphs& page) {
  std::u32string out;
  for (const Glyph& g : page.glyphs) out.push_back(static_cast<char32_t>(g.ch));
  return out;
}

using Calls = std::vector<std::string>;

// The one order of PDFium calls extraction makes, on a page that meets each
// kind of character once: a text object's state and a font read once and kept
// for the object's later characters, CR and spaces asked about, the hyphen
// marker not, a char without a text object sized by the text page and given a
// font of its own, the pages closed last.
TEST(ExtractCalls, OrderAndStatePerObject) {
  Page page;
  Char space = at(' ', 10);
  space.generated = 1;
  Char marker = at(2, 30);
  marker.object = 2;  // another object, same font
  marker.r = 0x12, marker.g = 0x34, marker.b = 0x56;
  page.objects[2] = fake::Object{20, true, 1, kPdfTextRenderInvisible};
  Char loose = at('c', 40);
  loose.object = 0;  // no text object
  loose.text_font_size = 9;
  page.chars = {at('a', 0), space, at('b', 20), at('\r', 25), marker, loose, at('d', 50)};
  page.annotations = {kPdfAnnotFreeText};
  const PageGlyphs g = extract(page);
  EXPECT_EQ(page.log, (Calls{
      "FPDF_LoadPage", "FPDFText_LoadPage", "FPDFText_CountChars", "FPDFPage_GetCropBox",
      "FPDFPage_GetRotation", "FPDFText_CountChars",
      // 'a': a new object with a new font
      "FPDFText_GetUnicode", "FPDFText_GetTextObject", "FPDFText_GetMatrix", "FPDFTextObj_GetFontSize",
      "FPDFTextObj_GetFont", "FPDFFont_GetIsEmbedded", "FPDFFont_GetBaseFontName", "FPDFFont_GetFlags",
      "FPDFFont_GetWeight", "FPDFFont_GetAscent", "FPDFFont_GetDescent", "FPDFFont_GetItalicAngle",
      "FPDFText_GetFontInfo", "FPDFText_GetFillColor", "FPDFText_GetCharOrigin",
      "FPDFText_GetLooseCharBox",
      // the generated space, asked about; 'b', of a known object; CR, asked about
      "FPDFText_GetUnicode", "FPDFText_IsGenerated", "FPDFText_GetUnicode", "FPDFText_GetTextObject",
      "FPDFText_GetCharOrigin", "FPDFText_GetLooseCharBox", "FPDFText_GetUnicode",
      "FPDFText_IsGenerated",
      // the marker: a new object, its font known
      "FPDFText_GetUnicode", "FPDFText_GetTextObject", "FPDFText_GetMatrix", "FPDFTextObj_GetFontSize",
      "FPDFTextObj_GetFont", "FPDFText_GetFillColor", "FPDFText_GetCharOrigin",
      "FPDFText_GetLooseCharBox",
      // no object: the text page's size
      "FPDFText_GetUnicode", "FPDFText_GetTextObject", "FPDFText_GetMatrix", "FPDFText_GetFontSize",
      "FPDFText_GetFillColor", "FPDFText_GetCharOrigin", "FPDFText_GetLooseCharBox",
      // 'd': the first object again
      "FPDFText_GetUnicode", "FPDFText_GetTextObject", "FPDFText_GetCharOrigin",
      "FPDFText_GetLooseCharBox",
      // the page's links (none), its annotations (one, free text) and page objects
      // (none), read after its glyphs
      "FPDFLink_Enumerate", "FPDFPage_GetAnnotCount", "FPDFPage_GetAnnot", "FPDFAnnot_GetSubtype",
      "FPDFPage_CloseAnnot", "FPDFPage_CountObjects",
      // the render mode of each text object met (not of the chars without one)
      "FPDFTextObj_GetTextRenderMode", "FPDFTextObj_GetTextRenderMode",
      // last, what the free text shows: its box, its contents (none)
      "FPDFPage_GetAnnot", "FPDFAnnot_GetRect", "FPDFAnnot_GetStringValue", "FPDFPage_CloseAnnot",
      "FPDFText_ClosePage", "FPDF_ClosePage"}));
  ASSERT_EQ(g.fonts.size(), 2u);
  const FontInfo& own = g.fonts[1];
  EXPECT_EQ(std::tuple(own.name, own.weight, own.embedded, own.style),
            std::tuple("", 400, true, kStyleSerif));
  std::vector<std::tuple<double, std::uint32_t, std::uint32_t>> got;  // size, font, colour
  for (const Glyph& glyph : g.glyphs) got.emplace_back(glyph.size, glyph.font, glyph.color);
  EXPECT_EQ(got, (decltype(got){{10, 0, 0}, {10, 0, 0}, {20, 0, 0x123456}, {9, 1, 0}, {10, 0, 0}}));
  std::vector<bool> invisible;  // the marker's object is drawn invisible
  for (const Glyph& glyph : g.glyphs) invisible.push_back(glyph.invisible);
  EXPECT_EQ(invisible, (std::vector<bool>{false, false, true, false, false}));
}

TEST(ExtractFailures, PageOrTextThatCannotLoad) {
  Page page;
  page.load_fails = true;
  Result<PageGlyphs> result = extract_page(fake::table(page), nullptr, 7, false);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(), "cannot load page 7");
  page.load_fails = false;
  page.text_fails = true;
  page.log.clear();
  result = extract_page(fake::table(page), nullptr, -3, false);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(), "cannot load text of page -3");
  EXPECT_EQ(page.log, (Calls{"FPDF_LoadPage", "FPDFText_LoadPage", "FPDF_ClosePage"}));
}

// An empty page still has its geometry; a negative char count makes one.
TEST(ExtractGeometry, EmptyPage) {
  for (int count : {0, -1}) {
    Page page;
    if (count < 0) page.chars = {at('a', 10)}, page.count_override = count;
    page.rotation = 1;
    const PageGlyphs g = extract(page);
    EXPECT_TRUE(g.glyphs.empty() && g.fonts.empty());
    EXPECT_EQ(std::tuple(g.n_chars, g.width, g.height, g.rotation), std::tuple(0, 600.0, 800.0, 90u));
  }
}

TEST(ExtractGeometry, RotationUsesTheLowTwoBits) {
  for (const auto& [raw, degrees] : {std::pair{0, 0u}, {2, 180u}, {3, 270u}, {5, 90u}, {-1, 270u}}) {
    Page page;
    page.rotation = raw;
    EXPECT_EQ(extract(page).rotation, degrees) << raw;
  }
}

TEST(ExtractGeometry, CropBoxFallbacks) {
  Page page;
  page.crop_ok = false;
  EXPECT_EQ(extract(page).crop, (std::array<double, 4>{0, 0, 500, 700}));
  page.media_ok = false;
  const PageGlyphs g = extract(page);
  EXPECT_EQ(g.crop, (std::array<double, 4>{1, 2, 401, 700}));  // FS_RECTF read as l, b, r, t
  EXPECT_EQ(std::pair(g.width, g.height), std::pair(400.0, 698.0));
  page.bounds_ok = false;
  EXPECT_EQ(extract(page).crop, (std::array<double, 4>{0, 0, 612, 792}));
  page.crop_ok = true;  // an inverted box still has a positive size
  page.crop[0] = 600, page.crop[2] = 0, page.crop[1] = 800, page.crop[3] = 0;
  EXPECT_EQ(std::pair(extract(page).width, extract(page).height), std::pair(600.0, 800.0));
}

TEST(ExtractGeometry, OriginsAreInPageSpace) {
  Page page;
  page.crop[0] = 10, page.crop[3] = 800;
  page.chars = {at('a', 10, 800), at('b', 110, 700)};
  const PageGlyphs g = extract(page);
  ASSERT_EQ(g.glyphs.size(), 2u);
  EXPECT_EQ(std::pair(g.glyphs[0].origin_x, g.glyphs[0].origin_y), std::pair(0.0, 0.0));
  const Glyph& b = g.glyphs[1];  // advance from the loose box
  EXPECT_EQ(std::tuple(b.origin_x, b.origin_y, b.end_x, b.end_y), std::tuple(100.0, 100.0, 105.0, 100.0));
}

TEST(ExtractChars, ClassificationOfCodes) {
  Page page;
  Char generated_space = at(' ', 30);
  generated_space.generated = 1;
  page.chars = {at('a', 0),      at(2, 10),        at('\r', 20),   at('\n', 20), generated_space,
                generated_space, at('b', 40),     at(' ', 50),    at(0, 60),     at(0xD800, 70),
                at(0x1F600, 80), at(0xFFFE, 90),   at(0xFFFD, 100)};
  const PageGlyphs g = extract(page);
  EXPECT_EQ(text_of(g), U"a-b \uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(g.n_chars, 13);
  ASSERT_EQ(g.glyphs.size(), 9u);
  EXPECT_TRUE(g.glyphs[1].hyphen && !g.glyphs[0].hyphen);
  // 'b' follows two generated spaces, marked once; a real space stays a glyph.
  EXPECT_TRUE(g.glyphs[2].space_before && !g.glyphs[3].space_before);
  EXPECT_EQ(g.glyphs[2].index, 6u);
}

TEST(ExtractChars, FailingOriginAndBoxKeepPreviousValues) {
  Page page;
  Char lost = at('b', 50);
  lost.origin_ok = lost.box_ok = false;
  page.chars = {lost, at('a', 20), lost};
  const PageGlyphs g = extract(page);
  ASSERT_EQ(g.glyphs.size(), 3u);
  // Zeros before the first success; then a repeat of 'a' (same place and font).
  EXPECT_EQ(std::tuple(g.glyphs[0].origin_x, g.glyphs[0].end_x, g.glyphs[2].origin_x, g.glyphs[2].end_x),
            std::tuple(0.0, 0.0, 20.0, 25.0));
  EXPECT_TRUE(g.glyphs[2].repeat);
}

// A null font handle gets an unnamed font of default metrics; a failing
// object size is zero, a failing matrix the identity.
TEST(ExtractObjects, Fallbacks) {
  Page page;
  page.objects[1].font = 0, page.objects[1].size_ok = false;
  page.chars = {at('a', 0)};
  page.chars[0].matrix_ok = false;
  const PageGlyphs g = extract(page);
  ASSERT_EQ(g.fonts.size(), 1u);
  const FontInfo& f = g.fonts[0];
  EXPECT_EQ(std::tuple(f.name, f.weight, f.ascender, f.descender), std::tuple("", 0, 0.8, -0.2));
  EXPECT_EQ(std::tuple(g.glyphs.at(0).size, g.glyphs[0].dir_x, g.glyphs[0].dir_y), std::tuple(0.0, 1.0, 0.0));
}

TEST(ExtractObjects, EffectiveSizeAndDirectionFromTheMatrix) {
  struct Case {
    FS_MATRIX m;
    double size, dir_x, dir_y;
  };
  const Case cases[] = {
      {{2, 0, 0, 2, 0, 0}, 20, 1, 0},
      {{0, 0, 0, 0, 0, 0}, 10, 0, 0},    // det 0: nominal size; hypot 0 counts as 1
      {{0, 1, -1, 0, 0, 0}, 10, 0, -1},  // turned 90 degrees: the baseline runs up the page
      {{-1, 0, 0, 1, 0, 0}, 10, -1, 0},  // mirrored
      {{3, 4, 0, 1, 0, 0}, 10 * std::sqrt(3.0), 0.6, -0.8},
  };
  for (const Case& c : cases) {
    Page page;
    page.chars = {at('a', 0)};
    page.chars[0].matrix = c.m;
    const Glyph g = extract(page).glyphs.at(0);
    EXPECT_NEAR(g.size, c.size, 1e-12);
    EXPECT_NEAR(g.dir_x, c.dir_x, 1e-12);
    EXPECT_NEAR(g.dir_y, c.dir_y, 1e-12);
  }
}

TEST(ExtractObjects, AdvanceAlongVerticalAndSlantedBaselines) {
  Page page;
  Char up = at('a', 0);
  up.matrix = FS_MATRIX{0, 1, -1, 0, 0, 0};
  up.box = FS_RECTF{0, 30, 10, 18};  // 12 tall
  page.chars = {up};
  Glyph g = extract(page).glyphs.at(0);
  EXPECT_NEAR(g.end_y - g.origin_y, -12, 1e-12);
  EXPECT_NEAR(g.end_x - g.origin_x, 0, 1e-12);

  // At 45 degrees a box narrower than the slant part gives no advance rather than a negative one.
  const auto h = static_cast<float>(std::sqrt(0.5));
  Char slant = at('a', 0);
  slant.matrix = FS_MATRIX{h, h, -h, h, 0, 0};
  slant.box = FS_RECTF{0, 2, 2, 0};
  page.chars = {slant};
  g = extract(page).glyphs.at(0);
  EXPECT_EQ(g.end_x, g.origin_x);
}

TEST(ExtractFonts, ReadOncePerHandleWithFallbacks) {
  Page page;
  fake::Font subset{"ABCDEF+Times-Bold"};
  subset.flags = -5, subset.italic_angle = -12, subset.embedded = 1;
  subset.metrics_ok = subset.angle_ok = false;
  page.fonts[2] = subset;
  page.fonts[3] = fake::Font{"Ignored", 0};  // the name call fails
  page.fonts[4] = fake::Font{std::string(300, 'x')};
  page.fonts[5] = fake::Font{std::string("Caf\xC3\xA9\xFF", 6)};
  for (int k = 2; k <= 5; ++k) {
    page.objects[k] = fake::Object{10, true, k};
    page.chars.push_back(at('a', 10.0 * k));
    page.chars.back().object = k;
  }
  const PageGlyphs g = extract(page);
  ASSERT_EQ(g.fonts.size(), 4u);
  const FontInfo& t = g.fonts[0];
  EXPECT_EQ(std::tuple(t.name, t.flags, t.ascent, t.descent, t.italic_angle, t.embedded, t.style),
            std::tuple("Times-Bold", 0u, 0.8, -0.2, 0, true, kStyleBold | kStyleSerif));
  EXPECT_EQ(g.fonts[1].name, "");
  EXPECT_EQ(g.fonts[2].name, std::string(256, 'x'));
  EXPECT_EQ(g.fonts[3].name, "Caf\xC3\xA9\xEF\xBF\xBD");
}

TEST(ExtractFonts, TextPageFlagsReplaceTheFontFlags) {
  Page page;
  page.fonts[1] = fake::Font{"Foo"};
  page.fonts[1].flags = kPdfSerif;
  page.chars = {at('a', 0)};
  page.chars[0].info_result = 7, page.chars[0].info_flags = 32;
  const PageGlyphs g = extract(page);
  EXPECT_EQ(g.fonts[0].flags, 32u);
  EXPECT_EQ(g.fonts[0].style, kStyleSerif);  // classified from the font's own flags
  page.chars[0].info_result = 0;
  EXPECT_EQ(extract(page).fonts[0].flags, kPdfSerif);
}

TEST(ExtractPasses, RepeatNeedsSamePlaceAndFont) {
  Page page;
  page.objects[2] = fake::Object{10, true, 2};
  page.fonts[2] = fake::Font{"Other"};
  Char other = at('a', 0);
  other.object = 2;
  // Same origin and end x, but one runs up the page: its end y differs.
  page.objects[3] = fake::Object{10, true, 1};
  Char turned = at('a', 20);
  turned.object = 3;
  turned.matrix = FS_MATRIX{0, 1, -1, 0, 0, 0};
  page.chars = {at('a', 0), at('a', 0), other, at('b', 10), at('a', 20, 700, 0), turned};
  const PageGlyphs g = extract(page);
  std::vector<bool> repeats;
  for (const Glyph& glyph : g.glyphs) repeats.push_back(glyph.repeat);
  EXPECT_EQ(repeats, (std::vector<bool>{false, true, false, false, false, false}));
}

TEST(ExtractPasses, KerningOverlapIsCutBack) {
  Page page;
  Char generated = at(' ', 0);
  generated.generated = 1;
  page.chars = {at('A', 0, 700, 8), at('V', 6, 700, 8), at('x', 20, 701, 8), at('y', 25, 701, 8),
                generated, at('z', 30, 701, 8)};
  // Cut back to V's origin; not for a glyph on another baseline or one with space_before.
  const PageGlyphs g = extract(page);
  EXPECT_EQ(std::tuple(g.glyphs[0].end_x, g.glyphs[1].end_x, g.glyphs[2].end_x, g.glyphs[3].end_x),
            std::tuple(6.0, 14.0, 25.0, 33.0));
}

TEST(ExtractPasses, Ligatures) {
  for (const auto& [codes, with] : {std::pair{U"fi", U"\uFB01"}, {U"ff", U"\uFB00"}, {U"fl", U"\uFB02"},
                                     {U"ffi", U"\uFB03"}, {U"ffl", U"\uFB04"}, {U"st", U"\uFB06"},
                                     {U"xy", U"xy"}, {U"ft", U"ft"}}) {
    Page page;
    for (const char32_t* c = codes; *c != 0; ++c) page.chars.push_back(at(*c, 10));  // one shared box
    page.chars.push_back(at('e', 20));
    EXPECT_EQ(text_of(extract(page, false)), std::u32string(codes) + U"e");
    const PageGlyphs joined = extract(page, true);
    EXPECT_EQ(text_of(joined), std::u32string(with) + U"e");
    EXPECT_EQ(joined.glyphs.front().index, 0u);
  }
}

// Links: where each leads (its action's URI or page, or its destination's
// page), those that lead nowhere left out, boxes moved into page space.
TEST(ExtractLinks, TargetsAndBoxes) {
  Page page;
  page.crop[0] = 10, page.crop[3] = 800;
  const auto link = [](bool action, unsigned long type, std::string uri, int dest = -1) {
    fake::Link l;
    l.has_action = action, l.action_type = type, l.uri = std::move(uri), l.dest_page = dest;
    l.rect = FS_RECTF{30, 700, 110, 690};  // left, top, right, bottom
    return l;
  };
  fake::Link go_to = link(true, kPdfActionGoTo, "", 4);
  go_to.rect = FS_RECTF{110, 690, 30, 700};  // flipped corners normalise
  fake::Link no_rect = link(true, kPdfActionUri, "u"), null_dest = link(false, 0, "", 2);
  no_rect.rect_ok = false, null_dest.has_dest = false;
  page.links = {link(true, kPdfActionUri, "https://example.org/a"), link(true, 4, "u"), go_to,
                no_rect, link(false, 0, "", 2), link(true, kPdfActionUri, ""), link(false, 0, ""),
                null_dest, link(true, kPdfActionUri, "x\xFFy")};  // 4: a launch action
  std::vector<std::tuple<double, double, double, double, std::string, int>> rows;
  for (const PageLink& l : extract(page).links) rows.emplace_back(l.x0, l.y0, l.x1, l.y1, l.uri, l.page);
  EXPECT_EQ(rows, (decltype(rows){{20, 100, 100, 110, "https://example.org/a", -1},
                                  {20, 100, 100, 110, "", 4}, {20, 100, 100, 110, "", 2},
                                  {20, 100, 100, 110, "x\xEF\xBF\xBDy", -1}}));  // U+FFFD
}

// Free text and form widgets are what a viewer shows as the page's text;
// links, comments and highlights are not.
TEST(ExtractAnnotations, CountsFreeTextAndWidgetsOnly) {
  Page page;
  page.annotations = {1, 2, kPdfAnnotFreeText, kPdfAnnotWidget, 9, kPdfAnnotXfaWidget};
  EXPECT_EQ(extract(page).text_annotations, 3u);
}

}  // namespace
}  // namespace textloom

