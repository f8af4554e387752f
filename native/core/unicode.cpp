// Unicode property lookups over the generated tables: one table read per call.

#include "unicode.hpp"

#include "unicode_tables.hpp"

namespace textloom {

using unicode_tables::properties;

BidiClass bidi_class(std::uint32_t cp) {
  return static_cast<BidiClass>(properties(cp) & unicode_tables::kBidiMask);
}

bool is_nonspacing_mark(std::uint32_t cp) {
  return (properties(cp) & unicode_tables::kNonspacingMark) != 0;
}

bool is_alphabetic_in_table(std::uint32_t cp) {
  return (properties(cp) & unicode_tables::kAlphabetic) != 0;
}

bool is_non_printable(std::uint32_t cp) {
  return (properties(cp) & unicode_tables::kNonPrintable) != 0;
}

}  // namespace textloom
