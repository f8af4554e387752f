// What a C++ program needs to play the host: open libpdfium by path,
// initialise it and open documents, with the functions the module itself never
// calls looked up on their own. Used by glyph_dump and the C++ benchmarks.
#pragma once

#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "ffi.hpp"

namespace textloom::host {

struct PdfiumHost {
  Pdfium table;
  void (*init_library)() = nullptr;
  FPDF_DOCUMENT (*load_document)(const char* path, const char* password) = nullptr;
  void (*close_document)(FPDF_DOCUMENT doc) = nullptr;
};

// Opens and initialises PDFium; prints the reason and returns false on failure.
inline bool open_host(const char* library_path, PdfiumHost& host) {
  Result<Pdfium> table = open_pdfium(library_path);
  if (!table) {
    std::fprintf(stderr, "%s\n", table.error().c_str());
    return false;
  }
  host.table = std::move(table).value();
  host.init_library = reinterpret_cast<void (*)()>(dlsym(host.table.library, "FPDF_InitLibrary"));
  host.load_document = reinterpret_cast<FPDF_DOCUMENT (*)(const char*, const char*)>(
      dlsym(host.table.library, "FPDF_LoadDocument"));
  host.close_document =
      reinterpret_cast<void (*)(FPDF_DOCUMENT)>(dlsym(host.table.library, "FPDF_CloseDocument"));
  if (!host.init_library || !host.load_document || !host.close_document) {
    std::fprintf(stderr, "libpdfium lacks the document functions\n");
    return false;
  }
  host.init_library();
  return true;
}

// Opens PDFium and the document at `pdf_path`; prints the reason and returns
// null on failure.
inline FPDF_DOCUMENT open_host_document(const char* library_path, const char* pdf_path,
                                        PdfiumHost& host) {
  if (!open_host(library_path, host)) return nullptr;
  FPDF_DOCUMENT doc = host.load_document(pdf_path, nullptr);
  if (doc == nullptr) std::fprintf(stderr, "cannot open %s\n", pdf_path);
  return doc;
}

}  // namespace textloom::host
