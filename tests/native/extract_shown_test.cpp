// What extraction reads of free text and filled fields, on the stand-in
// PDFium: each kind's value, the fields read from their own dictionary or
// through the form getters, damage skipped, texts cut, nothing read without
// a form environment.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "extract.hpp"
#include "extract_shown.hpp"
#include "fake_pdfium.hpp"
#include "utf8.hpp"

namespace textloom {
namespace {

using fake::Annot;
using fake::Page;

FPDF_FORMHANDLE const kForm = reinterpret_cast<FPDF_FORMHANDLE>(std::uintptr_t{1});

// The text of the page's shown glyphs, a space between runs (a new origin
// line), and the calls made after the page's own extraction.
std::string shown(Page& page, FPDF_FORMHANDLE form = kForm) {
  const Pdfium pdf = fake::table(page);
  Result<PageGlyphs> result = extract_page(pdf, nullptr, 0, false, form);
  EXPECT_TRUE(result.ok());
  std::string text;
  double last_y = NAN;
  for (const Glyph& g : result.value().shown) {
    if (!text.empty() && g.origin_y != last_y) text += '|';
    append_utf8(text, g.ch);
    last_y = g.origin_y;
  }
  return text;
}

// The annotations one above another, so that each run has a baseline of its own.
std::vector<Annot> stacked(std::vector<Annot> annots) {
  for (std::size_t i = 0; i < annots.size(); ++i) {
    annots[i].rect.top = 700 - 30 * static_cast<float>(i);
    annots[i].rect.bottom = annots[i].rect.top - 20;
  }
  return annots;
}

Annot field(int type, std::u16string value = u"") {
  Annot a{kPdfAnnotWidget};
  a.field_type = type;
  a.field_value = std::move(value);
  return a;
}

TEST(ExtractShown, EachKindShowsItsValue) {
  Annot free_text{kPdfAnnotFreeText};
  free_text.strings = {{"Contents", u"Free"}, {"DA", u"/Helv 9 Tf"}};
  Annot own{kPdfAnnotWidget};  // a text field that is its own widget: read from its dictionary
  own.strings = {{"FT", u"Tx"}, {"V", u"Own"}};
  Annot on = field(kPdfFieldCheckBox), off = field(kPdfFieldCheckBox);
  on.strings = {{"AS", u"Yes"}};
  off.strings = {{"AS", u"Off"}};
  Annot choice = field(kPdfFieldList, u"ignored");
  choice.options = {{u"a", true}, {u"b", false}, {u"c", true}};
  Annot combo = field(kPdfFieldCombo, u"typed");  // nothing chosen: its own text
  combo.options = {{u"x", false}};
  Annot kid = field(kPdfFieldText, u"Kid");  // a widget of a parent field: the form getters
  kid.strings = {{"FT", u"Tx"}};
  kid.others = {{"Parent", 6}};
  Annot reference = field(kPdfFieldText, u"Ref");  // a /V the getters decode
  reference.strings = {{"FT", u"Tx"}};
  reference.others = {{"V", 9}};
  Page page;
  page.annotations = stacked({free_text, own, on, off, choice, combo, kid, reference,
                               field(kPdfFieldText), field(1, u"button"), field(7, u"signature"),
                               field(-1, u"no field"), Annot{kPdfAnnotFreeText}, Annot{1}});
  EXPECT_EQ(shown(page), "Free|Own|\xE2\x98\x92|a, c|typed|Kid|Ref");
  // Without a form environment only the free text is read; widgets are not opened.
  page.log.clear();
  EXPECT_EQ(shown(page, nullptr), "Free");
  EXPECT_EQ(std::count(page.log.begin(), page.log.end(), "FPDFAnnot_GetRect"), 2);
}

TEST(ExtractShown, DamageIsSkippedAndTextsCut) {
  Annot nan_box = field(kPdfFieldText, u"nan"), inf_box = field(kPdfFieldText, u"inf");
  nan_box.rect.left = NAN;
  inf_box.rect.right = INFINITY;
  Annot no_rect = field(kPdfFieldText, u"none");
  no_rect.rect_ok = false;
  Annot huge_flags{kPdfAnnotWidget};  // an /Ff a float cannot hold exactly: the getters
  huge_flags.strings = {{"FT", u"Tx"}, {"V", u"own"}};
  huge_flags.numbers = {{"Ff", 1e9f}};
  huge_flags.field_type = kPdfFieldText;
  huge_flags.field_value = u"got";
  Annot lone{kPdfAnnotWidget};  // an unpaired surrogate and trailing NULs
  lone.strings = {{"FT", u"Tx"}, {"V", u"a" + std::u16string(1, 0xD800) + std::u16string(u"b\0\0", 3)}};
  Page page;
  page.annotations = stacked({nan_box, inf_box, no_rect, huge_flags, lone});
  EXPECT_EQ(shown(page), "got|a\xEF\xBF\xBD" "b");
  // Megabytes of a value: kMostShownChars characters kept, on one line of a wide box.
  Annot long_value = field(kPdfFieldText, std::u16string(3 * kMostShownChars, u'x'));
  long_value.rect.right = 1e9f;
  page.annotations = {long_value};
  EXPECT_EQ(shown(page).size(), kMostShownChars);
}

}  // namespace
}  // namespace textloom
