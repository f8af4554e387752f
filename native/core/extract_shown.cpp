// read_shown_runs: each text annotation opened again, its kind, box and value
// read, its runs made by shown_text.

#include "extract_shown.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "shown_text.hpp"

namespace textloom {

namespace {

struct AnnotCloser {
  const Pdfium* pdf;
  void operator()(FpdfAnnotation* annot) const { pdf->FPDFPage_CloseAnnot(annot); }
};
using AnnotPtr = std::unique_ptr<FpdfAnnotation, AnnotCloser>;

enum class Shows { nothing, mark, text, choice };

// What a field of PDFium's type shows, by the kinds _annotations.FIELD_TYPES
// gives the types (the XFA ones from 8 on among them).
Shows shows(int type) {
  switch (type) {
    case kPdfFieldCheckBox: case kPdfFieldRadio: case 9: case 12: return Shows::mark;
    case kPdfFieldCombo: case kPdfFieldList: case 10: case 14: return Shows::choice;
    case kPdfFieldText: case 16: return Shows::text;
    default: return Shows::nothing;
  }
}

// UTF-16LE code units to code points, each unpaired surrogate one U+FFFD,
// trailing NULs dropped.
std::u32string decoded(const std::vector<FPDF_WCHAR>& units) {
  std::u32string text;
  text.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      text += 0x10000 + ((u - 0xD800) << 10) + (char32_t{units[++i]} - 0xDC00);
    } else {
      text += u >= 0xD800 && u <= 0xDFFF ? char32_t{0xFFFD} : u;
    }
  }
  while (!text.empty() && text.back() == 0) text.pop_back();
  return text;
}

// The text a PDFium getter writes as UTF-16LE: `get(buffer, bytes)` returns
// the bytes the whole text needs, its NUL included, and writes nothing into a
// smaller buffer; empty when it has none. Kept: kMostShownChars code units.
template <class Get>
std::u32string read_utf16(Get get) {
  // Most texts fit here, read in one call; a longer one is asked for again.
  FPDF_WCHAR first[256];
  const unsigned long bytes = get(first, sizeof first);
  if (bytes <= 2) return {};
  const std::size_t kept = std::min<std::size_t>(bytes / 2 - 1, kMostShownChars);
  if (bytes <= sizeof first) return decoded(std::vector<FPDF_WCHAR>(first, first + kept));
  std::vector<FPDF_WCHAR> units((bytes + 1) / 2, 0);
  if (get(units.data(), static_cast<unsigned long>(units.size() * 2)) != bytes) return {};
  units.resize(kept);
  return decoded(units);
}

// The annotation's rectangle in page space, or false.
bool box_of(const Pdfium& pdf, FPDF_ANNOTATION annot, const std::array<double, 4>& crop,
            Rect& box) {
  FS_RECTF r{};
  if (!pdf.FPDFAnnot_GetRect(annot, &r)) return false;
  const double left = r.left, right = r.right, bottom = r.bottom, top = r.top;
  // Checked before min_num and max_num, to which a NaN yields.
  if (!std::isfinite(left) || !std::isfinite(right) || !std::isfinite(bottom) ||
      !std::isfinite(top)) {
    return false;
  }
  box = Rect{min_num(left, right) - crop[0], crop[3] - max_num(bottom, top),
             max_num(left, right) - crop[0], crop[3] - min_num(bottom, top)};
  return std::isfinite(box.x0) && std::isfinite(box.y0) && std::isfinite(box.x1) &&
         std::isfinite(box.y1);
}

void append(std::vector<PlacedRun>& runs, std::vector<PlacedRun> more) {
  for (PlacedRun& run : more) runs.push_back(std::move(run));
}

// The annotation's own text under `key` (as PDFium gives a string, a name
// or a stream), empty where it has none.
std::u32string string_value(const Pdfium& pdf, FPDF_ANNOTATION annot, const char* key) {
  return read_utf16([&](FPDF_WCHAR* buffer, unsigned long length) {
    return pdf.FPDFAnnot_GetStringValue(annot, key, buffer, length);
  });
}

// The type size a widget's own appearance string (/DA) names, 0 for none,
// in single precision as PDFium keeps a field's size.
double own_size(const Pdfium& pdf, FPDF_ANNOTATION annot) {
  return static_cast<float>(appearance_size(string_value(pdf, annot, "DA")));
}

void read_free_text(const Pdfium& pdf, FPDF_ANNOTATION annot, const std::array<double, 4>& crop,
                    bool upright, std::vector<PlacedRun>& runs) {
  Rect box{};
  if (!box_of(pdf, annot, crop, box)) return;
  const std::u32string text = string_value(pdf, annot, "Contents");
  if (text.empty()) return;
  const double size = appearance_size(string_value(pdf, annot, "DA"));
  append(runs, shown_lines(text, box, size > 0 ? size : kShownFreeTextSize, true, upright));
}

// Whether a check box or radio button is on: its appearance state /AS names
// its on state, any but Off. PDFium's FPDFAnnot_IsChecked, which applies this
// rule, answers only on a page opened in a form view (FORM_OnAfterLoadPage
// makes a widget of every annotation: on a page of 100 fields a quarter of
// its whole extraction).
bool checked(const Pdfium& pdf, FPDF_ANNOTATION annot) {
  const std::u32string state = string_value(pdf, annot, "AS");
  return !state.empty() && state != U"Off";
}

