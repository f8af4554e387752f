#include "fold_map.hpp"

#include <algorithm>
#include <bit>

namespace textloom {

std::size_t FoldMap::slot_of(std::uint32_t cp) const {
  const std::size_t mask = slots_.size() - 1;
  // Fibonacci hashing: the product's top bits spread a script's run of code
  // points, and code points alike in their low bits, over the slots.
  std::size_t at = static_cast<std::uint32_t>(cp * 0x9E3779B1u) >> shift_;
  while (slots_[at].cp != cp && slots_[at].cp != kEmpty) at = (at + 1) & mask;
  return at;
}

std::optional<std::string_view> FoldMap::find(std::uint32_t cp) const {
  if (slots_.empty()) return std::nullopt;
  const Slot& slot = slots_[slot_of(cp)];
  if (slot.cp == kEmpty) return std::nullopt;
  return std::string_view(bytes_).substr(slot.at, slot.size);
}

void FoldMap::insert_or_assign(std::uint32_t cp, std::string_view fold) {
  if (2 * (size_ + 1) > slots_.size()) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(std::max<std::size_t>(64, 2 * old.size()), Slot{});
    shift_ = 32 - std::countr_zero(slots_.size());
    for (const Slot& slot : old) {
      if (slot.cp != kEmpty) slots_[slot_of(slot.cp)] = slot;
    }
  }
  Slot& slot = slots_[slot_of(cp)];
  if (slot.cp == kEmpty) ++size_;
  // A fold given again is appended anew: the package only adds what a
  // search found missing, and clears the table at its bound.
  slot = {cp, bytes_.size(), fold.size()};
  bytes_ += fold;
}

void FoldMap::clear() {
  slots_.clear();
  shift_ = 32;
  bytes_.clear();
  size_ = 0;
}

}  // namespace textloom
