// UTF-8 encoding of scalars and the one decoder of possibly ill-formed bytes.

#include "utf8.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace textloom {
namespace {

// Every length; non-scalars become U+FFFD.
TEST(AppendUtf8, EncodesEveryLength) {
  std::string out;
  for (std::uint32_t cp : {0x41u, 0xE9u, 0x20ACu, 0x1F600u, 0xD800u, 0x110000u}) append_utf8(out, cp);
  EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");
}

// utf8_size reserves what append_utf8 writes, at every length boundary and
// for the non-scalars it replaces.
TEST(Utf8Size, MatchesTheEncoding) {
  for (std::uint32_t cp : {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD800u, 0xDFFFu, 0xFFFFu,
                           0x10000u, 0x10FFFFu, 0x110000u, 0xFFFFFFFFu}) {
    std::string out;
    append_utf8(out, cp);
    EXPECT_EQ(utf8_size(cp), out.size()) << std::hex << cp;
  }
}

// code_points shares the decoder: one U+FFFD per maximal ill-formed subpart.
TEST(CodePoints, DecodeWithTheSameRule) {
  EXPECT_EQ(code_points("a\xC3\xA9\xE2\x82" "b\xF0\x9F\x98\x80\xFF"),
            (std::u32string{U'a', 0xE9, 0xFFFD, U'b', 0x1F600, 0xFFFD}));
  EXPECT_TRUE(code_points("").empty());
}

// Each maximal ill-formed subpart becomes one U+FFFD.
#define R "\xEF\xBF\xBD"
TEST(Utf8Lossy, ReplacesMaximalInvalidSubparts) {
  for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
           {"plain", "plain"}, {"caf\xC3\xA9", "caf\xC3\xA9"}, {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
           {"a\xFF" "b", "a" R "b"},
           {"\xF0\x9F\x98", R},              // cut short at the end: one
           {"\xE2\x82" "A", R "A"},           // one subpart, one U+FFFD
           {"\xC0\xAF", R R},                 // overlong lead is invalid
           {"\xE0\x80\x80", R R R},          // overlong 3-byte form
           {"\xED\xA0\x80", R R R},          // encoded surrogate
           {"\xF4\x90\x80\x80", R R R R},   // above U+10FFFF
           {"\x80", R}}) {
    EXPECT_EQ(utf8_lossy(in), out) << ::testing::PrintToString(in);
  }
}
#undef R

}  // namespace
}  // namespace textloom
