// find_pattern: one compile, a match loop, and byte offsets turned into code
// points in one walk over the text.

#include "pattern.hpp"

#include <memory>
#include <string>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace textloom {

namespace {

// Backtracking past this many steps is a pattern that would run for minutes
// (nested quantifiers); PCRE2 stops it with an error instead.
constexpr std::uint32_t kMatchLimit = 10'000'000;

struct CodeFree {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct DataFree {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct ContextFree {
  void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};

std::string message(int code) {
  PCRE2_UCHAR buffer[256];
  const int n = pcre2_get_error_message(code, buffer, sizeof buffer);
  return n < 0 ? "unknown PCRE2 error" : std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
}

bool continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

Result<std::vector<std::pair<std::size_t, std::size_t>>> find_pattern(std::string_view pattern,
                                                                     std::string_view text,
                                                                     bool caseless) {
  int error = 0;
  PCRE2_SIZE error_at = 0;
  const std::uint32_t options = PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF |
                                (caseless ? PCRE2_CASELESS : 0);
  std::unique_ptr<pcre2_code, CodeFree> code(
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options, &error,
                    &error_at, nullptr));
  if (!code) {
    return Error{"bad pattern at offset " + std::to_string(error_at) + ": " + message(error)};
  }
  std::unique_ptr<pcre2_match_data, DataFree> data(
      pcre2_match_data_create_from_pattern(code.get(), nullptr));
  std::unique_ptr<pcre2_match_context, ContextFree> context(pcre2_match_context_create(nullptr));
  if (!data || !context) return Error{"out of memory compiling the pattern"};
  pcre2_set_match_limit(context.get(), kMatchLimit);

  std::vector<std::pair<std::size_t, std::size_t>> bytes;
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
  std::size_t at = 0;
  while (at <= text.size()) {
    const int rc = pcre2_match(code.get(), subject, text.size(), at, 0, data.get(), context.get());
    if (rc == PCRE2_ERROR_NOMATCH) break;
    if (rc < 0) return Error{"pattern search failed: " + message(rc)};
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    const std::size_t start = ovector[0], end = ovector[1];
    if (end > start) {
      bytes.emplace_back(start, end);
      at = end;
    } else {  // an empty match: step over one code point
      at = start + 1;
      while (at < text.size() && continuation(static_cast<unsigned char>(text[at]))) ++at;
    }
  }
  // Byte offsets to code points, in one walk: the matches come in order.
  std::vector<std::pair<std::size_t, std::size_t>> points;
  points.reserve(bytes.size());
  std::size_t byte = 0, point = 0;
  auto advance_to = [&](std::size_t target) {
    for (; byte < target && byte < text.size(); ++byte) {
      if (!continuation(static_cast<unsigned char>(text[byte]))) ++point;
    }
    return point;
  };
  for (const auto& [start, end] : bytes) {
    const std::size_t first = advance_to(start);
    points.emplace_back(first, advance_to(end));
  }
  return points;
}

}  // namespace textloom