// A choice field's chosen options joined by ", ", or its own value where none is.
std::u32string chosen(const Pdfium& pdf, FPDF_FORMHANDLE form, FPDF_ANNOTATION annot) {
  const int count = pdf.FPDFAnnot_GetOptionCount(form, annot);
  std::u32string text;
  bool any = false;
  for (int option = 0; option < count && option < static_cast<int>(kMostShownChars); ++option) {
    if (!pdf.FPDFAnnot_IsOptionSelected(form, annot, option)) continue;
    if (any) text += U", ";
    any = true;
    text += read_utf16([&](FPDF_WCHAR* buffer, unsigned long length) {
      return pdf.FPDFAnnot_GetOptionLabel(form, annot, option, buffer, length);
    });
    if (text.size() >= kMostShownChars) {  // the cap holds for the joined labels too
      text.resize(kMostShownChars);
      break;
    }
  }
  if (any) return text;
  return read_utf16([&](FPDF_WCHAR* buffer, unsigned long length) {
    return pdf.FPDFAnnot_GetFormFieldValue(form, annot, buffer, length);
  });
}

// Floats hold integers exactly below 2^24: a larger /Ff may have lost low bits.
constexpr float kExactFlags = 16777216.0f;

// A text field whose widget is the whole field (its own /FT /Tx, no /Parent
// to inherit from), read from its own dictionary: PDFium's field getters
// find the field by its full name among all the form's fields, once per call,
// which on a page of 100 fields costs more than the rest of its extraction.
// False where the widget is not such a field or keeps its value in a way the
// getters decode (a /V not a string or stream, an /Ff a float cannot hold).
bool read_own_text_field(const Pdfium& pdf, FPDF_ANNOTATION annot, bool& multiline,
                         std::u32string& text) {
  if (string_value(pdf, annot, "FT") != U"Tx" || pdf.FPDFAnnot_HasKey(annot, "Parent")) {
    return false;
  }
  const int value_type = pdf.FPDFAnnot_GetValueType(annot, "V");  // unknown: none
  if (value_type != kPdfObjectUnknown && value_type != kPdfObjectString &&
      value_type != kPdfObjectStream) {
    return false;
  }
  float flags = 0;
  if (pdf.FPDFAnnot_GetValueType(annot, "Ff") != kPdfObjectUnknown &&
      (!pdf.FPDFAnnot_GetNumberValue(annot, "Ff", &flags) || !(flags >= 0 && flags < kExactFlags))) {
    return false;
  }
  multiline = (static_cast<std::int64_t>(flags) & kPdfFieldMultiline) != 0;
  if (value_type != kPdfObjectUnknown) text = string_value(pdf, annot, "V");
  return true;
}

void read_field(const Pdfium& pdf, FPDF_FORMHANDLE form, FPDF_ANNOTATION annot,
                const std::array<double, 4>& crop, bool upright, std::vector<PlacedRun>& runs) {
  bool multiline = false;
  std::u32string own;
  if (read_own_text_field(pdf, annot, multiline, own)) {
    Rect box{};
    if (own.empty() || !box_of(pdf, annot, crop, box)) return;
    const double size = field_size(own_size(pdf, annot), box.y1 - box.y0);
    append(runs, shown_lines(own, box, size, multiline, upright));
    return;
  }
  const Shows kind = shows(pdf.FPDFAnnot_GetFormFieldType(form, annot));
  Rect box{};
  if (kind == Shows::nothing || !box_of(pdf, annot, crop, box)) return;
  // The widget's own /DA: PDFium's FPDFAnnot_GetFontSize, like IsChecked,
  // answers only in a form view; a size inherited from the field's parent
  // or the form is not seen, and the value fits its box as for size 0.
  const double size = field_size(own_size(pdf, annot), box.y1 - box.y0);
  if (kind == Shows::mark) {
    if (checked(pdf, annot)) runs.push_back(checked_mark(box, size));
    return;
  }
  const std::u32string text =
      kind == Shows::choice ? chosen(pdf, form, annot)
                            : read_utf16([&](FPDF_WCHAR* buffer, unsigned long length) {
                                return pdf.FPDFAnnot_GetFormFieldValue(form, annot, buffer,
                                                                       length);
                              });
  if (text.empty()) return;
  multiline = kind == Shows::text &&
              (pdf.FPDFAnnot_GetFormFieldFlags(form, annot) & kPdfFieldMultiline);
  append(runs, shown_lines(text, box, size, multiline, upright));
}

}  // namespace

std::vector<PlacedRun> read_shown_runs(const Pdfium& pdf, FPDF_FORMHANDLE form, FPDF_PAGE page,
                                       const std::vector<TextAnnotation>& annotations,
                                       const std::array<double, 4>& crop, std::uint32_t rotation) {
  std::vector<PlacedRun> runs;
  const bool upright = rotation == 0;
  for (const auto& [index, subtype] : annotations) {
    if (subtype != kPdfAnnotFreeText && form == nullptr) continue;
    AnnotPtr annot(pdf.FPDFPage_GetAnnot(page, index), AnnotCloser{&pdf});
    if (!annot) continue;
    if (subtype == kPdfAnnotFreeText) {
      read_free_text(pdf, annot.get(), crop, upright, runs);
    } else {
      read_field(pdf, form, annot.get(), crop, upright, runs);
    }
  }
  return runs;
}

}  // namespace textloom
