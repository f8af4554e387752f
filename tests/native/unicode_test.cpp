// The property lookups over the generated tables, across the planes and past
// U+10FFFF. (tests/python/test_unicode_tables.py checks every code point of
// the tables themselves against the Unicode Character Database.)

#include "unicode.hpp"

#include <gtest/gtest.h>

namespace textloom {
namespace {

TEST(Unicode, BidiClass) {
  using B = BidiClass;
  for (const auto& [cp, cls] : {std::pair{0x41u, B::L}, {0x30u, B::EN}, {0x2Bu, B::ES}, {0x24u, B::ET},
                                {0x2Cu, B::CS}, {0x20u, B::WS}, {0x0Au, B::B}, {0x09u, B::S},
                                {0x21u, B::ON}, {0xADu, B::BN}, {0x301u, B::NSM}, {0x5D0u, B::R},
                                {0x627u, B::AL}, {0x660u, B::AN}, {0x6F0u, B::EN}, {0x202Au, B::LRE},
                                {0x202Du, B::LRO}, {0x202Bu, B::RLE}, {0x202Eu, B::RLO},
                                {0x202Cu, B::PDF}, {0x2066u, B::LRI}, {0x2067u, B::RLI},
                                {0x2068u, B::FSI}, {0x2069u, B::PDI},
                                // Unlisted code points in right-to-left blocks are L.
                                {0x5C8u, B::L}, {0x7FBu, B::L}, {0x10800u, B::R}, {0x1EE00u, B::AL},
                                {0x1F100u, B::EN}, {0xE0100u, B::NSM}, {0x10FFFDu, B::L},
                                {0x10FFFFu, B::BN}, {0x110000u, B::L}, {0xFFFFFFFFu, B::L}}) {
    EXPECT_EQ(static_cast<int>(bidi_class(cp)), static_cast<int>(cls)) << std::hex << cp;
  }
}

TEST(Unicode, RightToLeftNeedsRorAL) {
  for (std::uint32_t cp : {0x5D0u, 0x627u, 0x10800u}) EXPECT_TRUE(is_rtl(cp)) << std::hex << cp;
  for (std::uint32_t cp : {0x660u, 0x591u, 0x41u}) EXPECT_FALSE(is_rtl(cp)) << std::hex << cp;
}

// Code point, then Mn, Alphabetic and non-printable.
TEST(Unicode, Flags) {
  struct Row {
    std::uint32_t cp;
    bool mn, alphabetic, non_printable;
  };
  for (const Row& r : {Row{0x41, false, true, false}, {0x31, false, false, false},
                       {0x20, false, false, false}, {0xA0, false, false, true},
                       {0x7F, false, false, true}, {0xAD, false, false, true},
                       {0x2028, false, false, true}, {0xD800, false, false, true},
                       {0xDFFF, false, false, true}, {0xE000, false, false, true},
                       {0x378, false, false, true}, {0xAA, false, true, false},
                       {0xD7, false, false, false}, {0x301, true, false, false},
                       {0x345, true, true, false}, {0x903, false, true, false},
                       {0x4DBF, false, true, false}, {0x4DC0, false, false, false},
                       {0xD7A3, false, true, false}, {0xD7A4, false, false, true},
                       {0x1D167, true, false, false}, {0x1F600, false, false, false},
                       {0x31350, false, true, false}, {0x40000, false, false, true},
                       {0xE0100, true, false, false}, {0x10FFFD, false, false, true},
                       {0x110000, false, false, false}, {0xFFFFFFFF, false, false, false}}) {
    EXPECT_EQ(is_nonspacing_mark(r.cp), r.mn) << std::hex << r.cp;
    EXPECT_EQ(is_alphabetic(r.cp), r.alphabetic) << std::hex << r.cp;
    EXPECT_EQ(is_non_printable(r.cp), r.non_printable) << std::hex << r.cp;
  }
}

}  // namespace
}  // namespace textloom
