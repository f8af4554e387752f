// The UTF-8 decoder (font names come from the file and may be anything).

#include "utf8.hpp"

namespace textloom {

std::uint32_t decode_utf8(std::string_view bytes, std::size_t& len) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  len = 1;
  if (lead < 0x80) return lead;
  // Continuation count, and the allowed range of the first continuation byte,
  // which excludes overlong forms, surrogates and values above U+10FFFF.
  std::size_t need = 0;
  std::uint32_t cp = 0;
  unsigned char lower = 0x80, upper = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1, cp = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2, cp = lead & 0x0Fu;
    if (lead == 0xE0) lower = 0xA0;
    if (lead == 0xED) upper = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3, cp = lead & 0x07u;
    if (lead == 0xF0) lower = 0x90;
    if (lead == 0xF4) upper = 0x8F;
  } else {
    return kReplacementChar;
  }
  for (std::size_t k = 1; k <= need; ++k) {
    if (k == bytes.size()) return kReplacementChar;
    const auto next = static_cast<unsigned char>(bytes[k]);
    if (next < lower || next > upper) return kReplacementChar;
    lower = 0x80, upper = 0xBF;
    cp = (cp << 6) | (next & 0x3Fu);
    len = k + 1;
  }
  return cp;
}

std::u32string code_points(std::string_view bytes) {
  std::u32string out;
  out.reserve(bytes.size());
  std::size_t len = 0;
  for (std::size_t i = 0; i < bytes.size(); i += len) {
    out.push_back(static_cast<char32_t>(decode_utf8(bytes.substr(i), len)));
  }
  return out;
}

std::string utf8_of(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char32_t cp : text) append_utf8(out, cp);
  return out;
}

std::string utf8_lossy(std::string_view bytes) { return utf8_of(code_points(bytes)); }

}  // namespace textloom
