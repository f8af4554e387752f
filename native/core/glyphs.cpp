// Font classification: the FontInfo constructor and the font-name patterns,
// compiled once per process with Unicode semantics (\b, \d, case folding).

#include "glyphs.hpp"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace textloom {

namespace {

enum FontPattern { kSubset, kBold, kItalic, kMono, kSans, kSerif, kPatternCount };

constexpr const char* kPatternSources[kPatternCount] = {
    R"(^[A-Z]{6}\+)",
    R"((?i)bold|black|heavy|-bd|\bbd\b|-blk|medi|^cmbx|^cmbsy|^cmmib|^cmb\d)",
    R"((?i)italic|oblique|-it\b|-bdi|-ital|slant|kursiv)",
    R"((?i)mono|courier|consol|code|typewriter|sftt|cmtt|menlo)",
    R"((?i)sans|arial|helvetica|verdana|calibri|segoe|tahoma|gothic|grotesk|frutiger|futura|cmss)",
    R"((?i)times|roman|serif|georgia|garamond|nimbusrom|minion|cambria|palatino|book|cmr|cmmi|sil)",
};

struct FontPatterns {
  pcre2_code* code[kPatternCount];
};

// Built on first use and kept for the process; the patterns are constants, so
// a compile failure is a programming error.
const FontPatterns& font_patterns() {
  static std::once_flag once;
  static FontPatterns patterns;
  std::call_once(once, [] {
    for (int i = 0; i < kPatternCount; ++i) {
      int error = 0;
      PCRE2_SIZE offset = 0;
      patterns.code[i] = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kPatternSources[i]),
                                       PCRE2_ZERO_TERMINATED, PCRE2_UTF | PCRE2_UCP,
                                       &error, &offset, nullptr);
      if (patterns.code[i] == nullptr) std::abort();
      // JIT where the library supports it; the interpreter otherwise.
      pcre2_jit_compile(patterns.code[i], PCRE2_JIT_COMPLETE);
    }
  });
  return patterns;
}

struct MatchDataFree {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataFree>;

// Start and end of the first match in `text`, or {-1, -1}. One match-data
// block per thread serves every match: classification runs once per font of
// every page, and allocating per match would cost more than the JIT match.
std::pair<long, long> find(FontPattern pattern, std::string_view text) {
  const pcre2_code* code = font_patterns().code[pattern];
  thread_local MatchData data(pcre2_match_data_create(1, nullptr));
  if (!data) return {-1, -1};
  const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                             0, 0, data.get(), nullptr);
  if (rc < 0) return {-1, -1};
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
  return {static_cast<long>(ovector[0]), static_cast<long>(ovector[1])};
}

bool matches(FontPattern pattern, std::string_view text) {
  return find(pattern, text).first >= 0;
}

}  // namespace

std::string strip_subset_prefix(std::string_view name) {
  const auto [start, end] = find(kSubset, name);
  std::string out(name);
  if (start >= 0) out.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
  return out;
}

FontInfo make_font_info(std::string name, std::uint32_t flags, std::int32_t weight,
                        std::int32_t italic_angle, bool embedded, double ascent,
                        double descent) {
  std::uint32_t style = 0;
  const bool sans = matches(kSans, name);
  if ((flags & kPdfItalic) != 0 || italic_angle < -1 || matches(kItalic, name)) {
    style |= kStyleItalic;
  }
  if (matches(kMono, name) || ((flags & kPdfFixedPitch) != 0 && !sans)) style |= kStyleMono;
  if (embedded || matches(kSerif, name) || ((flags & kPdfSerif) != 0 && !sans)) {
    style |= kStyleSerif;
  }
  if ((flags & kPdfForceBold) != 0 || weight >= 750 || matches(kBold, name)) style |= kStyleBold;

  // Degenerate metrics (no ascent and no descent) get the usual Latin pair;
  // a pair spanning less than one unit is stretched to exactly one.
  double a = ascent;
  double d = descent;
  if (a <= 0 && d >= 0) {
    a = 0.8;
    d = -0.2;
  }
  const double h = a - d;
  if (h > 0 && h < 1) {
    a /= h;
    d /= h;
  }
  return FontInfo{std::move(name), ascent, descent, a, d, flags, weight, italic_angle, style,
                  embedded};
}

}  // namespace textloom
