// UTF-8 encoding of Unicode scalars and lossy decoding of untrusted bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace textloom {

// Appends the UTF-8 encoding of `cp` (a Unicode scalar value; anything else,
// a surrogate or a value above U+10FFFF, is written as U+FFFD).
inline void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp <= 0x10FFFF) {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    append_utf8(out, 0xFFFD);
  }
}

// Decodes `bytes` as UTF-8, replacing each maximal invalid subpart with
// U+FFFD (the Unicode-recommended practice), and returns valid UTF-8.
std::string utf8_lossy(std::string_view bytes);

}  // namespace textloom
