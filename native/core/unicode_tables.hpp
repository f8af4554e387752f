// Layout of the generated Unicode property tables (unicode_tables.cpp, written
// by tools/gen_unicode_tables.py). Every code point has one property byte; the
// bytes are stored in blocks of 1 << kBlockShift code points, identical blocks
// once, and kBlockIndex gives each block's number. unicode.cpp reads them; the
// generated file checks these constants with static_asserts.
#pragma once

#include <cstdint>

namespace textloom::unicode_tables {

inline constexpr std::uint32_t kCodePointEnd = 0x110000;  // one past U+10FFFF
inline constexpr std::uint32_t kBlockShift = 7;

// Property byte: Bidi_Class in the low bits (BidiClass numbering), then flags.
inline constexpr std::uint8_t kBidiMask = 0x1F;
inline constexpr std::uint8_t kNonspacingMark = 0x20;  // General_Category Mn
inline constexpr std::uint8_t kAlphabetic = 0x40;      // Alphabetic property
inline constexpr std::uint8_t kNonPrintable = 0x80;    // Cc Cf Cs Co Cn Zl Zp, Zs but U+0020

extern const std::uint8_t kBlockIndex[kCodePointEnd >> kBlockShift];
extern const std::uint8_t kBlocks[];

// The property byte of `cp`; 0 (L, no flags) above U+10FFFF.
inline std::uint8_t properties(std::uint32_t cp) {
  if (cp >= kCodePointEnd) return 0;
  const std::uint32_t block = kBlockIndex[cp >> kBlockShift];
  return kBlocks[(block << kBlockShift) | (cp & ((1u << kBlockShift) - 1))];
}

}  // namespace textloom::unicode_tables
