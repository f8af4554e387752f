// The property lookups over the generated tables: a range in every kind of
// table, the higher planes and past U+10FFFF. (tests/python/test_unicode_tables.py
// checks every code point of the tables themselves against the Unicode
// Character Database.)

#include "unicode.hpp"

#include <gtest/gtest.h>

namespace textloom {
namespace {

TEST(Unicode, BidiClass) {
  using B = BidiClass;
  for (const auto& [cp, cls] : {std::pair{0x41u, B::L}, {0x30u, B::EN}, {0x5D0u, B::R}, {0x627u, B::AL},
                                {0x660u, B::AN}, {0x301u, B::NSM}, {0x202Eu, B::RLO},
                                {0x5C8u, B::L}, {0x10800u, B::R}, {0x1EE00u, B::AL},
                                {0xE0100u, B::NSM}, {0x10FFFDu, B::L}, {0x10FFFFu, B::BN},
                                {0x110000u, B::L}, {0xFFFFFFFFu, B::L}}) {
    EXPECT_EQ(static_cast<int>(bidi_class(cp)), static_cast<int>(cls)) << std::hex << cp;
    EXPECT_EQ(is_rtl(cp), cls == B::R || cls == B::AL) << std::hex << cp;  // AN and NSM are not
  }
}

// Code point, then Mn, Alphabetic and non-printable.
TEST(Unicode, Flags) {
  struct Row {
    std::uint32_t cp;
    bool mn, alphabetic, non_printable;
  };
  for (const Row& r : {Row{0x41, false, true, false}, {0x20, false, false, false},
                       {0xA0, false, false, true}, {0xD800, false, false, true},
                       {0x301, true, false, false}, {0x345, true, true, false},
                       {0x4DBF, false, true, false}, {0x4DC0, false, false, false},
                       {0x1D167, true, false, false}, {0x31350, false, true, false},
                       {0x40000, false, false, true}, {0xE0100, true, false, false},
                       {0x10FFFD, false, false, true}, {0x110000, false, false, false},
                       {0xFFFFFFFF, false, false, false}}) {
    EXPECT_EQ(is_nonspacing_mark(r.cp), r.mn) << std::hex << r.cp;
    EXPECT_EQ(is_alphabetic(r.cp), r.alphabetic) << std::hex << r.cp;
    EXPECT_EQ(is_non_printable(r.cp), r.non_printable) << std::hex << r.cp;
  }
}

}  // namespace
}  // namespace textloom
