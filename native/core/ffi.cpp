// Loading PDFium by path into the function table, and the process-wide slot.

#include "ffi.hpp"

#include <dlfcn.h>

#include <atomic>
#include <mutex>
#include <string>

namespace textloom {

namespace {

std::string loader_message(const char* fallback) {
  const char* reason = dlerror();
  return reason != nullptr ? std::string(reason) : std::string(fallback);
}

std::mutex slot_mutex;
std::atomic<const Pdfium*> slot{nullptr};

}  // namespace

Result<Pdfium> open_pdfium(std::string_view path) {
  const std::string path_text(path);
  if (path_text.find('\0') != std::string::npos) {
    return Error{"cannot load " + path_text + ": could not create a C string from bytes"};
  }
  dlerror();
  Pdfium table;
  table.library = dlopen(path_text.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (table.library == nullptr) {
    return Error{"cannot load " + path_text + ": " +
                 loader_message("dlopen failed, but system did not report the error")};
  }
  // A symbol's value may legitimately be null only for data symbols, never
  // for functions, so null counts as missing.
#define TEXTLOOM_RESOLVE(name, ret, params)                                          \
  {                                                                                  \
    dlerror();                                                                       \
    void* symbol = dlsym(table.library, #name);                                      \
    if (symbol == nullptr) {                                                         \
      std::string message = "missing symbol " #name ": " +                           \
          loader_message("dlsym failed, but system did not report the error");       \
      close_pdfium(table);                                                           \
      return Error{std::move(message)};                                              \
    }                                                                                \
    table.name = reinterpret_cast<ret(*) params>(symbol);                            \
  }
  TEXTLOOM_PDFIUM_FUNCTIONS(TEXTLOOM_RESOLVE)
#undef TEXTLOOM_RESOLVE
  return table;
}

void close_pdfium(Pdfium& table) {
  if (table.library != nullptr) dlclose(table.library);
  table = Pdfium{};
}

Result<const Pdfium*> load_pdfium(std::string_view path) {
  if (const Pdfium* table = slot.load(std::memory_order_acquire)) return table;
  std::lock_guard<std::mutex> lock(slot_mutex);
  if (const Pdfium* table = slot.load(std::memory_order_acquire)) return table;
  Result<Pdfium> opened = open_pdfium(path);
  if (!opened) return Error{opened.error()};
  // Deliberately never freed: the table lives for the process.
  const Pdfium* table = new Pdfium(std::move(opened).value());
  slot.store(table, std::memory_order_release);
  return table;
}

const Pdfium* loaded_pdfium() { return slot.load(std::memory_order_acquire); }

}  // namespace textloom
