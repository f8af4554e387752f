// What a page's free-text annotations and filled form fields show, read
// through PDFium's annotation and form-fill getters after the rest of the
// extraction, as runs of text (shown_text's rules) in page space.
#pragma once

#include <array>
#include <vector>

#include "ffi.hpp"
#include "placed_text.hpp"

namespace textloom {

// Characters kept of one value or annotation text: a page of prose is a few
// thousand; megabytes in a field are damage or a dump, not a value. The cap
// Page.form_fields() applies too (_annotations.MAX_TEXT).
inline constexpr unsigned long kMostShownChars = 100'000;

// An annotation whose text a viewer shows: its index on the page and its
// subtype (kPdfAnnotFreeText, kPdfAnnotWidget or kPdfAnnotXfaWidget).
struct TextAnnotation {
  int index;
  int subtype;
};

// The runs of the `annotations` of `page` (free text, and with
// `form`, the document's form-fill environment, form widgets), in annotation
// order: a checked box's mark (on where its /AS names a state but Off), a
// text field's value, a choice field's chosen options joined by ", " (an
// editable combo box's own text where none is), each at the size of the
// widget's own /DA or fitted to its box; a free text's /Contents at its /DA
// size. A text field that is its own widget is read from its dictionary,
// others through the form getters. Skipped: unchecked boxes, empty
// values, buttons, signatures, widgets of no field, rectangles PDFium cannot
// give or that are not finite. `crop` is the crop box (left, bottom, right,
// top); `rotation` the page's, under which a turned value fills its box.
std::vector<PlacedRun> read_shown_runs(const Pdfium& pdf, FPDF_FORMHANDLE form, FPDF_PAGE page,
                                       const std::vector<TextAnnotation>& annotations,
                                       const std::array<double, 4>& crop, std::uint32_t rotation);

}  // namespace textloom
