// Unicode character properties the layout and output stages need, looked up in
// generated two-stage tables (unicode_tables.cpp, made by tools/gen_unicode_tables.py).
#pragma once

#include <cstdint>

namespace textloom {

// Bidi_Class values (UAX #9). A code point the data does not list is L.
enum class BidiClass : std::uint8_t {
  L, R, AL, EN, ES, ET, AN, CS, NSM, BN, B, S, WS, ON, LRE, LRO, RLE, RLO, PDF, LRI, RLI, FSI, PDI,
};

BidiClass bidi_class(std::uint32_t cp);

// General_Category is Mn (nonspacing mark).
bool is_nonspacing_mark(std::uint32_t cp);

// The Alphabetic derived property; in ASCII, the 52 letters, told without the
// table lookup (layout asks it of every char).
bool is_alphabetic_in_table(std::uint32_t cp);
inline bool is_alphabetic(std::uint32_t cp) {
  return cp < 0x80 ? ((cp | 0x20u) - 'a') < 26u : is_alphabetic_in_table(cp);
}

// Not printable when quoting a string for an error message: General_Category
// Cc, Cf, Cs, Co, Cn, Zl, Zp, or Zs other than U+0020.
bool is_non_printable(std::uint32_t cp);

// Right-to-left for layout: at least U+0590 with class R or AL.
inline bool is_rtl(std::uint32_t cp) {
  if (cp < 0x590) return false;
  const BidiClass c = bidi_class(cp);
  return c == BidiClass::R || c == BidiClass::AL;
}

}  // namespace textloom
