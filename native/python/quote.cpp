// Quoting strings for messages, so that control and invisible characters in a
// caller's value stay visible in the error.

#include "quote.hpp"

#include <cstdio>

#include "unicode.hpp"
#include "utf8.hpp"

namespace textloom::py {

std::string quoted(std::u32string_view text) {
  std::string out = "\"";
  for (const char32_t ch : text) {
    switch (ch) {
      case U'"': out += "\\\""; break;
      case U'\\': out += "\\\\"; break;
      case U'\t': out += "\\t"; break;
      case U'\r': out += "\\r"; break;
      case U'\n': out += "\\n"; break;
      case U'\0': out += "\\0"; break;
      default:
        if (is_non_printable(ch)) {
          char escape[16];
          std::snprintf(escape, sizeof escape, "\\u{%x}", static_cast<unsigned>(ch));
          out += escape;
        } else {
          append_utf8(out, ch);
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace textloom::py
