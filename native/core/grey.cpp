#include "grey.hpp"

#include <cstring>

namespace textloom {

void grey_of_bgr(const std::uint8_t* pixels, std::size_t width, std::size_t height,
                 std::size_t stride, std::size_t channels, std::uint8_t* out) {
  for (std::size_t y = 0; y < height; ++y, out += width) {
    const std::uint8_t* row = pixels + y * stride;
    if (channels == 1) {
      std::memcpy(out, row, width);
      continue;
    }
    for (std::size_t x = 0; x < width; ++x, row += channels) {
      // 0.299 R + 0.587 G + 0.114 B, rounded: the weights times 65536.
      out[x] = static_cast<std::uint8_t>((row[2] * 19595u + row[1] * 38470u + row[0] * 7471u +
                                          0x8000u) >> 16);
    }
  }
}

}  // namespace textloom
