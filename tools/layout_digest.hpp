// A 64-bit digest of a laid-out page over every field of every block, line
// and char, doubles by their exact bit patterns, signed zeros included, with
// one exception: every NaN counts as the same NaN. Which NaN an operation on
// two NaNs yields is not fixed (x86 passes on its first operand's, and a
// compiler may swap the operands of + and *), so NaN signs and payloads
// differ between optimisation levels even for unchanged code. Two layouts
// with equal digests are, for all practical purposes, identical; the layout
// regression test and layout_bench use it to show that a change to layout
// left every result untouched.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "layout.hpp"

namespace textloom::tools {

class LayoutDigest {
 public:
  void add(std::uint64_t v) { h_ = (std::rotl(h_, 23) ^ v) * 0x9E3779B97F4A7C15ull; }
  void add(double v) {
    add(v != v ? std::uint64_t{0x7FF8000000000000} : std::bit_cast<std::uint64_t>(v));
  }
  void add(const Rect& r) {
    add(r.x0);
    add(r.y0);
    add(r.x1);
    add(r.y1);
  }

  void add(const Char& c) {
    add(c.bbox);
    add(c.origin_x);
    add(c.origin_y);
    add(c.size);
    add(static_cast<std::uint64_t>(c.font) << 32 | c.color);
    add(static_cast<std::uint64_t>(c.idx) << 32 | c.ch);
    add(static_cast<std::uint64_t>(c.rtl) << 1 | static_cast<std::uint64_t>(c.synthetic));
  }

  void add(const Line& line) {
    add(static_cast<std::uint64_t>(line.chars.size()));
    for (const Char& c : line.chars) add(c);
    add(line.dir_x);
    add(line.dir_y);
    add(line.bbox);
    add(static_cast<std::uint64_t>(line.wmode) << 1 | static_cast<std::uint64_t>(line.rtl_visual));
  }

  void add(const std::vector<Block>& blocks) {
    add(static_cast<std::uint64_t>(blocks.size()));
    for (const Block& block : blocks) {
      add(static_cast<std::uint64_t>(block.lines.size()));
      for (const Line& line : block.lines) add(line);
      add(block.bbox);
      add(static_cast<std::uint64_t>(block.number));
    }
  }

  // The digest so far, with a final avalanche so nearby states spread apart.
  std::uint64_t value() const {
    std::uint64_t z = h_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

 private:
  std::uint64_t h_ = 0x243F6A8885A308D3ull;
};

inline std::uint64_t layout_digest(const std::vector<Block>& blocks) {
  LayoutDigest d;
  d.add(blocks);
  return d.value();
}

}  // namespace textloom::tools
