// Lossy UTF-8 decoding (font names come from the file and may be anything).

#include "utf8.hpp"

namespace textloom {

std::string utf8_lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++i;
      continue;
    }
    // Continuation count and the allowed range of the first continuation byte,
    // which excludes overlong forms, surrogates and values above U+10FFFF.
    int need = 0;
    unsigned char lower = 0x80, upper = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      need = 1;
    } else if (lead == 0xE0) {
      need = 2, lower = 0xA0;
    } else if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) {
      need = 2;
    } else if (lead == 0xED) {
      need = 2, upper = 0x9F;
    } else if (lead == 0xF0) {
      need = 3, lower = 0x90;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
      need = 3;
    } else if (lead == 0xF4) {
      need = 3, upper = 0x8F;
    }
    std::size_t j = i + 1;
    bool valid = need > 0;
    for (int k = 0; valid && k < need; ++k, ++j) {
      const auto next = j < n ? static_cast<unsigned char>(bytes[j]) : 0;
      if (j >= n || next < lower || next > upper) valid = false;
      lower = 0x80, upper = 0xBF;
      if (!valid) break;
    }
    if (valid) {
      out.append(bytes.substr(i, j - i));
    } else {
      append_utf8(out, 0xFFFD);
    }
    i = j;
  }
  return out;
}

}  // namespace textloom
