// Pixels turned grey: a PDFium bitmap's rows (grey, blue-green-red, or
// blue-green-red and an unused byte, rows `stride` bytes apart) into grey rows
// without padding, for the OCR engine.
#pragma once

#include <cstddef>
#include <cstdint>

namespace textloom {

// Writes `width` x `height` grey bytes to `out` from `pixels` of `channels`
// (1, 3 or 4) bytes each. Colour turns grey by ITU-R 601-2 luma in 16-bit
// fixed point, as image libraries (Pillow's "L") do: a scan's own samples
// turn the grey an image library would give them.
void grey_of_bgr(const std::uint8_t* pixels, std::size_t width, std::size_t height,
                 std::size_t stride, std::size_t channels, std::uint8_t* out);

}  // namespace textloom
