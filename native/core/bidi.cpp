// Right-to-left reordering of one line. Glyphs of Hebrew or Arabic text are
// often drawn left to right, so the glyph pass files them in visual order;
// this puts them into reading order with a reduced bidirectional algorithm:
// strong/number/neutral classes, three embedding levels, mirroring of paired
// brackets in right-to-left runs and the run reversal of UAX #9 rule L2. No
// explicit embeddings, isolates or paragraph separators are recognised.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "layout.hpp"
#include "sort.hpp"
#include "unicode.hpp"

namespace textloom {

namespace {

// Classes of the reduced algorithm.
constexpr std::uint8_t kLeft = 0;     // L, and everything the class data does not list
constexpr std::uint8_t kRight = 1;    // R, AL
constexpr std::uint8_t kNumber = 2;   // EN, AN
constexpr std::uint8_t kNeutral = 3;  // the rest
constexpr std::uint8_t kNone = 0xFF;  // no strong (or non-neutral) char on that side

std::uint8_t reduced_class(std::uint32_t cp) {
  switch (bidi_class(cp)) {
    case BidiClass::L:
      return kLeft;
    case BidiClass::R:
    case BidiClass::AL:
      return kRight;
    case BidiClass::EN:
    case BidiClass::AN:
      return kNumber;
    default:
      return kNeutral;
  }
}

// The bracket pairs that turn round inside a right-to-left run; nothing else does.
std::uint32_t mirrored(std::uint32_t cp) {
  switch (cp) {
    case 0x0028: return 0x0029;
    case 0x0029: return 0x0028;
    case 0x003C: return 0x003E;
    case 0x003E: return 0x003C;
    case 0x005B: return 0x005D;
    case 0x005D: return 0x005B;
    case 0x007B: return 0x007D;
    case 0x007D: return 0x007B;
    case 0x00AB: return 0x00BB;
    case 0x00BB: return 0x00AB;
    case 0x2039: return 0x203A;
    case 0x203A: return 0x2039;
    default: return cp;
  }
}

// One char of the line at its position left to right.
struct Slot {
  std::size_t index;   // into the line's chars as stored
  std::uint8_t cls;    // reduced class
  std::uint8_t side;   // scratch: the class of the nearest strong char on the left
  std::uint8_t res;    // resolved direction, kNone for neutrals
  std::uint8_t level;  // 0, 1 or 2
};

}  // namespace

void visual_to_logical(Line& line) {
  const std::vector<Char>& chars = line.chars;
  const std::size_t n = chars.size();
  if (n == 0) return;

  std::vector<Slot> slots(n);
  for (std::size_t i = 0; i < n; ++i) slots[i].index = i;
  merge_sort(slots, [&chars](const Slot& a, const Slot& b) {
    return chars[a.index].origin_x < chars[b.index].origin_x;
  });

  std::size_t n_left = 0, n_right = 0;
  for (Slot& s : slots) {
    s.cls = reduced_class(chars[s.index].ch);
    n_left += s.cls == kLeft;
    n_right += s.cls == kRight;
  }
  const bool rtl = n_right > 0 && n_left <= n_right;
  const std::uint8_t base = rtl ? 2 : 0;

  // Numbers take their direction from the strong chars around them: a left
  // pass records the nearest one on the left, a right pass carries the one on
  // the right.
  std::uint8_t strong = kNone;
  for (Slot& s : slots) {
    s.side = strong;
    if (s.cls == kLeft || s.cls == kRight) strong = s.cls;
  }
  strong = kNone;
  for (std::size_t i = n; i-- > 0;) {
    Slot& s = slots[i];
    if (s.cls == kLeft || s.cls == kRight) {
      s.res = s.cls;
      strong = s.cls;
    } else if (s.cls == kNumber) {
      const std::uint8_t prev = s.side, next = strong;
      const bool by_rtl = prev == kRight || next == kRight;
      s.res = (by_rtl || (rtl && (prev == kNone || next == kNone))) ? kRight : kLeft;
    } else {
      s.res = kNone;
    }
  }

  // Levels. A neutral between two resolved sides that agree takes their
  // direction; otherwise it follows the paragraph.
  const std::uint8_t missing = rtl ? kRight : kLeft;
  std::uint8_t before = missing;
  for (Slot& s : slots) {
    s.side = before;
    if (s.cls != kNeutral) before = s.res;
  }
  std::uint8_t after = missing;
  std::uint8_t max_level = 0;
  for (std::size_t i = n; i-- > 0;) {
    Slot& s = slots[i];
    switch (s.cls) {
      case kLeft:
        s.level = base;
        break;
      case kRight:
        s.level = 1;
        break;
      case kNumber:
        s.level = (rtl || s.res == kRight) ? 2 : 0;
        break;
      default:
        if (s.side == after) {
          s.level = s.side == kRight ? 1 : base;
        } else {
          s.level = rtl ? 1 : base;
        }
        break;
    }
    if (s.cls != kNeutral) after = s.res;
    if (s.level > max_level) max_level = s.level;
  }

  // Rule L2: from the highest level down to 1, reverse every maximal run at
  // that level or above.
  for (std::uint8_t level = max_level; level >= 1; --level) {
    std::size_t i = 0;
    while (i < n) {
      if (slots[i].level < level) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < n && slots[end].level >= level) ++end;
      for (std::size_t a = i, b = end - 1; a < b; ++a, --b) std::swap(slots[a], slots[b]);
      i = end;
    }
  }

  std::vector<Char> logical;
  logical.reserve(n);
  for (const Slot& s : slots) {
    logical.push_back(chars[s.index]);
    if (s.level == 1) logical.back().ch = mirrored(logical.back().ch);
  }
  line.chars = std::move(logical);
}

}  // namespace textloom
