// What a C++ program needs to play the host: open libpdfium by path through
// the module's own function table, initialise it and open documents. Used by
// glyph_dump and the C++ benchmarks.
#pragma once

#include <cstdio>
#include <memory>
#include <utility>

#include "ffi.hpp"

namespace textloom::host {

// Owner of an open document, closed through the table that opened it.
struct DocumentCloser {
  const Pdfium* pdf;
  void operator()(FpdfDocument* doc) const { pdf->FPDF_CloseDocument(doc); }
};
using DocumentPtr = std::unique_ptr<FpdfDocument, DocumentCloser>;

// Opens and initialises the PDFium at `library_path` into `pdf`, then opens
// the document at `pdf_path`; prints the reason and returns null on failure.
// `pdf` must outlive the document.
inline DocumentPtr open_document(const char* library_path, const char* pdf_path, Pdfium& pdf) {
  Result<Pdfium> table = open_pdfium(library_path);
  if (!table) {
    std::fprintf(stderr, "%s\n", table.error().c_str());
    return DocumentPtr(nullptr, DocumentCloser{&pdf});
  }
  pdf = std::move(table).value();
  pdf.FPDF_InitLibrary();
  DocumentPtr doc(pdf.FPDF_LoadDocument(pdf_path, nullptr), DocumentCloser{&pdf});
  if (!doc) std::fprintf(stderr, "cannot open %s\n", pdf_path);
  return doc;
}

}  // namespace textloom::host
