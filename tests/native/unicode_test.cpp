// Known Unicode properties across the planes, read through the generated tables.

#include "unicode.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace textloom {
namespace {

// Test names carry the code point, e.g. U05D0.
template <class Case>
std::string cp_name(const ::testing::TestParamInfo<Case>& info) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U%04X", static_cast<unsigned>(info.param.cp));
  return buf;
}

struct BidiCase {
  std::uint32_t cp;
  BidiClass cls;
};

class Bidi : public ::testing::TestWithParam<BidiCase> {};

TEST_P(Bidi, Class) {
  const BidiCase& c = GetParam();
  EXPECT_EQ(static_cast<int>(bidi_class(c.cp)), static_cast<int>(c.cls)) << std::hex << c.cp;
}

INSTANTIATE_TEST_SUITE_P(
    Planes, Bidi,
    ::testing::Values(
        BidiCase{0x0041, BidiClass::L}, BidiCase{0x0030, BidiClass::EN},
        BidiCase{0x0039, BidiClass::EN}, BidiCase{0x002B, BidiClass::ES},
        BidiCase{0x0024, BidiClass::ET}, BidiCase{0x002C, BidiClass::CS},
        BidiCase{0x0020, BidiClass::WS}, BidiCase{0x000A, BidiClass::B},
        BidiCase{0x0009, BidiClass::S}, BidiCase{0x0021, BidiClass::ON},
        BidiCase{0x0000, BidiClass::BN}, BidiCase{0x00AD, BidiClass::BN},
        BidiCase{0x0301, BidiClass::NSM},
        // Hebrew letters R, Arabic letters AL, Arabic-Indic digits AN.
        BidiCase{0x05D0, BidiClass::R}, BidiCase{0x05EA, BidiClass::R},
        BidiCase{0x0627, BidiClass::AL}, BidiCase{0x06FF, BidiClass::AL},
        BidiCase{0x0660, BidiClass::AN}, BidiCase{0x0669, BidiClass::AN},
        BidiCase{0x06F0, BidiClass::EN},  // extended Arabic-Indic digits are European
        BidiCase{0x20AC, BidiClass::ET},
        // The explicit formatting characters, each its own class.
        BidiCase{0x202A, BidiClass::LRE}, BidiCase{0x202D, BidiClass::LRO},
        BidiCase{0x202B, BidiClass::RLE}, BidiCase{0x202E, BidiClass::RLO},
        BidiCase{0x202C, BidiClass::PDF}, BidiCase{0x2066, BidiClass::LRI},
        BidiCase{0x2067, BidiClass::RLI}, BidiCase{0x2068, BidiClass::FSI},
        BidiCase{0x2069, BidiClass::PDI},
        // Unassigned code points inside right-to-left blocks are not listed, so L.
        BidiCase{0x05C8, BidiClass::L}, BidiCase{0x07FB, BidiClass::L},
        BidiCase{0x2065, BidiClass::BN},  // unassigned but listed explicitly
        BidiCase{0xFB1D, BidiClass::R}, BidiCase{0xFEFF, BidiClass::BN},
        // Supplementary planes.
        BidiCase{0x10800, BidiClass::R}, BidiCase{0x1E900, BidiClass::R},
        BidiCase{0x1EE00, BidiClass::AL}, BidiCase{0x1F100, BidiClass::EN},
        BidiCase{0x20000, BidiClass::L}, BidiCase{0x323AF, BidiClass::L},
        BidiCase{0xE0001, BidiClass::BN}, BidiCase{0xE0100, BidiClass::NSM},
        BidiCase{0xF0000, BidiClass::L}, BidiCase{0x10FFFD, BidiClass::L},
        BidiCase{0x10FFFF, BidiClass::BN},
        // Not code points.
        BidiCase{0x110000, BidiClass::L}, BidiCase{0xFFFFFFFF, BidiClass::L}),
    cp_name<BidiCase>);

