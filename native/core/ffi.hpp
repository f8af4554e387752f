// The PDFium function table. The host has loaded and initialised PDFium
// already; we open the same shared library a second time by path (so both
// share one instance) and resolve the functions we call. This is the only file
// that knows PDFium's declarations; nothing here calls PDFium.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "result.hpp"

namespace textloom {

// Opaque PDFium handles.
struct FpdfDocument;
struct FpdfPage;
struct FpdfTextPage;
struct FpdfPageObject;
struct FpdfFont;
struct FpdfBitmap;
struct FpdfLink;
struct FpdfAction;
struct FpdfDest;
struct FpdfAnnotation;
struct FpdfPathSegment;
struct FpdfFormHandle;
using FPDF_DOCUMENT = FpdfDocument*;
using FPDF_PAGE = FpdfPage*;
using FPDF_TEXTPAGE = FpdfTextPage*;
using FPDF_PAGEOBJECT = FpdfPageObject*;
using FPDF_FONT = FpdfFont*;
using FPDF_BITMAP = FpdfBitmap*;
using FPDF_LINK = FpdfLink*;
using FPDF_ACTION = FpdfAction*;
using FPDF_DEST = FpdfDest*;
using FPDF_ANNOTATION = FpdfAnnotation*;
using FPDF_PATHSEGMENT = FpdfPathSegment*;
using FPDF_FORMHANDLE = FpdfFormHandle*;  // the document's form-fill environment
using FPDF_WCHAR = unsigned short;        // a UTF-16LE code unit
using FPDF_BOOL = int;  // non-zero for success

// FPDFAnnot_GetSubtype's values for the annotations whose text a viewer shows
// as part of the page: free text, and the widgets of form fields.
inline constexpr int kPdfAnnotFreeText = 3;
inline constexpr int kPdfAnnotWidget = 20;
inline constexpr int kPdfAnnotXfaWidget = 27;
// FPDFAnnot_GetFormFieldType's values (FPDF_FORMFIELD_*) for the fields whose
// value a viewer shows; builds with XFA add kinds from 8 on (_annotations.FIELD_TYPES).
inline constexpr int kPdfFieldCheckBox = 2, kPdfFieldRadio = 3, kPdfFieldCombo = 4,
                     kPdfFieldList = 5, kPdfFieldText = 6;
// FPDFAnnot_GetValueType's values: no such key, and the texts a /V may hold.
inline constexpr int kPdfObjectUnknown = 0;
inline constexpr int kPdfObjectString = 3;
inline constexpr int kPdfObjectStream = 7;
// Bit 13 of a text field's /Ff: the field holds several lines.
inline constexpr int kPdfFieldMultiline = 1 << 12;

// FPDFAction_GetType's values for the actions a link may lead by.
inline constexpr unsigned long kPdfActionGoTo = 1;
inline constexpr unsigned long kPdfActionUri = 3;

// FPDFPageObj_GetType's values for the objects whose lines tables are drawn
// with, and for images.
inline constexpr int kPdfObjectPath = 2;
inline constexpr int kPdfObjectImage = 3;
inline constexpr int kPdfObjectForm = 5;
// FPDFTextObj_GetTextRenderMode's mode for text that is neither filled nor stroked.
inline constexpr int kPdfTextRenderInvisible = 3;
// FPDFPathSegment_GetType's values.
inline constexpr int kPdfSegmentLineTo = 0;
inline constexpr int kPdfSegmentBezierTo = 1;
inline constexpr int kPdfSegmentMoveTo = 2;

struct FS_RECTF {
  float left;
  float top;
  float right;
  float bottom;
};

struct FS_MATRIX {
  float a, b, c, d, e, f;
};

// PDFium calls `NeedToPauseNow` during progressive rendering; `user` is ours.
struct IFSDK_PAUSE {
  int version;
  FPDF_BOOL (*NeedToPauseNow)(IFSDK_PAUSE* pause);
  void* user;
};

// Every function we resolve, in resolution order: X(name, return type, parameters).
// The first four are required of the library but never called by the module.
// The link and action functions read a page's links during extraction, the
// annotation functions count its free-text and widget annotations, and the
// page-object and path functions read its lines, thin rectangles and images after
// them, and the text objects' render modes come last, then the annotation and
// form-field getters that read what free text and filled fields show; the
// bitmap and rendering functions at the end serve page rendering.
#define TEXTLOOM_PDFIUM_FUNCTIONS(X)                                                   \
  X(FPDF_InitLibrary, void, ())                                                        \
  X(FPDF_LoadDocument, FPDF_DOCUMENT, (const char* path, const char* password))        \
  X(FPDF_CloseDocument, void, (FPDF_DOCUMENT doc))                                     \
  X(FPDF_GetPageCount, int, (FPDF_DOCUMENT doc))                                       \
  X(FPDF_LoadPage, FPDF_PAGE, (FPDF_DOCUMENT doc, int index))                          \
  X(FPDF_ClosePage, void, (FPDF_PAGE page))                                            \
  X(FPDFPage_GetRotation, int, (FPDF_PAGE page))                                       \
  X(FPDFPage_GetCropBox, FPDF_BOOL,                                                    \
    (FPDF_PAGE page, float* left, float* bottom, float* right, float* top))            \
  X(FPDFPage_GetMediaBox, FPDF_BOOL,                                                   \
    (FPDF_PAGE page, float* left, float* bottom, float* right, float* top))            \
  X(FPDF_GetPageBoundingBox, FPDF_BOOL, (FPDF_PAGE page, FS_RECTF * rect))             \
  X(FPDFText_LoadPage, FPDF_TEXTPAGE, (FPDF_PAGE page))                                \
  X(FPDFText_ClosePage, void, (FPDF_TEXTPAGE text_page))                               \
  X(FPDFText_CountChars, int, (FPDF_TEXTPAGE text_page))                               \
  X(FPDFText_GetUnicode, unsigned int, (FPDF_TEXTPAGE text_page, int index))           \
  X(FPDFText_IsGenerated, int, (FPDF_TEXTPAGE text_page, int index))                   \
  X(FPDFText_GetCharOrigin, FPDF_BOOL,                                                 \
    (FPDF_TEXTPAGE text_page, int index, double* x, double* y))                        \
  X(FPDFText_GetLooseCharBox, FPDF_BOOL,                                               \
    (FPDF_TEXTPAGE text_page, int index, FS_RECTF * rect))                             \
  X(FPDFText_GetTextObject, FPDF_PAGEOBJECT, (FPDF_TEXTPAGE text_page, int index))     \
  X(FPDFText_GetMatrix, FPDF_BOOL,                                                     \
    (FPDF_TEXTPAGE text_page, int index, FS_MATRIX * matrix))                          \
  X(FPDFText_GetFontSize, double, (FPDF_TEXTPAGE text_page, int index))                \
  X(FPDFText_GetFontInfo, unsigned long,                                               \
    (FPDF_TEXTPAGE text_page, int index, void* buffer, unsigned long length,           \
     int* flags))                                                                      \
  X(FPDFText_GetFillColor, FPDF_BOOL,                                                  \
    (FPDF_TEXTPAGE text_page, int index, unsigned int* r, unsigned int* g,             \
     unsigned int* b, unsigned int* a))                                                \
  X(FPDFTextObj_GetFontSize, FPDF_BOOL, (FPDF_PAGEOBJECT text_object, float* size))    \
  X(FPDFTextObj_GetFont, FPDF_FONT, (FPDF_PAGEOBJECT text_object))                     \
  X(FPDFFont_GetBaseFontName, std::size_t,                                             \
    (FPDF_FONT font, char* buffer, std::size_t length))                                \
  X(FPDFFont_GetFlags, int, (FPDF_FONT font))                                          \
  X(FPDFFont_GetWeight, int, (FPDF_FONT font))                                         \
  X(FPDFFont_GetAscent, FPDF_BOOL, (FPDF_FONT font, float font_size, float* ascent))   \
  X(FPDFFont_GetDescent, FPDF_BOOL, (FPDF_FONT font, float font_size, float* descent)) \
  X(FPDFFont_GetItalicAngle, FPDF_BOOL, (FPDF_FONT font, int* angle))                  \
  X(FPDFFont_GetIsEmbedded, int, (FPDF_FONT font))                                     \
  X(FPDFLink_Enumerate, FPDF_BOOL, (FPDF_PAGE page, int* start_pos, FPDF_LINK* link))   \
  X(FPDFLink_GetAnnotRect, FPDF_BOOL, (FPDF_LINK link, FS_RECTF * rect))               \
  X(FPDFLink_GetAction, FPDF_ACTION, (FPDF_LINK link))                                 \
  X(FPDFLink_GetDest, FPDF_DEST, (FPDF_DOCUMENT doc, FPDF_LINK link))                  \
  X(FPDFAction_GetType, unsigned long, (FPDF_ACTION action))                           \
  X(FPDFAction_GetURIPath, unsigned long,                                              \
    (FPDF_DOCUMENT doc, FPDF_ACTION action, void* buffer, unsigned long length))       \
  X(FPDFAction_GetDest, FPDF_DEST, (FPDF_DOCUMENT doc, FPDF_ACTION action))            \
  X(FPDFDest_GetDestPageIndex, int, (FPDF_DOCUMENT doc, FPDF_DEST dest))               \
  X(FPDFPage_GetAnnotCount, int, (FPDF_PAGE page))                                     \
  X(FPDFPage_GetAnnot, FPDF_ANNOTATION, (FPDF_PAGE page, int index))                   \
  X(FPDFAnnot_GetSubtype, int, (FPDF_ANNOTATION annot))                                \
  X(FPDFPage_CloseAnnot, void, (FPDF_ANNOTATION annot))                                \
  X(FPDFPage_CountObjects, int, (FPDF_PAGE page))                                      \
  X(FPDFPage_GetObject, FPDF_PAGEOBJECT, (FPDF_PAGE page, int index))                  \
  X(FPDFPageObj_GetType, int, (FPDF_PAGEOBJECT object))                                \
  X(FPDFPageObj_GetMatrix, FPDF_BOOL, (FPDF_PAGEOBJECT object, FS_MATRIX * matrix))    \
  X(FPDFPageObj_GetBounds, FPDF_BOOL,                                                  \
    (FPDF_PAGEOBJECT object, float* left, float* bottom, float* right, float* top))    \
  X(FPDFPageObj_GetStrokeWidth, FPDF_BOOL, (FPDF_PAGEOBJECT object, float* width))     \
  X(FPDFPageObj_GetStrokeColor, FPDF_BOOL,                                             \
    (FPDF_PAGEOBJECT object, unsigned int* r, unsigned int* g, unsigned int* b,        \
     unsigned int* a))                                                                 \
  X(FPDFPageObj_GetFillColor, FPDF_BOOL,                                               \
    (FPDF_PAGEOBJECT object, unsigned int* r, unsigned int* g, unsigned int* b,        \
     unsigned int* a))                                                                 \
  X(FPDFPath_GetDrawMode, FPDF_BOOL,                                                   \
    (FPDF_PAGEOBJECT path, int* fill_mode, FPDF_BOOL* stroke))                         \
  X(FPDFPath_CountSegments, int, (FPDF_PAGEOBJECT path))                               \
  X(FPDFPath_GetPathSegment, FPDF_PATHSEGMENT, (FPDF_PAGEOBJECT path, int index))      \
  X(FPDFPathSegment_GetPoint, FPDF_BOOL, (FPDF_PATHSEGMENT segment, float* x, float* y)) \
  X(FPDFPathSegment_GetType, int, (FPDF_PATHSEGMENT segment))                          \
  X(FPDFPathSegment_GetClose, FPDF_BOOL, (FPDF_PATHSEGMENT segment))                   \
  X(FPDFFormObj_CountObjects, int, (FPDF_PAGEOBJECT form))                             \
  X(FPDFFormObj_GetObject, FPDF_PAGEOBJECT, (FPDF_PAGEOBJECT form, unsigned long index)) \
  X(FPDFTextObj_GetTextRenderMode, int, (FPDF_PAGEOBJECT text))                       \
  X(FPDFAnnot_GetRect, FPDF_BOOL, (FPDF_ANNOTATION annot, FS_RECTF * rect))            \
  X(FPDFAnnot_GetStringValue, unsigned long,                                           \
    (FPDF_ANNOTATION annot, const char* key, FPDF_WCHAR* buffer, unsigned long length)) \
  X(FPDFAnnot_HasKey, FPDF_BOOL, (FPDF_ANNOTATION annot, const char* key))            \
  X(FPDFAnnot_GetValueType, int, (FPDF_ANNOTATION annot, const char* key))             \
  X(FPDFAnnot_GetNumberValue, FPDF_BOOL,                                               \
    (FPDF_ANNOTATION annot, const char* key, float* value))                            \
  X(FPDFAnnot_GetFormFieldType, int, (FPDF_FORMHANDLE form, FPDF_ANNOTATION annot))    \
  X(FPDFAnnot_GetFormFieldFlags, int, (FPDF_FORMHANDLE form, FPDF_ANNOTATION annot))   \
  X(FPDFAnnot_GetFormFieldValue, unsigned long,                                        \
    (FPDF_FORMHANDLE form, FPDF_ANNOTATION annot, FPDF_WCHAR* buffer,                  \
     unsigned long length))                                                            \
  X(FPDFAnnot_GetOptionCount, int, (FPDF_FORMHANDLE form, FPDF_ANNOTATION annot))      \
  X(FPDFAnnot_IsOptionSelected, FPDF_BOOL,                                             \
    (FPDF_FORMHANDLE form, FPDF_ANNOTATION annot, int index))                          \
  X(FPDFAnnot_GetOptionLabel, unsigned long,                                           \
    (FPDF_FORMHANDLE form, FPDF_ANNOTATION annot, int index, FPDF_WCHAR* buffer,       \
     unsigned long length))                                                            \
  X(FPDFBitmap_CreateEx, FPDF_BITMAP,                                                  \
    (int width, int height, int format, void* first_scan, int stride))                 \
  X(FPDFBitmap_Destroy, void, (FPDF_BITMAP bitmap))                                    \
  X(FPDFBitmap_FillRect, FPDF_BOOL,                                                    \
    (FPDF_BITMAP bitmap, int left, int top, int width, int height,                     \
     unsigned long color))                                                             \
  X(FPDF_RenderPageBitmap, void,                                                       \
    (FPDF_BITMAP bitmap, FPDF_PAGE page, int start_x, int start_y, int size_x,         \
     int size_y, int rotate, int flags))                                               \
  X(FPDF_RenderPageBitmap_Start, int,                                                  \
    (FPDF_BITMAP bitmap, FPDF_PAGE page, int start_x, int start_y, int size_x,         \
     int size_y, int rotate, int flags, IFSDK_PAUSE* pause))                           \
  X(FPDF_RenderPage_Continue, int, (FPDF_PAGE page, IFSDK_PAUSE * pause))              \
  X(FPDF_RenderPage_Close, void, (FPDF_PAGE page))

// The table: one function pointer per name above, plus the library handle
// (null in tables that tests fill with stand-in functions).
struct Pdfium {
#define TEXTLOOM_PDFIUM_FIELD(name, ret, params) ret(*name) params = nullptr;
  TEXTLOOM_PDFIUM_FUNCTIONS(TEXTLOOM_PDFIUM_FIELD)
#undef TEXTLOOM_PDFIUM_FIELD
  void* library = nullptr;  // dlopen handle
};

// Owners of an open page, text page and bitmap, and of a progressive render
// in progress (which ends it), each released through the table that opened
// it (which outlives them).
struct PageCloser {
  const Pdfium* pdf;
  void operator()(FpdfPage* page) const { pdf->FPDF_ClosePage(page); }
};
struct TextPageCloser {
  const Pdfium* pdf;
  void operator()(FpdfTextPage* text_page) const { pdf->FPDFText_ClosePage(text_page); }
};
struct BitmapDestroyer {
  const Pdfium* pdf;
  void operator()(FpdfBitmap* bitmap) const { pdf->FPDFBitmap_Destroy(bitmap); }
};
struct ProgressiveCloser {
  const Pdfium* pdf;
  void operator()(FpdfPage* page) const { pdf->FPDF_RenderPage_Close(page); }
};
using PagePtr = std::unique_ptr<FpdfPage, PageCloser>;
using TextPagePtr = std::unique_ptr<FpdfTextPage, TextPageCloser>;
using BitmapPtr = std::unique_ptr<FpdfBitmap, BitmapDestroyer>;
using ProgressiveRender = std::unique_ptr<FpdfPage, ProgressiveCloser>;

// Opens the library at `path` and resolves every function, in order.
// Errors: "cannot load <path>: <reason>", "missing symbol <name>: <reason>";
// on failure nothing stays open. The caller owns the returned handle.
Result<Pdfium> open_pdfium(std::string_view path);

// Closes the library handle of a table from open_pdfium.
void close_pdfium(Pdfium& table);

// Fills the process-wide table on the first success; later calls succeed at
// once and ignore `path`. Concurrent first callers wait for each other. The
// stored table is never released.
Result<const Pdfium*> load_pdfium(std::string_view path);

// The process-wide table, or null before the first successful load_pdfium.
const Pdfium* loaded_pdfium();

}  // namespace textloom
