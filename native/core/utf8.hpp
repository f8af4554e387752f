// UTF-8: encoding Unicode scalars, and the one decoder of bytes that may be
// ill-formed (font names from the file, arguments, our own text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace textloom {

// U+FFFD, written for whatever is not a Unicode scalar or not well-formed.
inline constexpr std::uint32_t kReplacementChar = 0xFFFD;

// Bytes of append_utf8's encoding of `cp`.
inline std::size_t utf8_size(std::uint32_t cp) {
  if (cp < 0x80) return 1;
  if (cp < 0x800) return 2;
  if (cp < 0x10000) return 3;
  return cp <= 0x10FFFF ? 4 : 3;
}

// Appends the UTF-8 encoding of `cp` (a Unicode scalar value; anything else,
// a surrogate or a value above U+10FFFF, is written as U+FFFD).
inline void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = kReplacementChar;
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp <= 0x10FFFF) {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    append_utf8(out, kReplacementChar);
  }
}

// Decodes the character at the start of `bytes` (not empty) and sets `len` to
// the bytes it takes. An ill-formed sequence (overlong, a surrogate, past
// U+10FFFF, cut short) decodes as U+FFFD and takes its maximal subpart: the
// lead byte and the continuation bytes that could still have completed it,
// or the one byte that could start nothing. So each maximal ill-formed
// subpart becomes one U+FFFD, as Unicode recommends.
std::uint32_t decode_utf8(std::string_view bytes, std::size_t& len);

// `bytes` as valid UTF-8: decode_utf8's characters, re-encoded.
std::string utf8_lossy(std::string_view bytes);

// `bytes` as code points, decoded by decode_utf8.
std::u32string code_points(std::string_view bytes);

// `text` in UTF-8, each code point as append_utf8 writes it.
std::string utf8_of(std::u32string_view text);

}  // namespace textloom