TEST(Rtl, NeedsRightToLeftClassAtOrAboveHebrew) {
  EXPECT_TRUE(is_rtl(0x05D0));
  EXPECT_TRUE(is_rtl(0x0627));
  EXPECT_TRUE(is_rtl(0x10800));
  EXPECT_FALSE(is_rtl(0x0660));  // AN is not right-to-left here
  EXPECT_FALSE(is_rtl(0x0591));  // a Hebrew accent is NSM
  EXPECT_FALSE(is_rtl(0x0041));
}

struct FlagCase {
  std::uint32_t cp;
  bool mn;
  bool alphabetic;
  bool non_printable;
};

class Flags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(Flags, Properties) {
  const FlagCase& c = GetParam();
  EXPECT_EQ(is_nonspacing_mark(c.cp), c.mn) << std::hex << c.cp;
  EXPECT_EQ(is_alphabetic(c.cp), c.alphabetic) << std::hex << c.cp;
  EXPECT_EQ(is_non_printable(c.cp), c.non_printable) << std::hex << c.cp;
}

INSTANTIATE_TEST_SUITE_P(
    Planes, Flags,
    ::testing::Values(
        FlagCase{0x0041, false, true, false}, FlagCase{0x0031, false, false, false},
        FlagCase{0x0020, false, false, false},  // the one printable space
        FlagCase{0x00A0, false, false, true},   // Zs
        FlagCase{0x3000, false, false, true},   // Zs
        FlagCase{0x0000, false, false, true},   // Cc
        FlagCase{0x007F, false, false, true},   // Cc
        FlagCase{0x00AD, false, false, true},   // Cf
        FlagCase{0x2028, false, false, true},   // Zl
        FlagCase{0x2029, false, false, true},   // Zp
        FlagCase{0xD800, false, false, true},   // Cs, first of a UnicodeData range
        FlagCase{0xDFFF, false, false, true},   // Cs, last of a range
        FlagCase{0xE000, false, false, true},   // Co
        FlagCase{0x0378, false, false, true},   // Cn: unassigned
        FlagCase{0xFFFF, false, false, true},   // Cn: noncharacter
        FlagCase{0x00AA, false, true, false},   // feminine ordinal: Lo
        FlagCase{0x00B5, false, true, false},   // micro sign
        FlagCase{0x00F6, false, true, false},   // o with diaeresis
        FlagCase{0x00D7, false, false, false},  // multiplication sign
        FlagCase{0x0301, true, false, false},   // combining acute: Mn, not Other_Alphabetic
        FlagCase{0x0345, true, true, false},    // ypogegrammeni: Mn and Alphabetic
        FlagCase{0x0903, false, true, false},   // Devanagari visarga: Mc, not Mn
        FlagCase{0x05D0, false, true, false},
        FlagCase{0x0660, false, false, false},  // Arabic-Indic digit zero: Nd
        FlagCase{0x2160, false, true, false},   // Roman numeral one: Nl
        FlagCase{0x3400, false, true, false},   // CJK Extension A, range start
        FlagCase{0x4DBF, false, true, false},   // CJK Extension A, range end
        FlagCase{0x4DC0, false, false, false},  // hexagram symbol right after it
        FlagCase{0xAC00, false, true, false},   // Hangul syllables range
        FlagCase{0xD7A3, false, true, false},
        FlagCase{0xD7A4, false, false, true},   // unassigned after the range
        FlagCase{0x1D167, true, false, false},  // musical combining mark: Mn
        FlagCase{0x1F600, false, false, false},  // emoji: So
        FlagCase{0x2EBE0, false, true, false},  // CJK Extension F, range end
        FlagCase{0x31350, false, true, false},  // CJK Extension H, new in 15.0
        FlagCase{0x40000, false, false, true},  // unassigned plane 4
        FlagCase{0xE0001, false, false, true},  // language tag: Cf
        FlagCase{0xE0100, true, false, false},  // variation selector: Mn
        FlagCase{0xF0000, false, false, true},  // plane 15 private use
        FlagCase{0x10FFFD, false, false, true},  // plane 16 private use, range end
        FlagCase{0x110000, false, false, false},
        FlagCase{0xFFFFFFFF, false, false, false}),
    cp_name<FlagCase>);

}  // namespace
}  // namespace textloom
