// Folds of characters by code point, as search's folding asks them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace textloom {

// Folds (UTF-8) by code point (at most 0x10FFFF): open addressing in one
// array and the folds' bytes in one string, so a lookup reads a slot or two
// of memory a page's search keeps warm.
class FoldMap {
 public:
  // The fold of `cp`, or nullopt. The view lasts until the map next changes.
  std::optional<std::string_view> find(std::uint32_t cp) const;
  void insert_or_assign(std::uint32_t cp, std::string_view fold);
  std::size_t size() const { return size_; }
  void clear();

 private:
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;  // beyond every code point
  struct Slot {
    std::uint32_t cp = kEmpty;
    std::size_t at = 0;    // the fold's first byte in bytes_
    std::size_t size = 0;  // its length
  };
  // The slot holding `cp`, or the empty one where it would go.
  std::size_t slot_of(std::uint32_t cp) const;
  std::vector<Slot> slots_;  // a power of two of them, at most half full
  int shift_ = 32;           // 32 less the log2 of their number: a hash's top bits pick the slot
  std::string bytes_;
  std::size_t size_ = 0;
};

}  // namespace textloom
