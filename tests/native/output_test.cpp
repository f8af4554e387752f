// Block text, de-hyphenation, the rotated-view transform and word splitting,
// on hand-built lines and blocks.

#include "output.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace textloom {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A line of `text` on the baseline at `y`: char k spans x0 + 10k to x0 + 10k + 8,
// and y - 10 to y.
Line make_line(std::u32string_view text, double x0 = 0, double y = 10) {
  Line line;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const double x = x0 + 10.0 * static_cast<double>(k);
    Char c{};
    c.bbox = {x, y - 10, x + 8, y};
    c.origin_x = x;
    c.origin_y = y;
    c.size = 10;
    c.ch = text[k];
    line.chars.push_back(c);
  }
  return line;
}

// A block of lines one above the other, 20 apart.
Block make_block(std::initializer_list<std::u32string_view> texts, std::size_t number = 0) {
  Block block;
  block.number = number;
  double y = 10;
  for (std::u32string_view t : texts) {
    block.lines.push_back(make_line(t, 0, y));
    y += 20;
  }
  return block;
}

const Xf kNoRotation{600, 800, 0, false};

std::vector<std::string> texts(const std::vector<Word>& ws) {
  std::vector<std::string> out;
  for (const Word& w : ws) out.push_back(w.text);
  return out;
}

using Strings = std::vector<std::string>;
using Box = std::array<double, 4>;
using Numbers = std::array<std::uint64_t, 3>;  // block_no, line_no, word_no

Box box(const Rect& r) { return {r.x0, r.y0, r.x1, r.y1}; }
Box box(const Word& w) { return {w.x0, w.y0, w.x1, w.y1}; }
Numbers numbers(const Word& w) { return {w.block_no, w.line_no, w.word_no}; }

// ---- block_text ----

TEST(BlockText, EmptyBlockIsEmpty) {
  EXPECT_EQ(block_text({}, false), "");
  EXPECT_EQ(block_text({}, true), "");
}

TEST(BlockText, EveryLineEndsInLineFeed) {
  const Block b = make_block({U"exam-", U"ple"});
  EXPECT_EQ(block_text(b.lines, false), "exam-\nple\n");
  EXPECT_EQ(block_text(b.lines, true), "example\n");
}

TEST(BlockText, EncodesMultiByteChars) {
  const Block b = make_block({U"\u00e9\u05d0\u4e2d\U0001D11E", U" x"});
  EXPECT_EQ(block_text(b.lines, false), "\xC3\xA9\xD7\x90\xE4\xB8\xAD\xF0\x9D\x84\x9E\n x\n");
}

TEST(BlockText, LastLineKeepsHyphenAndLineFeed) {
  // Two blocks in a row: "text" output concatenates their block texts, which
  // must not glue the cut word to the next block's first word.
  const Block first = make_block({U"see the exam-"});
  const Block second = make_block({U"Results follow"});
  EXPECT_EQ(block_text(first.lines, true) + block_text(second.lines, true),
            "see the exam-\nResults follow\n");
  const Block two = make_block({U"ab-", U"cd-"});
  EXPECT_EQ(block_text(two.lines, true), "abcd-\n");
}

TEST(BlockText, JoinsChainOfHyphenatedLines) {
  const Block b = make_block({U"ab-", U"cd-", U"ef"});
  EXPECT_EQ(block_text(b.lines, true), "abcdef\n");
}

struct JoinCase {
  std::u32string_view first;
  std::string_view text;  // block text of {first, "x"} with dehyphenate
};
void PrintTo(const JoinCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }

class BlockTextJoin : public ::testing::TestWithParam<JoinCase> {};

