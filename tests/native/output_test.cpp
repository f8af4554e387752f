// Block text, de-hyphenation, the rotated-view transform and word splitting,
// on hand-built lines and blocks.

#include "output.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "glyph_builder.hpp"

namespace textloom {
namespace {

using fixtures::block_of;
using fixtures::box;
using fixtures::Box;
using fixtures::line_of;
using Strings = std::vector<std::string>;
using Numbers = std::array<std::uint64_t, 3>;  // block_no, line_no, word_no

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const Xf kNoRotation{600, 800, 0, false};

Strings texts(const std::vector<Word>& ws) {
  Strings out;
  for (const Word& w : ws) out.push_back(w.text);
  return out;
}
Box box(const Word& w) { return {w.x0, w.y0, w.x1, w.y1}; }
Numbers numbers(const Word& w) { return {w.block_no, w.line_no, w.word_no}; }

// Lines end in line feeds, chars in UTF-8. Block texts of blocks in a row are
// joined for "text": a block's last line keeps hyphen and line feed, or the
// cut word would glue to the next block. Which line ends join is
// ends_hyphenated's rule, checked on its own below.
TEST(BlockText, DehyphenatesAllButTheLastLine) {
  using Texts = std::vector<std::u32string_view>;
  for (const auto& [lines, text] : std::vector<std::pair<Texts, std::string>>{
           {{}, ""}, {{U"\u00e9\u05d0\u4e2d\U0001D11E", U" x"}, "\xC3\xA9\xD7\x90\xE4\xB8\xAD\xF0\x9D\x84\x9E\n x\n"},
           {{U"see the exam-"}, "see the exam-\n"}, {{U"ab-", U"cd-"}, "abcd-\n"},
           {{U"ab-", U"cd-", U"ef"}, "abcdef\n"}, {{U"3-", U"x"}, "3-\nx\n"}, {{U"", U"x"}, "\nx\n"}}) {
    Block b;
    for (std::u32string_view t : lines) b.lines.push_back(line_of(t));
    EXPECT_EQ(block_text(b.lines, true), text);
  }
}

// En dash, U+2010, U+00A9 (just below the first letter tested), U+00AA, o
// umlaut, multiplication sign, alef, Arabic-Indic zero, CJK, Linear B (4 bytes),
// a combining acute; malformed bytes and an overlong 'A' are no letter.
TEST(EndsHyphenated, LastTwoChars) {
  for (const auto& [text, hyphenated] : std::vector<std::pair<std::string_view, bool>>{
           {"a-", true}, {"Z-", true}, {"", false}, {"-", false}, {"ab", false}, {"--", false},
           {"9-", false}, {"a -", false}, {"@-", false}, {"[-", false}, {"a\xE2\x80\x93", false},
           {"a\xE2\x80\x90", false}, {"\xC2\xA9-", false}, {"\xC2\xAA-", true}, {"\xC3\xB6-", true},
           {"\xC3\x97-", false}, {"\xD7\x90-", true}, {"\xD9\xA0-", false}, {"\xE4\xB8\xAD-", true},
           {"\xF0\x90\x80\x80-", true}, {"a\xCC\x81-", false}, {"\x80-", false}, {"\xC3-", false},
           {"a\xB6-", false}, {"\xC1\x81-", false}, {"\xF0\xF0\x90\x80\x80-", true}}) {
    EXPECT_EQ(ends_hyphenated(text), hyphenated) << ::testing::PrintToString(std::string(text));
  }
}

// Boxes on a 600 x 800 page: untouched unless rotated (and then normalised);
// a NaN corner coordinate yields to the other corner's; all NaN stays NaN.
TEST(XfRc, MapsAndNormalises) {
  for (const auto& [rotation, rotated, in, out] : std::vector<std::tuple<std::uint32_t, bool, Rect, Box>>{
           {90, false, {30, 40, 10, 20}, {30, 40, 10, 20}}, {0, true, {30, 40, 10, 20}, {30, 40, 10, 20}},
           {90, true, {10, 20, 30, 40}, {760, 10, 780, 30}}, {180, true, {10, 20, 30, 40}, {570, 760, 590, 780}},
           {270, true, {10, 20, 30, 40}, {20, 570, 40, 590}}, {90, true, {30, 40, 10, 20}, {760, 10, 780, 30}},
           {90, true, {kNaN, 20, 30, 40}, {760, 30, 780, 30}},
           {180, true, {10, kNaN, 30, 40}, {570, 760, 590, 760}}}) {
    EXPECT_EQ(box(Xf{600, 800, rotation, rotated}.rc(in)), out) << rotation << rotated;
  }
  const Rect r = Xf{600, 800, 270, true}.rc({kNaN, kNaN, kNaN, kNaN});
  EXPECT_TRUE(std::isnan(r.x0) && std::isnan(r.y0) && std::isnan(r.x1) && std::isnan(r.y1));
}

// The point (10, 20) and the direction (1, 2) mapped; a direction maps like
// the difference of two mapped points; without the rotated view nothing moves.
TEST(XfPoint, PointsAndVectors) {
  for (const auto& [rotation, rotated, want] :
       {std::tuple{0u, true, Box{10, 20, 1, 2}}, {90u, true, Box{780, 10, -2, 1}},
        {180u, true, Box{590, 780, -1, -2}}, {270u, true, Box{20, 590, 2, -1}},
        {90u, false, Box{10, 20, 1, 2}}}) {
    const Xf xf{600, 800, rotation, rotated};
    double x = 10, y = 20, dx = 1, dy = 2, bx = 11, by = 22;
    xf.point(x, y);
    xf.vector(dx, dy);
    xf.point(bx, by);
    EXPECT_EQ(Box({x, y, dx, dy}), want) << rotation;
    EXPECT_EQ(std::pair(bx - x, by - y), std::pair(dx, dy)) << rotation;
  }
}

TEST(Words, NumbersAndBoxes) {
  EXPECT_TRUE(words({}, kNoRotation, true, ",").empty());
  EXPECT_TRUE(words({block_of({U"", U"   "})}, kNoRotation, true, "").empty());
  // "ab" covers chars 2 and 3; "cd" chars 6 and 7; separator-only lines keep their number.
  const std::vector<Word> ws = words({block_of({U"  ab  cd ", U"e", U" \u00a0\t", U"", U"f g"}, 7),
                                      block_of({U"h"}, 8)},
                                     kNoRotation, false, "");
  ASSERT_EQ(texts(ws), (Strings{"ab", "cd", "e", "f", "g", "h"}));
  EXPECT_EQ(box(ws[0]), Box({20, 0, 38, 10}));
  EXPECT_EQ(box(ws[1]), Box({60, 0, 78, 10}));
  EXPECT_EQ(box(ws[2]), Box({0, 20, 8, 30}));
  const std::vector<Numbers> want = {{7, 0, 0}, {7, 0, 1}, {7, 1, 0}, {7, 4, 0}, {7, 4, 1}, {8, 0, 0}};
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(numbers(ws[i]), want[i]) << i;
}

TEST(Words, FixedSetOfSeparators) {
  for (char32_t ch : {0x09, 0x0A, 0x0D, 0x20, 0xA0, 0x2000, 0x2005, 0x200A, 0x202F, 0x205F, 0x3000}) {
    EXPECT_EQ(words({block_of({std::u32string{U'x', ch, U'y'}})}, kNoRotation, false, "").size(), 2u) << unsigned{ch};
  }
  for (char32_t ch : {0x0B, 0x0C, 0x1F, 0x85, 0x1680, 0x200B, 0x2028, 0x2029, 0x3001}) {
    EXPECT_EQ(words({block_of({std::u32string{U'x', ch, U'y'}})}, kNoRotation, false, "").size(), 1u) << unsigned{ch};
  }
}

TEST(Words, Delimiters) {
  const std::vector<Block> blocks = {block_of({U"a,b,,c"})};
  EXPECT_EQ(texts(words(blocks, kNoRotation, false, "")), (Strings{"a,b,,c"}));
  const std::vector<Word> ws = words(blocks, kNoRotation, false, ",");
  ASSERT_EQ(texts(ws), (Strings{"a", "b", "c"}));
  EXPECT_EQ(numbers(ws[2]), Numbers({0, 0, 2}));
  EXPECT_EQ(box(ws[2]), Box({50, 0, 58, 10}));
}

TEST(Words, MultiByteDelimiterMatchesOnlyItself) {
  // U+00E9 is C3 A9; U+00C3 and U+00A9 are the chars its bytes name one by one.
  const std::vector<Block> blocks = {block_of({U"a\u00e9b\u00c3c\u00a9d\u00e8e;f"})};
  EXPECT_EQ(texts(words(blocks, kNoRotation, false, "\xC3\xA9")),
            (Strings{"a", "b\xC3\x83" "c\xC2\xA9" "d\xC3\xA8" "e;f"}));
  EXPECT_EQ(texts(words(blocks, kNoRotation, false, ";\xC3\xA9")),
            (Strings{"a", "b\xC3\x83" "c\xC2\xA9" "d\xC3\xA8" "e", "f"}));
  EXPECT_EQ(texts(words({block_of({U"x\U0001F600y\U0001F601z"})}, kNoRotation, false, "\xF0\x9F\x98\x80")),
            (Strings{"x", "y\xF0\x9F\x98\x81z"}));
}

TEST(Words, DehyphenateJoinsIntoFirstWord) {
  const std::vector<Block> blocks = {block_of({U"the exam-", U"ple is", U"done"}, 4)};
  EXPECT_EQ(texts(words(blocks, kNoRotation, false, "")), (Strings{"the", "exam-", "ple", "is", "done"}));
  const std::vector<Word> ws = words(blocks, kNoRotation, true, "");
  ASSERT_EQ(texts(ws), (Strings{"the", "example", "is", "done"}));
  // Box and numbers of the first part; the next line still counts the absorbed word.
  EXPECT_EQ(box(ws[1]), Box({40, 0, 88, 10}));
  EXPECT_EQ(numbers(ws[1]), Numbers({4, 0, 1}));
  EXPECT_EQ(numbers(ws[2]), Numbers({4, 1, 1}));
  EXPECT_EQ(numbers(ws[3]), Numbers({4, 2, 0}));
}

// Blocks of lines, and their words with dehyphenate. Never across blocks (not
// even where line numbers 0 and 1 would fit), only the next line's first word
// (also after a join), never over an empty or blank line.
TEST(Words, DehyphenateCases) {
  using Blocks = std::vector<std::vector<std::u32string_view>>;
  for (const auto& [lines, want] : std::vector<std::pair<Blocks, Strings>>{
           {{{U"ab-", U"cd-", U"ef"}}, {"abcd-", "ef"}},
           {{{U"exam-"}, {U"ple"}}, {"exam-", "ple"}},
           {{{U"exam-"}, {U"", U"ple"}}, {"exam-", "ple"}},
           {{{U"ab-", U"cd- ef"}}, {"abcd-", "ef"}},
           {{{U"exam-", U"", U"ple"}}, {"exam-", "ple"}},
           {{{U"exam-", U" \t ", U"ple"}}, {"exam-", "ple"}},
           {{{U"exam-", U"  ple"}}, {"example"}},
           {{{U"3-", U"4"}}, {"3-", "4"}},
           {{{U"a -", U"b"}}, {"a", "-", "b"}},
           {{{U"a-", U"x", U"b"}}, {"ax", "b"}}}) {
    std::vector<Block> blocks;
    for (const auto& texts_of_block : lines) {
      Block& b = blocks.emplace_back();
      b.number = blocks.size() - 1;
      for (std::u32string_view t : texts_of_block) b.lines.push_back(line_of(t));
    }
    EXPECT_EQ(texts(words(blocks, kNoRotation, true, "")), want) << want[0];
  }
}

TEST(Words, NaNInCharBoxYieldsToNumbers) {
  Block b = block_of({U"abc"});
  b.lines[0].chars[0].bbox.x0 = kNaN;  // the box starts from this char
  b.lines[0].chars[1].bbox.y1 = kNaN;
  b.lines[0].chars[2].bbox.x1 = kNaN;
  const std::vector<Word> ws = words({b}, kNoRotation, false, "");
  ASSERT_EQ(ws.size(), 1u);
  EXPECT_EQ(box(ws[0]), Box({10, 0, 18, 10}));
}

}  // namespace
}  // namespace textloom