TEST_P(BlockTextJoin, OnlyLetterHyphen) {
  const JoinCase& c = GetParam();
  const Block b = make_block({c.first, U"x"});
  EXPECT_EQ(block_text(b.lines, true), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Hyphens, BlockTextJoin,
    ::testing::Values(JoinCase{U"a-", "ax\n"}, JoinCase{U"-", "-\nx\n"},
                      JoinCase{U"3-", "3-\nx\n"}, JoinCase{U"a\u2013", "a\xE2\x80\x93\nx\n"},
                      JoinCase{U"a\u00ad", "a\xC2\xAD\nx\n"}, JoinCase{U"a -", "a -\nx\n"},
                      JoinCase{U"a--", "a--\nx\n"}, JoinCase{U"\u00aa-", "\xC2\xAAx\n"},
                      JoinCase{U"sch\u00f6-", "sch\xC3\xB6x\n"}, JoinCase{U"", "\nx\n"}));

// ---- ends_hyphenated ----

struct HyphenCase {
  std::string_view text;
  bool hyphenated;
};
void PrintTo(const HyphenCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }

class EndsHyphenated : public ::testing::TestWithParam<HyphenCase> {};

TEST_P(EndsHyphenated, LastTwoChars) {
  EXPECT_EQ(ends_hyphenated(GetParam().text), GetParam().hyphenated) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EndsHyphenated,
    ::testing::Values(
        HyphenCase{"a-", true}, HyphenCase{"Z-", true}, HyphenCase{"exam-", true},
        HyphenCase{"", false}, HyphenCase{"-", false}, HyphenCase{"a", false},
        HyphenCase{"ab", false}, HyphenCase{"--", false}, HyphenCase{"9-", false},
        HyphenCase{"a -", false}, HyphenCase{"@-", false}, HyphenCase{"[-", false},
        HyphenCase{"a\xE2\x80\x93", false},   // en dash
        HyphenCase{"a\xE2\x80\x90", false},   // U+2010 hyphen
        HyphenCase{"\xC2\xA9-", false},       // U+00A9, just below the first tested
        HyphenCase{"\xC2\xAA-", true},        // U+00AA, alphabetic
        HyphenCase{"\xC3\xB6-", true},        // o with diaeresis
        HyphenCase{"\xC3\x97-", false},       // multiplication sign
        HyphenCase{"\xD7\x90-", true},        // Hebrew alef
        HyphenCase{"\xD9\xA0-", false},       // Arabic-Indic digit zero
        HyphenCase{"\xE4\xB8\xAD-", true},    // CJK ideograph
        HyphenCase{"\xF0\x90\x80\x80-", true},  // Linear B syllable, 4 bytes
        HyphenCase{"a\xCC\x81-", false},      // combining acute is no letter
        // Malformed bytes before the hyphen are no letter.
        HyphenCase{"\x80-", false}, HyphenCase{"\xC3-", false}, HyphenCase{"a\xB6-", false},
        HyphenCase{"\xC1\x81-", false},       // overlong 'A'
        HyphenCase{"\xF0\xF0\x90\x80\x80-", true}));

// ---- Xf ----

struct RcCase {
  std::uint32_t rotation;
  bool rotated;
  Rect in;
  Rect out;
};
void PrintTo(const RcCase& c, std::ostream* os) {
  *os << "rotation " << c.rotation << (c.rotated ? " rotated" : "") << " (" << c.in.x0 << ", "
      << c.in.y0 << ", " << c.in.x1 << ", " << c.in.y1 << ")";
}

class XfRc : public ::testing::TestWithParam<RcCase> {};

TEST_P(XfRc, MapsAndNormalises) {
  const RcCase& c = GetParam();
  const Xf xf{600, 800, c.rotation, c.rotated};
  EXPECT_EQ(box(xf.rc(c.in)), box(c.out));
}

INSTANTIATE_TEST_SUITE_P(
    Rotations, XfRc,
    ::testing::Values(
        RcCase{90, false, {30, 40, 10, 20}, {30, 40, 10, 20}},  // untouched, not normalised
        RcCase{0, true, {30, 40, 10, 20}, {30, 40, 10, 20}},
        RcCase{90, true, {10, 20, 30, 40}, {760, 10, 780, 30}},
        RcCase{180, true, {10, 20, 30, 40}, {570, 760, 590, 780}},
        RcCase{270, true, {10, 20, 30, 40}, {20, 570, 40, 590}},
        RcCase{90, true, {30, 40, 10, 20}, {760, 10, 780, 30}},  // normalised
        // A NaN corner coordinate yields to the other corner's.
        RcCase{90, true, {kNaN, 20, 30, 40}, {760, 30, 780, 30}},
        RcCase{180, true, {10, kNaN, 30, 40}, {570, 760, 590, 760}}));

TEST(XfRc, AllNaNStaysNaN) {
  const Xf xf{600, 800, 270, true};
  const Rect r = xf.rc({kNaN, kNaN, kNaN, kNaN});
  EXPECT_TRUE(std::isnan(r.x0) && std::isnan(r.y0) && std::isnan(r.x1) && std::isnan(r.y1));
}

struct PointCase {
  std::uint32_t rotation;
  double x, y;    // the point (10, 20) mapped
  double dx, dy;  // the direction (1, 2) mapped
};
void PrintTo(const PointCase& c, std::ostream* os) { *os << "rotation " << c.rotation; }

class XfPoint : public ::testing::TestWithParam<PointCase> {};

TEST_P(XfPoint, PointsAndVectors) {
  const PointCase& c = GetParam();
  const Xf xf{600, 800, c.rotation, true};
  double x = 10, y = 20, dx = 1, dy = 2;
  xf.point(x, y);
  xf.vector(dx, dy);
  EXPECT_EQ(Box({x, y, dx, dy}), Box({c.x, c.y, c.dx, c.dy}));
  // A direction maps like the difference of two mapped points.
  double ax = 10, ay = 20, bx = 11, by = 22;
  xf.point(ax, ay);
  xf.point(bx, by);
  EXPECT_EQ(Box({bx - ax, by - ay, 0, 0}), Box({dx, dy, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(Rotations, XfPoint,
                         ::testing::Values(PointCase{0, 10, 20, 1, 2},
                                           PointCase{90, 780, 10, -2, 1},
                                           PointCase{180, 590, 780, -1, -2},
                                           PointCase{270, 20, 590, 2, -1}));

TEST(XfPoint, UntouchedWhenNotRotated) {
  const Xf xf{600, 800, 90, false};
  double x = 10, y = 20, dx = 1, dy = 2;
  xf.point(x, y);
  xf.vector(dx, dy);
  EXPECT_EQ(Box({x, y, dx, dy}), Box({10, 20, 1, 2}));
}

// ---- words ----

TEST(Words, EmptyInputs) {
  EXPECT_TRUE(words({}, kNoRotation, false, "").empty());
  EXPECT_TRUE(words({}, kNoRotation, true, ",").empty());
  EXPECT_TRUE(words({make_block({U"", U"   "})}, kNoRotation, true, "").empty());
}

TEST(Words, NumbersBoxesAndSpaces) {
  const std::vector<Block> blocks = {make_block({U"  ab  cd ", U"e"}, 7)};
  const std::vector<Word> ws = words(blocks, kNoRotation, false, "");
  ASSERT_EQ(texts(ws), (Strings{"ab", "cd", "e"}));
  // "ab" covers chars 2 and 3; "cd" chars 6 and 7; "e" is on the second line.
  EXPECT_EQ(box(ws[0]), Box({20, 0, 38, 10}));
  EXPECT_EQ(box(ws[1]), Box({60, 0, 78, 10}));
  EXPECT_EQ(box(ws[2]), Box({0, 20, 8, 30}));
  EXPECT_EQ(numbers(ws[0]), Numbers({7, 0, 0}));
  EXPECT_EQ(numbers(ws[1]), Numbers({7, 0, 1}));
  EXPECT_EQ(numbers(ws[2]), Numbers({7, 1, 0}));
}

TEST(Words, SeparatorOnlyLinesKeepTheirNumber) {
  const std::vector<Block> blocks = {make_block({U"a", U" \u00a0\t", U"", U"b c"}, 2),
                                     make_block({U"d"}, 3)};
  const std::vector<Word> ws = words(blocks, kNoRotation, false, "");
  ASSERT_EQ(texts(ws), (Strings{"a", "b", "c", "d"}));
  EXPECT_EQ(numbers(ws[1]), Numbers({2, 3, 0}));
  EXPECT_EQ(numbers(ws[2]), Numbers({2, 3, 1}));
  EXPECT_EQ(numbers(ws[3]), Numbers({3, 0, 0}));
}

struct SeparatorCase {
  char32_t ch;
  bool separates;
};
void PrintTo(const SeparatorCase& c, std::ostream* os) {
  *os << "U+" << std::hex << static_cast<unsigned>(c.ch);
}

class Separators : public ::testing::TestWithParam<SeparatorCase> {};

TEST_P(Separators, FixedSet) {
  const std::u32string text = {U'x', GetParam().ch, U'y'};
  const std::vector<Word> ws = words({make_block({text})}, kNoRotation, false, "");
  EXPECT_EQ(ws.size(), GetParam().separates ? 2u : 1u) << std::hex
                                                       << static_cast<unsigned>(GetParam().ch);
}

INSTANTIATE_TEST_SUITE_P(
    Chars, Separators,
    ::testing::Values(SeparatorCase{0x09, true}, SeparatorCase{0x0A, true},
                      SeparatorCase{0x0D, true}, SeparatorCase{0x20, true},
                      SeparatorCase{0xA0, true}, SeparatorCase{0x2000, true},
                      SeparatorCase{0x2005, true}, SeparatorCase{0x200A, true},
                      SeparatorCase{0x202F, true}, SeparatorCase{0x205F, true},
                      SeparatorCase{0x3000, true}, SeparatorCase{0x0B, false},
                      SeparatorCase{0x0C, false}, SeparatorCase{0x1F, false},
                      SeparatorCase{0x85, false}, SeparatorCase{0x1680, false},
                      SeparatorCase{0x200B, false}, SeparatorCase{0x2028, false},
                      SeparatorCase{0x2029, false}, SeparatorCase{0x3001, false}));

TEST(Words, Delimiters) {
  const std::vector<Block> blocks = {make_block({U"a,b,,c"})};
  EXPECT_EQ(texts(words(blocks, kNoRotation, false, "")), (Strings{"a,b,,c"}));
  const std::vector<Word> ws = words(blocks, kNoRotation, false, ",");
  ASSERT_EQ(texts(ws), (Strings{"a", "b", "c"}));
  EXPECT_EQ(numbers(ws[2]), Numbers({0, 0, 2}));
  EXPECT_EQ(box(ws[2]), Box({50, 0, 58, 10}));
}

TEST(Words, MultiByteDelimiterMatchesOnlyItself) {
  // U+00E9 is C3 A9 in UTF-8; U+00C3 and U+00A9 are the chars its bytes
  // would name one by one.
  const std::vector<Block> blocks = {make_block({U"a\u00e9b\u00c3c\u00a9d\u00e8e;f"})};
  EXPECT_EQ(texts(words(blocks, kNoRotation, false, "\xC3\xA9")),
            (Strings{"a", "b\xC3\x83" "c\xC2\xA9" "d\xC3\xA8" "e;f"}));
  EXPECT_EQ(texts(words(blocks, kNoRotation, false, ";\xC3\xA9")),
            (Strings{"a", "b\xC3\x83" "c\xC2\xA9" "d\xC3\xA8" "e", "f"}));
  const std::vector<Block> emoji = {make_block({U"x\U0001F600y\U0001F601z"})};
  EXPECT_EQ(texts(words(emoji, kNoRotation, false, "\xF0\x9F\x98\x80")),
            (Strings{"x", "y\xF0\x9F\x98\x81z"}));
}

TEST(Words, DehyphenateJoinsIntoFirstWord) {
  const std::vector<Block> blocks = {make_block({U"the exam-", U"ple is", U"done"}, 4)};
  EXPECT_EQ(texts(words(blocks, kNoRotation, false, "")),
            (Strings{"the", "exam-", "ple", "is", "done"}));
  const std::vector<Word> ws = words(blocks, kNoRotation, true, "");
  ASSERT_EQ(texts(ws), (Strings{"the", "example", "is", "done"}));
  // The joined word keeps the box and numbers of its first part; the second
  // line's word count still includes the absorbed word.
  EXPECT_EQ(box(ws[1]), Box({40, 0, 88, 10}));
  EXPECT_EQ(numbers(ws[1]), Numbers({4, 0, 1}));
  EXPECT_EQ(numbers(ws[2]), Numbers({4, 1, 1}));
  EXPECT_EQ(numbers(ws[3]), Numbers({4, 2, 0}));
}

struct DehyphenCase {
  const char* name;
  std::vector<std::vector<std::u32string_view>> blocks;
  Strings words;
};
void PrintTo(const DehyphenCase& c, std::ostream* os) { *os << c.name; }

class WordsDehyphenate : public ::testing::TestWithParam<DehyphenCase> {};

TEST_P(WordsDehyphenate, Joins) {
  std::vector<Block> blocks;
  for (const auto& lines : GetParam().blocks) {
    Block b;
    b.number = blocks.size();
    for (std::u32string_view t : lines) b.lines.push_back(make_line(t));
    blocks.push_back(std::move(b));
  }
  EXPECT_EQ(texts(words(blocks, kNoRotation, true, "")), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WordsDehyphenate,
    ::testing::Values(
        DehyphenCase{"Chain", {{U"ab-", U"cd-", U"ef"}}, {"abcd-", "ef"}},
        DehyphenCase{"NotAcrossBlocks", {{U"exam-"}, {U"ple"}}, {"exam-", "ple"}},
        // Line numbers 0 and 1 would fit; the block numbers do not.
        DehyphenCase{"NotAcrossBlocksAtNextLineNo", {{U"exam-"}, {U"", U"ple"}}, {"exam-", "ple"}},
        // Only the next line's first word joins, also after a join.
        DehyphenCase{"OnlyFirstWord", {{U"ab-", U"cd- ef"}}, {"abcd-", "ef"}},
        DehyphenCase{"NotOverEmptyLine", {{U"exam-", U"", U"ple"}}, {"exam-", "ple"}},
        DehyphenCase{"NotOverBlankLine", {{U"exam-", U" \t ", U"ple"}}, {"exam-", "ple"}},
        DehyphenCase{"LeadingSpaceNextLine", {{U"exam-", U"  ple"}}, {"example"}},
        DehyphenCase{"Digit", {{U"3-", U"4"}}, {"3-", "4"}},
        DehyphenCase{"EnDash", {{U"a\u2013", U"b"}}, {"a\xE2\x80\x93", "b"}},
        DehyphenCase{"LoneHyphen", {{U"a -", U"b"}}, {"a", "-", "b"}},
        DehyphenCase{"Umlaut", {{U"sch\u00f6-", U"n"}}, {"sch\xC3\xB6n"}},
        DehyphenCase{"OnlyNextLine", {{U"a-", U"x", U"b"}}, {"ax", "b"}}),
    [](const ::testing::TestParamInfo<DehyphenCase>& info) { return info.param.name; });

TEST(Words, NaNInCharBoxYieldsToNumbers) {
  Block b = make_block({U"abc"});
  b.lines[0].chars[0].bbox.x0 = kNaN;  // the box starts from this char
  b.lines[0].chars[1].bbox.y1 = kNaN;
  b.lines[0].chars[2].bbox.x1 = kNaN;
  const std::vector<Word> ws = words({b}, kNoRotation, false, "");
  ASSERT_EQ(ws.size(), 1u);
  EXPECT_EQ(box(ws[0]), Box({10, 0, 18, 10}));
}

TEST(Words, RotatedBoxesAreMappedAndNormalised) {
  const std::vector<Block> blocks = {make_block({U"ab c"})};
  // Without the rotated view, or with rotation 0, boxes are the char unions.
  for (const Xf& xf : {Xf{600, 800, 90, false}, Xf{600, 800, 0, true}}) {
    const std::vector<Word> ws = words(blocks, xf, false, "");
    ASSERT_EQ(ws.size(), 2u);
    EXPECT_EQ(box(ws[0]), Box({0, 0, 18, 10}));
  }
  // Rotation 90 on height 800: (x, y) -> (800 - y, x); "ab" spans x 0..18, y 0..10.
  std::vector<Word> ws = words(blocks, Xf{600, 800, 90, true}, false, "");
  ASSERT_EQ(ws.size(), 2u);
  EXPECT_EQ(box(ws[0]), Box({790, 0, 800, 18}));
  EXPECT_EQ(box(ws[1]), Box({790, 30, 800, 38}));
  // Rotation 270 on width 600: (x, y) -> (y, 600 - x).
  ws = words(blocks, Xf{600, 800, 270, true}, false, "");
  ASSERT_EQ(ws.size(), 2u);
  EXPECT_EQ(box(ws[1]), Box({0, 562, 10, 570}));
}

}  // namespace
}  // namespace textloom
